#pragma once

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
        int number = 0;
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
    int latestRun() const;
    // Takes the run back (only says what it would do when dryRun) and
    // journals what it did in the journal at journalPath. Renames after
    // lastSeq (made while the user was asked, say) stay as they are.
    QList<Step> undo(int run, bool dryRun, const QString &journalPath, int lastSeq = INT_MAX) const;

private:
    struct Rename
    {
        int run = 0;
        int seq = 0;
        QString id;
        QString folder;
        QString oldName;
        QString newName;
        bool renamed = false;
        int undoneBy = 0; // the undo run that took it back
    };
    QList<Run> runs;
    QList<Rename> renames; // in journal order
};

} // namespace zorv
