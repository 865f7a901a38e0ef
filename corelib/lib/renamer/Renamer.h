#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"
#include "renamer/WebDownloader.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

namespace zorv {

// Drives every handed-over file from its product ID to its new name, one
// entry and one page at a time, on a thread of its own.
class Renamer : public QObject
{
    Q_OBJECT
public:
    // How long a page may go without any progress before it counts as failed.
    static constexpr int DefaultTransferTimeoutMs = 30000;
    // How long all the candidate pages of one file may take together, and how
    // long a file may take after another one ran out of time, until the shop
    // answers again.
    static constexpr int DefaultFileDeadlineMs = 60000;
    static constexpr int DefaultSilentShopDeadlineMs = 10000;

    explicit Renamer(QSharedPointer<Option> option, QObject *parent = nullptr);
    ~Renamer() override;

    // Takes effect for the next doWork(); tests use short limits.
    void setTransferTimeout(int milliseconds);
    void setFileDeadline(int milliseconds, int silentShopMilliseconds);
    void setMaxPageBytes(qint64 bytes);

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

private:
    void startRequest(const EntryPtr &entry);

    int transferTimeoutMs = DefaultTransferTimeoutMs;
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
    QSharedPointer<Option> option;
    QList<EntryPtr> queue;
    QList<EntryPtr> finishedEntries;
    EntryPtr current;
    mutable QMutex mutex;
};

} // namespace zorv
