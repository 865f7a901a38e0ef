#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class QFileInfo;

namespace zorv {

// Watches folders (not their subfolders) for files that land in them and
// offers each file once it is finished: its size and modification time have
// stood still for the settling time, and no browser or download tool is
// still writing it under a partial name. The system's change events start a
// look at a folder; a slow look at every folder also finds what a file
// system without events (a network mount) never reports. Idle, only that
// slow look wakes it.
//
// It remembers what became of each file it offered, so that nothing is
// offered twice: a file renamed, done or failed is offered again only once
// its size or time changes, and a file it renamed that comes back under its
// old name unchanged (taken back by an undo) stays as it is.
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultSettleMs = 3000;
    static constexpr int DefaultRescanMs = 60000;

    explicit FolderWatcher(QObject *parent = nullptr);

    // Empty when the folder can be watched (and its files renamed, unless
    // renameNeeded is false), else the reason in a few words.
    static QString unwatchable(const QString &folder, bool renameNeeded = true);
    // The names browsers and download tools write to until a file is whole.
    static bool isPartialName(const QString &name);

    void setSettleTime(int milliseconds) { settleMs = milliseconds; }
    void setRescanInterval(int milliseconds) { rescanMs = milliseconds; }
    // Starts watching; the files already there are offered only when
    // takeExisting is set or they are named in again (by their canonical
    // paths: left unfinished by the watch before), and so are those in a
    // folder that comes back after it was gone, unless written since it went.
    void watch(const QStringList &folders, bool takeExisting,
               const QSet<QString> &again = QSet<QString>());
    // No more offers.
    void stop();
    // Absolute, each once.
    QStringList watchedFolders() const { return folders; }

    // What became of an offered file: renamed within its folder, or left
    // as it is (named already, failed, previewed) until it changes, or not
    // recognised at all and left for good while it is there.
    void renamed(const QString &from, const QString &to);
    void handled(const QString &path);
    void failed(const QString &path);
    void ignore(const QString &path);
    // The files not finished yet: settling, offered without an outcome, or
    // failed; by folder, each sorted.
    QStringList unfinished() const;

signals:
    // A finished file, by its absolute path.
    void settled(QString path);
    void folderLost(QString folder);
    void folderBack(QString folder);
    // The system sends no change events for the folder: only the slow look finds its files.
    void eventsUnavailable(QString folder);

private slots:
    void onDirectoryChanged(const QString &folder);
    void scanChanged();
    void checkSettling();
    void rescan();
    void lookForLost();

private:
    enum State {
        Settling, // not yet still for the settling time
        Offered,  // handed out, outcome not known yet
        Left,     // present at start, handled or renamed here: waits for a change
        Failed,   // as Left, but unfinished when the watch ends
        Ignored,  // no plug-in knows its name
        Away      // renamed away from this name; its stamp is the file's under the new name
    };
    struct Stamp
    {
        qint64 size = -1;
        QDateTime modified;
        bool operator!=(const Stamp &other) const
        {
            return size != other.size || modified != other.modified;
        }
    };
    struct Seen
    {
        State state = Settling;
        Stamp stamp;
        qint64 stillSince = 0; // on the watcher's clock
    };
    typedef QHash<QString, Seen> Folder; // by file name

    // The folder's device and inode: a folder moved away and made anew
    // under the same name is another folder.
    static QPair<quint64, quint64> identityOf(const QString &folder);
    static Stamp stampOf(const QFileInfo &file);
    static bool hasPartialSibling(const QString &path);
    void startWatching(const QString &folder, qint64 leaveBeforeMs);
    void scan(const QString &folder, qint64 leaveBeforeMs);
    void note(const QString &path, State state, const Stamp &stamp);
    void lose(const QString &folder);

    int settleMs = DefaultSettleMs;
    int rescanMs = DefaultRescanMs;
    bool takeExisting = false;
    QSet<QString> offerAgain; // while watch() looks at the folders first
    QFileSystemWatcher system;
    QElapsedTimer clock;
    QTimer scanTimer;   // gathers a burst of events into one look
    QTimer settleTimer; // runs while a file settles
    QTimer rescanTimer;
    QTimer lostTimer; // runs while a folder is gone
    QStringList folders;
    QSet<QString> changed;
    bool parentChanged = false;
    QHash<QString, qint64> lost;                        // folder, when it went (ms since the epoch)
    QHash<QString, QPair<quint64, quint64>> identities; // by folder
    // The folders' parents are watched too: a folder's removal or rename shows there.
    QSet<QString> parents;
    QHash<QString, Folder> files; // by folder
    QQueue<QString> awayPaths;    // oldest first, so that the memory of them stays bounded
};

} // namespace zorv
