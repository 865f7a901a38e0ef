#pragma once

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>

namespace zorv {

// The append-only record of every rename, one JSON object per line, so that a
// run can be taken back later, also after a crash in the middle of it:
//   {"type":"run","run":N,"time":…,"mode":…}                 when a run starts
//   {"type":"intent","run":N,"seq":S,"folder":…,"old":…,"new":…,"id":…}
//                                          before a rename, on the disk first
//   {"type":"outcome","run":N,"seq":S,"renamed":true|false}  after it
// Writing never stops a rename: the first failure is logged once as a warning
// and the rename goes on unrecorded. One object may be shared between threads.
class Journal
{
public:
    // Past this size the file becomes "<name>.1" (replacing an older one) and
    // a new file begins, so the journal stays bounded.
    static constexpr qint64 DefaultSizeLimit = 10 * 1024 * 1024;

    explicit Journal(const QString &path = defaultPath(), qint64 sizeLimit = DefaultSizeLimit);

    // "journal.jsonl" in the user's data location.
    static QString defaultPath();
    QString path() const { return path_; }

    // Starts a run with the number after the highest one recorded and returns
    // it; extra fields go into the run record.
    int beginRun(const QString &mode, const QJsonObject &extra = QJsonObject());
    int run() const;
    // The number of this run's latest intent (0 before the first).
    int lastSequence() const;
    // Returns the intent's number within the run, for outcome().
    int intent(const QString &folder, const QString &oldName, const QString &newName,
               const QJsonObject &extra = QJsonObject());
    void outcome(int seq, bool renamed);

    // Every readable record, the older file's first. A damaged line is
    // skipped: a half-written last line is what a crash leaves.
    QList<QJsonObject> records() const;

private:
    // locked: the caller holds the journal's lock file already.
    void append(const QJsonObject &record, bool sync, bool locked = false);
    void fail(const QString &reason);

    const QString path_;
    const qint64 sizeLimit;
    int run_ = 0;
    QJsonObject runRecord;  // of run_
    qint64 writtenSize = 0; // of the file after this object's latest line
    int lastSeq = 0;
    bool failureReported = false;
    mutable QMutex mutex;
};

} // namespace zorv
