#pragma once

#include "data/Entry.h"
#include "data/RenameOption.h"
#include "plugin/PluginInterface.h"
#include "utility/FileRename.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

namespace zorv {

class Journal;

// Gives an entry's file its new name in its folder: composes the name, fits
// it to the folder, finds the first free " (n)" through the one no-replace
// rename, records the rename in the journal and adds the notes. A dry run
// does all but the rename, and keeps a view of the folder as the real run
// would leave it. Worker thread only, but for forgetPreviewed().
class FileMover
{
public:
    // Every rename is recorded in the journal (none when null).
    void setJournal(QSharedPointer<Journal> journal);
    void setDryRun(bool dryRun);

    // The entry's new name from the product's fields, with its old
    // extension. Adds the notes to message, or puts the failure there; the
    // outcome for the entry (Done, Preview in a dry run or for an entry to
    // be reviewed first, or Error).
    int rename(const EntryPtr &entry, const RenameOption &option, const WorkInfo &work,
               QString &message);
    // Lets the dry run's view of the folder forget these paths (a finished
    // file's old and new one): the same name offered again later, in a
    // renamer that lives on, is previewed as the first time. Any thread.
    void forgetPreviewed(const QStringList &paths);

private:
    // The name the search ended on, and how.
    struct Claim
    {
        FileRename::Result result = FileRename::TargetExists;
        QString name;
        int number = 0;
        bool shortened = false;
        bool alreadyNamed = false;
        QString error;
    };

    Claim claimName(const EntryPtr &entry, const RenameOption &option, const WorkInfo &work);
    int settle(const EntryPtr &entry, const Claim &claim, QString &message) const;
    // The rename itself, between its intent and its outcome in the journal;
    // a dry run only reserves the name.
    FileRename::Result move(const EntryPtr &entry, const QString &from, const QString &to,
                            QString *error);
    FileRename::Result preview(const QString &from, const QString &to, QString *error);

    QSharedPointer<Journal> journal;
    bool dryRun = false;
    bool previewing = false;                // the entry in hand is only looked up
    QMutex previewMutex;                    // guards the three below
    QSet<QString> previewedPaths;           // names a dry run has handed out
    QSet<QString> previewedAway;            // names a dry run has moved files away from
    QHash<QString, QString> previewedMoves; // to by from, of the names handed out
};

} // namespace zorv
