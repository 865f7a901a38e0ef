#pragma once

#include "utility/FileIdentity.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <climits>

namespace zorv {

class Journal;

// Takes runs back from the journal: each renamed file returns to its old
// name through the no-replace rename, newest rename first, and the undo is
// journaled as a run of its own so that nothing is taken back twice.
class Undo
{
public:
    struct Run
    {
        qint64 number = 0;
        QString time;
        QString mode;
        int renames = 0; // files that got a new name and have not been taken back
        int undone = 0;  // files that got a new name and were taken back
        QStringList folders;
    };
    struct Step
    {
        enum State { Done, Skipped, Failed, Preview };
        State state = Skipped;
        QString id;
        QString folder;
        QString from; // the name the run gave
        QString to;   // the name it had before
        QString message;
    };

    explicit Undo(const Journal &journal);

    // Every run that renamed something, oldest first.
    QList<Run> history() const;
    // The newest run, other than an undo, with something left to take back;
    // 0 when there is none.
    qint64 latestRun() const;
    // Takes the run back (only says what it would do when dryRun) and
    // journals what it did in the journal at journalPath. Renames after
    // lastSeq (made while the user was asked, say) stay as they are. A file
    // is taken back only when the name holds the very file the run renamed
    // (recorded since the journal names identities); a record whose names
    // are not plain file names in an absolute folder is skipped.
    QList<Step> undo(qint64 run, bool dryRun, const QString &journalPath,
                     int lastSeq = INT_MAX) const;

private:
    struct Rename
    {
        qint64 run = 0;
        int seq = 0;
        QString id;
        QString folder;
        QString oldName;
        QString newName;
        FileIdentity identity; // invalid in records older than identities
        bool usable = false;   // plain names in an absolute folder
        bool renamed = false;
        qint64 undoneBy = 0; // the undo run that took it back
    };
    static Rename renameOf(const QJsonObject &intent);

    QList<Run> runs;
    QList<Rename> renames; // in journal order
};

} // namespace zorv
