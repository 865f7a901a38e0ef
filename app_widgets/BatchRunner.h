#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"
#include "renamer/PageMemory.h"

#include "FolderWatcher.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QScopedPointer>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

class QCommandLineParser;
class QThread;

namespace zorv {

class Journal;
class JournalTail;
class Renamer;

// The program without a window: "zorv --batch FILE..." renames the files with
// the same plug-ins, options and renamer as the window and prints one line
// per finished file, so that scripts can rename hundreds of files and read
// the outcome. It takes no single-instance guard and never writes the option
// file, so it can run beside an open window.
class BatchRunner : public QObject
{
    Q_OBJECT
public:
    enum ExitCode {
        AllDone = 0,
        SomeFailed = 1,
        NothingRecognised = 2, // also: no file given, or a usage error
        PluginsFailed = -1     // as the window mode
    };

    // True when the command line asks for this mode, for help or the
    // version, or for the journal or the page cache (--batch/-b, --help/-h,
    // --version/-v, --undo, --history, --dry-run/-n, --json, --refresh,
    // --offline, --clear-cache, --watch and its options before any "--"). Every
    // other command line opens the window exactly as before. Needs no
    // application object.
    static bool isRequested(int argc, char **argv);

    explicit BatchRunner(QObject *parent = nullptr);
    ~BatchRunner() override;

    // Reads the command line. False when the process ends here, with
    // exitCode(): after printing the help or the version, after --undo or
    // --history (which need no plug-in), or on a usage error. Needs the
    // application object.
    bool parse(const QStringList &arguments);
    int exitCode() const { return exitCode_; }

    // Says on the error stream why nothing can run and returns PluginsFailed.
    int pluginsFailed(const QStringList &pluginFolders);

    // Says on the error stream that these arguments name files the program
    // cannot address faithfully, and counts them as skipped.
    void skipUndecodable(const QStringList &names);

    // Renames the files given on the command line (or, with --watch, those
    // that land in the folders given) through the loaded plug-ins and
    // returns the exit code. Runs its own event loop.
    int run();

private slots:
    void onCreated(QList<EntryPtr> entries);
    void onFinished(EntryPtr entry, RequestPtr request);
    void onAllFinished();
    void onSettled(QString path);
    void onStopRequested();
    void onFolderLost(QString folder);
    void onFolderBack(QString folder);
    void onEventsUnavailable(QString folder);
    void onShopUnreachable(QString host, QString proxy);

private:
    static void addOptions(QCommandLineParser &parser);
    bool usageError(const QString &message);
    static void writeHelp(const QCommandLineParser &parser);
    bool readWatchOptions(const QCommandLineParser &parser);
    QList<QFileInfo> givenFiles();
    void startRenamer();
    void skipUnrecognised(const QFileInfo &file);
    int runWatch();
    bool canWatch();
    void feedRenamer();
    void noteWatched(const EntryPtr &entry);
    void leaveUnfinished();
    // --refresh, --offline, --clear-cache; false when the process ends here.
    bool takeCacheOptions(const QCommandLineParser &parser);
    int finish(int done, int failed);
    static QStringList withUndoValueApart(const QStringList &arguments);
    static bool journalReadable(const Journal &journal);
    int runHistory();
    int runUndo(const QStringList &arguments);
    void writeResult(const QString &state, const QString &id, const QString &folder,
                     const QString &oldName, const QString &newName, const QString &message);
    void writeSummary(int done, int failed, int skipped);
    void stopWorker();

    static QString stateWord(int status);
    static QString escaped(const QString &text);
    static void writeOut(const QString &line);
    static void writeError(const QString &line);

    int exitCode_ = AllDone;
    QStringList fileArguments;
    QList<QFileInfo> recognisedFiles;
    int skipped = 0;
    bool dryRun = false;
    bool json = false;
    PageMemory::CacheMode cacheMode = PageMemory::UseCache;
    QSharedPointer<Option> option;
    QSharedPointer<Journal> journal; // none in a dry run
    Renamer *renamer = nullptr;
    QThread *workerThread = nullptr;
    QEventLoop loop;

    // Watch mode.
    bool watching = false;
    bool takeExisting = false;
    int settleMs = FolderWatcher::DefaultSettleMs;
    FolderWatcher *watcher = nullptr;
    QScopedPointer<JournalTail> journalTail; // read also in a dry run
    QStringList backlog;                     // finished files waiting for the renamer
    int inFlight = 0;                        // entries of the file the renamer has
    bool stopping = false;
    int watchDone = 0;
    int watchFailed = 0;
};

} // namespace zorv
