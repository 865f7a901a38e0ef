#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"
#include "plugin/PluginInterface.h"
#include "renamer/EntryQueue.h"
#include "renamer/FileMover.h"
#include "renamer/PageMemory.h"
#include "renamer/PageScheduler.h"
#include "renamer/ShopReach.h"
#include "renamer/WebDownloader.h"

#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;
class QTimer;

namespace zorv {

class Journal;
class PageReader;
class PageCache;

// Drives every handed-over file from its product ID to its new name, one
// entry and one page at a time, on a thread of its own: the scheduler says
// which page comes next and how long it may take, the downloader fetches it,
// the reader makes a product record of it (the page repaired in a helper
// process of its own) and the mover gives the file its new name.
class Renamer : public QObject
{
    Q_OBJECT
public:
    // How long a page may go without any progress before it counts as failed.
    static constexpr int DefaultTransferTimeoutMs = 30000;
    // The longest a shop's "come back later" is waited for before the same
    // page is asked again.
    static constexpr int DefaultRetryWaitCapMs = PageScheduler::DefaultRetryWaitCapMs;
    // How long all the candidate pages of one file may take together, and how
    // long a file may take after another one ran out of time, until the shop
    // answers again.
    static constexpr int DefaultFileDeadlineMs = PageScheduler::DefaultFileDeadlineMs;
    static constexpr int DefaultSilentShopDeadlineMs = PageScheduler::DefaultSilentShopDeadlineMs;

    explicit Renamer(QSharedPointer<Option> option, QObject *parent = nullptr);
    ~Renamer() override;

    // Takes effect for the next doWork(); tests use short limits.
    void setTransferTimeout(int milliseconds);
    // Set before the worker starts, like the time limit; tests use short caps.
    void setRetryWaitCap(int milliseconds);
    // Before the worker starts. Every rename is recorded in the journal (none
    // when null). A dry run does everything but the rename itself and ends
    // its entries as Preview, with the names a real run would give them.
    void setJournal(QSharedPointer<Journal> journal);
    void setDryRun(bool dryRun);
    // The deadline covers a file's pages from the first request to the
    // repaired page; the repair helper's address space. Tests use small ones.
    void setFileDeadline(int milliseconds, int silentShopMilliseconds);
    void setMaxPageBytes(qint64 bytes);
    void setRepairMemoryLimit(int mebibytes);
    // Before the worker starts: pages are also looked up in and kept in this
    // cache on disk (none when null), as the mode says; its connection is
    // opened and closed on the worker's thread.
    void setPageCache(QSharedPointer<PageCache> cache,
                      PageMemory::CacheMode mode = PageMemory::UseCache);

    // Before the worker starts: after two files in a row that failed because
    // the shop could not be reached, the queue holds until resume() (off by
    // default: the files go on one by one). shopUnreachable says so either way.
    void setPauseWhenUnreachable(bool pause);

    // GUI thread: makes entries for the files the plug-ins recognise and
    // queues them. Entries to be reviewed first are looked up as in a dry run
    // and end as Preview; requeue(…, true) renames them later, from the pages
    // their preview read.
    void add(const QList<QFileInfo> &files, bool reviewFirst = false);
    // GUI thread. Every waiting entry is marked Stopped and nothing more is
    // fetched for it; the page in flight is finished, and its file stops
    // after it unless that page ends it. Returns the entries stopped now.
    QList<EntryPtr> stopWaiting();
    // GUI thread: failed, stopped and previewed entries wait again (with
    // rename, a previewed one is renamed this time); returns those requeued.
    QList<EntryPtr> requeue(const QList<EntryPtr> &entries, bool rename = false);
    // GUI thread: takes entries out for good, all but the one in progress;
    // returns those taken out.
    QList<EntryPtr> remove(const QList<EntryPtr> &entries);
    // GUI thread: a queue held for an unreachable shop goes on.
    void resume();
    void abort();
    // Ends a renamer's worker loop and its thread and deletes both, leaving
    // the two pointers null: the shut-down the window and batch mode share.
    // Receivers disconnect their own slots first.
    static void stop(Renamer *&renamer, QThread *&thread);
    int finishedCount() const;
    // Lets go of the finished entries, which are otherwise kept for the
    // renamer's life, and of their names in a dry run's view of the folder:
    // a watch that runs for days reports each as it ends.
    void forgetFinished();
    void counts(int *total, int *pending = nullptr, int *succeeded = nullptr,
                int *failed = nullptr) const;

signals:
    void created(QList<EntryPtr> entries);
    void started(EntryPtr entry, RequestPtr request);
    void finished(EntryPtr entry, RequestPtr request);
    void allFinished();
    void aborted();
    // On the worker thread, when a second file in a row could not reach the
    // shop: its host, the proxy the requests went through ("host:port", empty
    // when none) and the last failure in plain words.
    void shopUnreachable(QString host, QString proxy, QString reason);

public slots:
    void doWork();

private slots:
    void downloadFinished(const QNetworkReply *reply, const QByteArray &bytes);
    void retryPage();

private:
    void startWorker();
    void stopWorker();
    bool isAborting() const;
    // The entry to work on now (nothing while paused or when none waits).
    EntryPtr takeNext();
    // Fetches the entry's next page and waits until it is handled or the
    // renamer is told to stop.
    void fetchPage(const EntryPtr &entry);
    void startRequest(const EntryPtr &entry);
    bool useRememberedPage(const EntryPtr &entry);
    // A page read: a found product gives the file its new name.
    void settlePage(const EntryPtr &entry, const RequestPtr &request, const PageMemory::Page &page,
                    bool nextAllowed, bool notFound);
    void finishPage(const EntryPtr &entry, int outcome, QString message, bool nextAllowed,
                    bool notFound);

    int transferTimeoutMs = DefaultTransferTimeoutMs;
    qint64 maxPageBytes = WebDownloader::DefaultMaxPageBytes;
    int repairMemoryMiB;
    bool abortRequested = false;
    bool pauseWhenUnreachable = false;
    QNetworkAccessManager *manager = nullptr;
    WebDownloader *downloader = nullptr;
    QTimer *retryTimer = nullptr;
    // Created with the worker, on its thread.
    std::unique_ptr<PageReader> reader;
    PageScheduler scheduler;
    FileMover mover;
    ShopReach reach;
    QSharedPointer<Option> option;
    EntryQueue entries;
    mutable QMutex mutex; // guards abortRequested
};

} // namespace zorv
