#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"

#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSharedPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

namespace zorv {

class Journal;
class WebDownloader;

// Drives every handed-over file from its product ID to its new name, one
// entry and one page at a time, on a thread of its own.
class Renamer : public QObject
{
    Q_OBJECT
public:
    // How long a page may go without any progress before it counts as failed.
    static constexpr int DefaultTransferTimeoutMs = 30000;

    explicit Renamer(QSharedPointer<Option> option, QObject *parent = nullptr);
    ~Renamer() override;

    // Takes effect for the next doWork(); tests use short limits.
    void setTransferTimeout(int milliseconds);
    // Before the worker starts. Every rename is recorded in the journal (none
    // when null). A dry run does everything but the rename itself and ends
    // its entries as Preview, with the names a real run would give them.
    void setJournal(QSharedPointer<Journal> journal);
    void setDryRun(bool dryRun);

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
    bool nameTaken(const QString &path) const;
    bool renameFile(const EntryPtr &entry, const QString &from, const QString &to);

    int transferTimeoutMs = DefaultTransferTimeoutMs;
    bool abortRequested = false;
    QNetworkAccessManager *manager = nullptr;
    WebDownloader *downloader = nullptr;
    QSharedPointer<Option> option;
    QSharedPointer<Journal> journal;
    bool dryRun = false;
    QSet<QString> previewedPaths; // names a dry run has handed out
    QList<EntryPtr> queue;
    QList<EntryPtr> finishedEntries;
    EntryPtr current;
    mutable QMutex mutex;
};

} // namespace zorv
