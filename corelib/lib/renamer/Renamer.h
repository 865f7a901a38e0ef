#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"
#include "plugin/PluginInterface.h"
#include "renamer/PageMemory.h"
#include "renamer/WebDownloader.h"
#include "utility/FileRename.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSharedPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;
class QTimer;

namespace zorv {

class Journal;
class PageCache;

// Drives every handed-over file from its product ID to its new name, one
// entry and one page at a time, on a thread of its own.
class Renamer : public QObject
{
    Q_OBJECT
public:
    // How long a page may go without any progress before it counts as failed.
    static constexpr int DefaultTransferTimeoutMs = 30000;
    // The longest a shop's "come back later" is waited for before the same
    // page is asked again.
    static constexpr int DefaultRetryWaitCapMs = 60000;
    // How long all the candidate pages of one file may take together, and how
    // long a file may take after another one ran out of time, until the shop
    // answers again.
    static constexpr int DefaultFileDeadlineMs = 60000;
    static constexpr int DefaultSilentShopDeadlineMs = 10000;

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
    void setFileDeadline(int milliseconds, int silentShopMilliseconds);
    void setMaxPageBytes(qint64 bytes);
    // Before the worker starts: pages are also looked up in and kept in this
    // cache on disk (none when null), as the mode says; its connection is
    // opened and closed on the worker's thread.
    void setPageCache(QSharedPointer<PageCache> cache,
                      PageMemory::CacheMode mode = PageMemory::UseCache);

    // GUI thread: makes entries for the files the plug-ins recognise and queues them.
    void add(const QList<QFileInfo> &files);
    void abort();
    // Ends a renamer's worker loop and its thread and deletes both, leaving
    // the two pointers null: the shut-down the window and batch mode share.
    // Receivers disconnect their own slots first.
    static void stop(Renamer *&renamer, QThread *&thread);
    int finishedCount() const;
    void counts(int *total, int *pending = nullptr, int *succeeded = nullptr,
                int *failed = nullptr) const;

signals:
    void created(QList<EntryPtr> entries);
    void started(EntryPtr entry, RequestPtr request);
    void finished(EntryPtr entry, RequestPtr request);
    void allFinished();
    void aborted();

public slots:
    void doWork();

private slots:
    void downloadFinished(const QNetworkReply *reply, const QByteArray &bytes);
    void retryPage();

private:
    void startRequest(const EntryPtr &entry);
    RequestPtr nextRequest(const EntryPtr &entry);
    QList<int> candidateOrder(const EntryPtr &entry) const;
    void noteCategory(const EntryPtr &entry, const RequestPtr &request);
    bool useRememberedPage(const EntryPtr &entry);
    bool retryLater(const QNetworkReply *reply);
    // Composes the new name and renames the entry's file to it, numbered
    // " (n)" while the name is taken, with its old extension. Adds the notes
    // to message, or puts the failure there; the outcome for the entry.
    int renameFile(const EntryPtr &entry, const WorkInfo &work, QString &message,
                   bool &nextAllowed);
    void finishPage(const EntryPtr &entry, int outcome, QString message, bool nextAllowed,
                    bool notFound);
    // The rename itself, between its intent and its outcome in the journal;
    // a dry run only reserves the name.
    FileRename::Result moveFile(const EntryPtr &entry, const QString &from, const QString &to,
                                QString *error);

    int transferTimeoutMs = DefaultTransferTimeoutMs;
    int retryWaitCapMs = DefaultRetryWaitCapMs;
    int fileDeadlineMs = DefaultFileDeadlineMs;
    int silentShopDeadlineMs = DefaultSilentShopDeadlineMs;
    qint64 maxPageBytes = WebDownloader::DefaultMaxPageBytes;
    // The deadline of the entry with this number, over all its candidates.
    int deadlineEntry = -1;
    QDeadlineTimer fileDeadline;
    // Set when a download ran out of time, cleared by the shop's next answer.
    bool shopSilent = false;
    bool abortRequested = false;
    QNetworkAccessManager *manager = nullptr;
    WebDownloader *downloader = nullptr;
    QTimer *retryTimer = nullptr;
    int retriesLeft = 0;
    // Worker thread only, for the life of this renamer (one run): pages by
    // address, and by plug-in and ID prefix the category a product was
    // last found on.
    PageMemory pages;
    QHash<QString, QString> lastFoundCategory;
    // The current entry's candidates in the order they are tried, how far
    // it got, and the failure that says most about why it went wrong.
    int orderedEntry = -1;
    QList<int> order;
    int attempt = 0;
    QString tellingFailure;
    QSharedPointer<Option> option;
    QSharedPointer<Journal> journal;
    bool dryRun = false;
    QSet<QString> previewedPaths; // names a dry run has handed out
    QSet<QString> previewedAway;  // names a dry run has moved files away from
    QList<EntryPtr> queue;
    QList<EntryPtr> finishedEntries;
    EntryPtr current;
    mutable QMutex mutex;
};

} // namespace zorv
