#include "renamer/JournalTail.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace zorv {

namespace {
const QString undoesRun = QStringLiteral("undoes_run");
} // namespace

JournalTail::JournalTail(const QString &journalPath)
    : journal(journalPath)
{
}

bool JournalTail::restoredByUndo(const QString &path)
{
    update();
    const QFileInfo file(path);
    const auto restore =
        restores.constFind(QDir(canonicalFolder(file.absolutePath())).filePath(file.fileName()));
    return restore != restores.constEnd() && restore->done &&
           FileIdentity::of(path).isStill(restore->identity, file.absolutePath());
}

QSet<QString> JournalTail::unfinished(const QStringList &folders)
{
    update();
    QSet<QString> paths;
    for (const QString &folder : folders) {
        const QDir canonicalDir(canonicalFolder(QDir(folder).absolutePath()));
        for (const QString &name : leftBehind.value(canonicalDir.path())) {
            if (QFileInfo(canonicalDir.filePath(name)).isFile())
                paths.insert(canonicalDir.filePath(name));
        }
    }
    return paths;
}

void JournalTail::update()
{
    bool fromStart = false;
    journal.recordsSince(position, &fromStart, [this, &fromStart](const QJsonObject &record) {
        // Rotated since the last look: every record comes again, in order.
        if (fromStart) {
            restores.clear();
            awaitedOutcomes.clear();
            leftBehind.clear();
            canonical.clear();
            fromStart = false;
        }
        take(record);
    });
}

// Only the newest rename to each name counts: an undo's is kept, any other
// one forgets it. A record taken twice (a last line read again) changes nothing.
void JournalTail::take(const QJsonObject &record)
{
    const QString type = record.value(QStringLiteral("type")).toString();
    const Key key(Journal::runNumber(record), record.value(QStringLiteral("seq")).toInt());
    if (type == QLatin1String("outcome")) {
        const auto restore = restores.find(awaitedOutcomes.take(key));
        if (restore != restores.end() && restore->intent == key)
            restore->done = record.value(QStringLiteral("renamed")).toBool();
        return;
    }
    if (type == QLatin1String("unfinished")) {
        QStringList names;
        for (const QJsonValue &name : record.value(QStringLiteral("names")).toArray()) {
            if (!name.toString().contains(QLatin1Char('/')))
                names.append(name.toString());
        }
        leftBehind.insert(canonicalFolder(record.value(QStringLiteral("folder")).toString()),
                          names);
        return;
    }
    const QString newName = record.value(QStringLiteral("new")).toString();
    if (type != QLatin1String("intent") || newName.isEmpty() || newName.contains(QLatin1Char('/')))
        return;
    const QString name =
        QDir(canonicalFolder(record.value(QStringLiteral("folder")).toString())).filePath(newName);
    if (!record.contains(undoesRun)) {
        restores.remove(name);
        return;
    }
    restores.insert(name, Restore{key, FileIdentity::from(record), false});
    awaitedOutcomes.insert(key, name);
}

QString JournalTail::canonicalFolder(const QString &folder)
{
    auto known = canonical.find(folder);
    if (known == canonical.end()) {
        const QString path = QFileInfo(folder).canonicalFilePath();
        known = canonical.insert(folder, path.isEmpty() ? QDir::cleanPath(folder) : path);
    }
    return *known;
}

} // namespace zorv
