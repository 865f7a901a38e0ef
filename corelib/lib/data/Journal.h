#pragma once

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>

namespace zorv {

// The append-only record of every rename, one JSON object per line, so that a
// run can be taken back later, also after a crash in the middle of it:
//   {"type":"run","run":N,"time":…,"mode":…}                 when a run starts
//   {"type":"intent","run":N,"seq":S,"folder":…,"old":…,"new":…,"id":…,
//    "dev":…,"ino":…,"size":…,"mtime_ns":…}   before a rename, on the disk first
//   {"type":"outcome","run":N,"seq":S,"renamed":true|false}  after it
//   {"type":"unfinished","run":N,"folder":…,"names":[…]}  when a watch ends
// The intent names the file by its identity too (decimal texts), so that an
// undo moves back only that very file. Writing never stops a rename: the
// first failure is logged once as a warning and the rename goes on
// unrecorded. Only a regular file is ever opened (a FIFO would block every
// run). One object may be shared between threads.
class Journal
{
public:
    // Past this size the file becomes "<name>.1" (replacing an older one) and
    // a new file begins, so the journal stays bounded; of a file larger than
    // this (grown by hand, say) only the last so many bytes are read.
    static constexpr qint64 DefaultSizeLimit = 10 * 1024 * 1024;

    explicit Journal(const QString &path = defaultPath(), qint64 sizeLimit = DefaultSizeLimit);

    // "journal.jsonl" in the user's data location.
    static QString defaultPath();
    QString path() const { return path_; }

    // Starts a run with the number after the highest one recorded and returns
    // it; extra fields go into the run record. Numbers are positive and below
    // 2^53 (exact in JSON); a record with any other is not counted.
    qint64 beginRun(const QString &mode, const QJsonObject &extra = QJsonObject());
    qint64 run() const;
    static qint64 runNumber(const QJsonObject &record);
    // The number of this run's latest intent (0 before the first).
    int lastSequence() const;
    // Returns the intent's number within the run, for outcome(). The file
    // folder/oldName is looked at for its identity.
    int intent(const QString &folder, const QString &oldName, const QString &newName,
               const QJsonObject &extra = QJsonObject());
    void outcome(int seq, bool renamed);
    // The files of a watched folder that a watch leaves unfinished when it
    // ends (still settling, waiting or failed), for the next watch to take.
    void unfinished(const QString &folder, const QStringList &names);

    // Every readable record, the older file's first. A damaged line is
    // skipped: a half-written last line is what a crash leaves.
    QList<QJsonObject> records() const;
    // Where a reader that follows the journal stopped: the file and how far.
    struct Position
    {
        quint64 inode = 0;
        qint64 offset = 0;
    };
    // The records written since position, and position moved past them; the
    // first time, and when the journal was rotated since, every readable
    // record, as records(), with *fromStart set: the reader starts over. A
    // last line still being written may be taken twice.
    void recordsSince(Position &position, bool *fromStart,
                      const std::function<void(const QJsonObject &)> &take) const;
    // Why the journal cannot be read (not a regular file, no permission);
    // empty when it can, or when there is none yet.
    QString readProblem() const;
    // Why this object stopped recording (the first failure, as logged);
    // empty while it records. A window says it where the user looks.
    QString failure() const;

private:
    // locked: the caller holds the journal's lock file already.
    void append(const QJsonObject &record, bool sync, bool locked = false);
    // Called with the lock held.
    void fail(const QString &reason);
    void rotateIfOver(bool locked);

    const QString path_;
    const qint64 sizeLimit;
    qint64 run_ = 0;
    QJsonObject runRecord;  // of run_
    qint64 writtenSize = 0; // of the file after this object's latest line
    int lastSeq = 0;
    bool failureReported = false;
    QString failure_;
    mutable QMutex mutex;
};

} // namespace zorv
