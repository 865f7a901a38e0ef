#include "FolderWatcher.h"

#include <QDir>
#include <QFileInfo>

#include <limits>
#include <sys/stat.h>

namespace zorv {

namespace {

// What browsers and download tools write to until the download is whole;
// the finished file then gets its name by a rename.
const char *const partialSuffixes[] = {".part",    ".crdownload", ".download", ".opdownload",
                                       ".partial", ".!qB",        ".tmp"};
// One look at the folder per burst of events (a browser's temporary names,
// a hundred files landing at once): at most ten looks a second.
const int scanDelayMs = 100;
// How often a folder that is gone is looked for.
const int lostCheckMs = 2000;
// Names files were renamed away from, kept to know an undo when it comes.
const int maxAwayNames = 1000;
// Files modified before these times are left as they are.
const qint64 allLeft = std::numeric_limits<qint64>::max();
const qint64 noneLeft = std::numeric_limits<qint64>::min();

} // namespace

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
{
    clock.start();
    scanTimer.setSingleShot(true);
    connect(&system, SIGNAL(directoryChanged(QString)), this, SLOT(onDirectoryChanged(QString)));
    connect(&scanTimer, SIGNAL(timeout()), this, SLOT(scanChanged()));
    connect(&settleTimer, SIGNAL(timeout()), this, SLOT(checkSettling()));
    connect(&rescanTimer, SIGNAL(timeout()), this, SLOT(rescan()));
    connect(&lostTimer, SIGNAL(timeout()), this, SLOT(lookForLost()));
}

QString FolderWatcher::unwatchable(const QString &folder, bool renameNeeded)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("no such folder");
    if (!info.isDir())
        return QStringLiteral("not a folder");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("no permission to read it");
    if (renameNeeded && !info.isWritable())
        return QStringLiteral("no permission to rename files in it");
    return QString();
}

bool FolderWatcher::isPartialName(const QString &name)
{
    for (const char *suffix : partialSuffixes) {
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Firefox keeps an empty file of the final name beside the ".part" it writes.
bool FolderWatcher::hasPartialSibling(const QString &path)
{
    for (const char *suffix : partialSuffixes) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            return true;
    }
    return false;
}

QPair<quint64, quint64> FolderWatcher::identityOf(const QString &folder)
{
    struct stat status;
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return qMakePair(quint64(0), quint64(0));
    return qMakePair(quint64(status.st_dev), quint64(status.st_ino));
}

FolderWatcher::Stamp FolderWatcher::stampOf(const QFileInfo &file)
{
    Stamp stamp;
    if (file.exists()) {
        stamp.size = file.size();
        stamp.modified = file.lastModified();
    }
    return stamp;
}

void FolderWatcher::watch(const QStringList &folderList, bool takeExisting,
                          const QSet<QString> &again)
{
    this->takeExisting = takeExisting;
    offerAgain = again;
    QSet<QString> canonical;
    for (const QString &folder : folderList) {
        // The same folder twice (also through a link) is watched once.
        const QFileInfo info(folder);
        if (canonical.contains(info.canonicalFilePath()))
            continue;
        canonical.insert(info.canonicalFilePath());
        folders.append(QDir::cleanPath(info.absoluteFilePath()));
        startWatching(folders.constLast(), takeExisting ? noneLeft : allLeft);
    }
    offerAgain.clear();
    rescanTimer.start(rescanMs);
}

void FolderWatcher::stop()
{
    for (QTimer *timer : {&scanTimer, &settleTimer, &rescanTimer, &lostTimer})
        timer->stop();
    if (!system.directories().isEmpty())
        system.removePaths(system.directories());
}

void FolderWatcher::startWatching(const QString &folder, qint64 leaveBeforeMs)
{
    identities.insert(folder, identityOf(folder));
    if (!system.addPath(folder))
        emit eventsUnavailable(folder);
    const QString parent = QFileInfo(folder).absolutePath();
    // Also anew when the parent was gone and is back.
    if (parent != folder && !system.directories().contains(parent)) {
        parents.insert(parent);
        system.addPath(parent);
    }
    scan(folder, leaveBeforeMs);
}

void FolderWatcher::onDirectoryChanged(const QString &folder)
{
    // Events already on their way when the watching stopped.
    if (!rescanTimer.isActive())
        return;
    if (parents.contains(folder))
        parentChanged = true;
    if (folders.contains(folder))
        changed.insert(folder);
    if (!scanTimer.isActive())
        scanTimer.start(scanDelayMs);
}

void FolderWatcher::scanChanged()
{
    // A change beside a folder costs one look at the folder itself, not at its files.
    if (parentChanged) {
        parentChanged = false;
        for (const QString &folder : qAsConst(folders)) {
            if (!lost.contains(folder) && identityOf(folder) != identities.value(folder))
                lose(folder);
        }
        lookForLost();
    }
    const QSet<QString> due = changed;
    changed.clear();
    for (const QString &folder : due) {
        if (!lost.contains(folder))
            scan(folder, noneLeft);
    }
}

void FolderWatcher::rescan()
{
    for (const QString &folder : qAsConst(folders)) {
        if (!lost.contains(folder))
            scan(folder, noneLeft);
    }
}

// Files new to the watcher settle, unless modified before leaveBeforeMs
// (milliseconds since the epoch); a file it left is looked at again once it
// changed (a download finished over its placeholder, a failed file fixed).
void FolderWatcher::scan(const QString &folder, qint64 leaveBeforeMs)
{
    if (identityOf(folder) != identities.value(folder)) {
        lose(folder);
        return;
    }
    const qint64 now = clock.elapsed();
    Folder &known = files[folder];
    QSet<QString> present;
    bool settling = false;
    // Hidden files are the temporary files of copying and syncing tools.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (isPartialName(name))
            continue;
        present.insert(name);
        const Stamp stamp = stampOf(entry);
        const auto seen = known.find(name);
        if (seen == known.end()) {
            const bool left =
                stamp.modified.toMSecsSinceEpoch() < leaveBeforeMs &&
                (offerAgain.isEmpty() || !offerAgain.contains(entry.canonicalFilePath()));
            known.insert(name, Seen{left ? Left : Settling, stamp, now});
            settling = settling || !left;
        } else if ((seen->state == Left || seen->state == Failed || seen->state == Away) &&
                   seen->stamp != stamp) {
            *seen = Seen{Settling, stamp, now};
            settling = true;
        } else if (seen->state == Away) {
            // Back under its old name as it was: taken back by an undo.
            seen->state = Left;
        }
    }
    for (auto it = known.begin(); it != known.end();) {
        if (present.contains(it.key()) || it->state == Away)
            ++it;
        else
            it = known.erase(it);
    }
    if (settling && !settleTimer.isActive())
        settleTimer.start(qBound(25, settleMs / 4, 250));
}

void FolderWatcher::checkSettling()
{
    const qint64 now = clock.elapsed();
    QStringList ready;
    bool settling = false;
    for (auto folder = files.begin(); folder != files.end(); ++folder) {
        for (auto seen = folder->begin(); seen != folder->end();) {
            if (seen->state != Settling) {
                ++seen;
                continue;
            }
            const QString path = QDir(folder.key()).filePath(seen.key());
            const QFileInfo file(path);
            if (!file.isFile() || file.isSymLink()) {
                seen = folder->erase(seen);
                continue;
            }
            const Stamp stamp = stampOf(file);
            if (stamp != seen->stamp || hasPartialSibling(path)) {
                seen->stamp = stamp;
                seen->stillSince = now;
                settling = true;
            } else if (now - seen->stillSince >= settleMs) {
                seen->state = Offered;
                ready.append(path);
            } else {
                settling = true;
            }
            ++seen;
        }
    }
    if (!settling)
        settleTimer.stop();
    // After the walk: a receiver may tell this watcher about a file at once.
    ready.sort();
    for (const QString &path : qAsConst(ready))
        emit settled(path);
}

void FolderWatcher::lose(const QString &folder)
{
    if (lost.contains(folder))
        return;
    lost.insert(folder, QDateTime::currentMSecsSinceEpoch());
    system.removePath(folder);
    files.remove(folder);
    emit folderLost(folder);
    if (!lostTimer.isActive())
        lostTimer.start(lostCheckMs);
}

void FolderWatcher::lookForLost()
{
    const QStringList gone = lost.keys();
    for (const QString &folder : gone) {
        if (!unwatchable(folder, false).isEmpty())
            continue;
        const qint64 wentMs = lost.take(folder);
        emit folderBack(folder);
        // What came back with it is no new download; what was written
        // since it went is.
        startWatching(folder, takeExisting ? noneLeft : wentMs);
    }
    if (lost.isEmpty())
        lostTimer.stop();
}

void FolderWatcher::renamed(const QString &from, const QString &to)
{
    const Stamp stamp = stampOf(QFileInfo(to));
    note(to, Left, stamp);
    note(from, Away, stamp);
    awayPaths.enqueue(from);
    while (awayPaths.size() > maxAwayNames) {
        const QFileInfo old(awayPaths.dequeue());
        const auto folder = files.find(old.absolutePath());
        if (folder != files.end() && folder->value(old.fileName()).state == Away)
            folder->remove(old.fileName());
    }
}

void FolderWatcher::handled(const QString &path)
{
    note(path, Left, stampOf(QFileInfo(path)));
}

void FolderWatcher::failed(const QString &path)
{
    note(path, Failed, stampOf(QFileInfo(path)));
}

QStringList FolderWatcher::unfinished() const
{
    QStringList paths;
    for (const QString &folder : folders) {
        QStringList names;
        const Folder known = files.value(folder);
        for (auto seen = known.constBegin(); seen != known.constEnd(); ++seen) {
            if (seen->state == Settling || seen->state == Offered || seen->state == Failed)
                names.append(seen.key());
        }
        names.sort();
        for (const QString &name : qAsConst(names))
            paths.append(QDir(folder).filePath(name));
    }
    return paths;
}

void FolderWatcher::ignore(const QString &path)
{
    note(path, Ignored, stampOf(QFileInfo(path)));
}

void FolderWatcher::note(const QString &path, State state, const Stamp &stamp)
{
    const QFileInfo file(path);
    const auto folder = files.find(file.absolutePath());
    // A folder gone meanwhile starts afresh when it is back.
    if (folder != files.end())
        folder->insert(file.fileName(), Seen{state, stamp, clock.elapsed()});
}

} // namespace zorv
