#pragma once

#include "data/Journal.h"
#include "utility/FileIdentity.h"

#include <QHash>
#include <QJsonObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

namespace zorv {

// Follows the journal for a watch, which runs for days beside other runs:
// each look reads only what was appended since the last one. It knows which
// files an undo put back under their old names, so that a watch does not
// take such a file for a new download and rename it again, and which files
// the watch before left unfinished, so that the next one takes them.
class JournalTail
{
public:
    explicit JournalTail(const QString &journalPath = Journal::defaultPath());

    // Reads what was appended since the last look: all of it the first time
    // (at most the journal's size limit) and after a rotation, else a few lines.
    void update();

    // Whether the file at path was put back by an undo and is unchanged
    // since: the newest rename to its name in its folder is an undo's, it
    // was done, and the file there now is the very file it moved.
    bool restoredByUndo(const QString &path);
    // The files the latest watch of each folder left unfinished that are
    // still there, by their canonical paths.
    QSet<QString> unfinished(const QStringList &folders);

private:
    typedef QPair<qint64, int> Key; // run, seq
    struct Restore
    {
        Key intent;
        FileIdentity identity; // of the file the undo moved
        bool done = false;
    };

    void take(const QJsonObject &record);
    // The folder as the journal names it, by its canonical path: a folder
    // named through a link in one run and directly in another is one.
    QString canonicalFolder(const QString &folder);

    const Journal journal;
    Journal::Position position;
    QHash<QString, Restore> restores;       // by canonical folder and name
    QHash<Key, QString> awaitedOutcomes;    // undo intents, until their outcome
    QHash<QString, QStringList> leftBehind; // names, by canonical folder
    QHash<QString, QString> canonical;      // folder as named -> canonical
};

} // namespace zorv
