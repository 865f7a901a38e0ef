#include "BatchRunner.h"

#include "data/Journal.h"
#include "renamer/JournalTail.h"
#include "renamer/PageCache.h"
#include "renamer/Renamer.h"
#include "renamer/Undo.h"
#include "utility/LogCategory.h"

#include "StopSignal.h"
#include "utility/FileIdentity.h"
#include "utility/FileRename.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <cstring>

#ifndef ZORV_VERSION
#error "ZORV_VERSION (the project version) must be defined by the build"
#endif

namespace zorv {

namespace {

const char *const modeArguments[] = {
    "-b",        "--batch",    "-h",        "--help",    "--help-all", "-v",
    "--version", "--undo",     "--history", "--dry-run", "-n",         "--json",
    "--watch",   "--existing", "--settle",  "--refresh", "--offline",  "--clear-cache"};

// The files a watch records as left unfinished, per folder: a record stays
// far below the journal's longest line.
const int maxUnfinishedRecorded = 1000;

// The shortest and the longest settling time --settle takes, in seconds.
const double minSettleSeconds = 0.1;
const double maxSettleSeconds = 3600;

const QString programName = QStringLiteral("zorv");

const QString description = QStringLiteral(
    "Renames downloaded product files after the web-shop product page they belong to.\n"
    "\n"
    "Without --batch the window opens with the files in its list. With --batch the\n"
    "files are renamed without a window: one line per file as it finishes (state,\n"
    "old name, new name, comment; tab-separated; tabs, line breaks and backslashes\n"
    "inside them written as \\t, \\n and \\\\, other controls and invisible\n"
    "characters as \\xNN or \\uNNNN), then the line\n"
    "\"done: N, failed: N, skipped: N\". Skipped files are missing, were recognised\n"
    "by no plug-in or were given twice; they are named on the error stream. A file\n"
    "that bears its new name already is left as it is and counted as done. With\n"
    "--dry-run nothing is renamed: the state is \"プレビュー\" and the new name the\n"
    "one a real run would give. With --json each line is a JSON object instead\n"
    "(state: done, error, skipped, preview or unchanged; id, folder, old, new,\n"
    "message), the summary the last one.\n"
    "\n"
    "Pages are kept in the page cache ~/.cache/zorv/pages.sqlite, a product's page\n"
    "for %1 days, a page the shop does not have for %2 hours, so a second run over\n"
    "the same products asks the shop for nothing. --refresh fetches every page\n"
    "again and renews the cache, --offline fetches nothing and ends the files the\n"
    "cache cannot serve with an error, --clear-cache empties it (alone, or before a\n"
    "run).\n"
    "\n"
    "Every rename is recorded in journal.jsonl in the user's data folder.\n"
    "--history lists the runs that renamed files (newest first: number, time,\n"
    "mode, renames, renames taken back, folders). --undo takes the newest run\n"
    "back, --undo N run N: newest rename first, every file gets its old name\n"
    "again unless it is gone, its name holds another file (or it changed since),\n"
    "or its old name is taken meanwhile (skipped).\n"
    "\n"
    "Exit codes: 0 every file done, 1 any file failed (or, for --undo, was not\n"
    "taken back), 2 no file recognised or none given (nothing to undo; a folder\n"
    "that cannot be watched), 255 (-1) no plug-in could be loaded.\n"
    "\n"
    "With --watch the files that land in the folders given (the user's download\n"
    "folder when none is given; not in their subfolders) are renamed as in batch mode, once each is finished: its size and\n"
    "time unchanged for the settling time (--settle, 3 s) and no partial download\n"
    "(.part, .crdownload, .download, .opdownload, .partial, .!qB, .tmp) of it\n"
    "beside it. Files there at the start are left alone unless --existing is given.\n"
    "A file renamed, done or failed is not taken again until it changes, nor one an\n"
    "undo put back. SIGTERM or Ctrl+C ends the watch after the file in progress (a\n"
    "second one at once), with the summary and exit code 0; the files it leaves\n"
    "unfinished (settling, waiting, failed) are named and taken by the next watch.\n"
    "The whole watch is one run in the journal.\n"
    "\n"
    "Options are read from the window's option file (never written in batch mode):\n"
    "\"option.xml\" in the working directory when there is one, else\n"
    "~/.config/zorv/option.xml. Plug-ins come from the \"plugins\" folder beside\n"
    "the program, the installed one and ~/.local/share/zorv/plugins, never from the\n"
    "working directory. Pages are fetched through the proxy named by http_proxy, if any.");

// Read by BatchRunner::takeCacheOptions.
QList<QCommandLineOption> cacheOptions()
{
    return {{QStringLiteral("refresh"),
             QStringLiteral("Fetch every page again and renew the page cache with it.")},
            {QStringLiteral("offline"),
             QStringLiteral("Fetch nothing: rename from the page cache alone; a file it cannot "
                            "serve ends with an error.")},
            {QStringLiteral("clear-cache"),
             QStringLiteral("Empty the page cache (before renaming the files, if any are "
                            "given, or before the watch).")}};
}

} // namespace

bool BatchRunner::isRequested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        for (const char *mode : modeArguments) {
            const size_t length = std::strlen(mode);
            // "--undo=3" as well as "--undo".
            if (std::strncmp(argv[i], mode, length) == 0 &&
                (argv[i][length] == '\0' || (mode[1] == '-' && argv[i][length] == '=')))
                return true;
        }
        // Short options run together, as "-bn": the window must never take
        // a preview for a real run. Anything else like them goes to the
        // option parser too, which names what it does not know.
        const char *word = argv[i];
        if (word[0] == '-' && word[1] != '-' && std::strpbrk(word + 1, "bnhv"))
            return true;
    }
    return false;
}

BatchRunner::BatchRunner(QObject *parent)
    : QObject(parent)
{
}

BatchRunner::~BatchRunner()
{
    stopWorker();
}

bool BatchRunner::parse(const QStringList &arguments)
{
    QCoreApplication::setApplicationName(programName);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZORV_VERSION));

    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(withUndoValueApart(arguments)))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        writeHelp(parser);
        exitCode_ = AllDone;
        return false;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        writeOut(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                             QCoreApplication::applicationVersion()));
        exitCode_ = AllDone;
        return false;
    }
    // The results go to the output stream; the renamer's and the plug-in
    // manager's diagnostics would drown them on a terminal.
    if (!parser.isSet(QStringLiteral("verbose")))
        quietDiagnosticLog();
    fileArguments = parser.positionalArguments();
    dryRun = parser.isSet(QStringLiteral("dry-run"));
    json = parser.isSet(QStringLiteral("json"));
    if (!takeCacheOptions(parser))
        return false;
    if (parser.isSet(QStringLiteral("history"))) {
        exitCode_ = runHistory();
        return false;
    }
    if (parser.isSet(QStringLiteral("undo"))) {
        exitCode_ = runUndo(fileArguments);
        return false;
    }
    return readWatchOptions(parser);
}

void BatchRunner::addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        description.arg(PageCache::FoundLifetimeDays).arg(PageCache::NotFoundLifetimeDays * 24));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {{QStringLiteral("b"), QStringLiteral("batch")},
         QStringLiteral("Rename the files without a window and print the results.")},
        {QStringLiteral("watch"),
         QStringLiteral("Rename the files that land in the folders given, until stopped.")},
        {QStringLiteral("existing"),
         QStringLiteral("With --watch, also rename the files already in the folders.")},
        {QStringLiteral("settle"),
         QStringLiteral("With --watch, how long a file must stay unchanged before it is "
                        "renamed (default 3)."),
         QStringLiteral("seconds")},
        {QStringLiteral("verbose"),
         QStringLiteral("Also print the diagnostic log (plug-in loading, downloads) on the error "
                        "stream.")},
        {{QStringLiteral("n"), QStringLiteral("dry-run")},
         QStringLiteral("Show what would be renamed (or taken back), renaming nothing.")},
        {QStringLiteral("json"), QStringLiteral("Print one JSON object per line.")},
        {QStringLiteral("undo"),
         QStringLiteral("Take back the newest run, or run N given as the argument.")},
        {QStringLiteral("history"), QStringLiteral("List the recent runs.")},
    });
    parser.addOptions(cacheOptions());
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Product files to rename (with --watch: folders, "
                                                "by default the download folder). "
                                                "After \"--\" every argument is a file, even one "
                                                "named like an option."),
                                 QStringLiteral("[--] FILE..."));
}

bool BatchRunner::usageError(const QString &message)
{
    writeError(QStringLiteral("%1: %2").arg(programName, message));
    writeError(QStringLiteral("Try '%1 --help' for more information.").arg(programName));
    exitCode_ = NothingRecognised;
    return false;
}

void BatchRunner::writeHelp(const QCommandLineParser &parser)
{
    // The usage line names the program as invoked; a full build path
    // there says nothing.
    QString help = parser.helpText().trimmed();
    const QString invoked = QCoreApplication::arguments().value(0);
    const int at = help.indexOf(invoked);
    if (!invoked.isEmpty() && at >= 0 && at < help.indexOf(QLatin1Char('\n')))
        help.replace(at, invoked.size(), programName);
    writeOut(help);
}

bool BatchRunner::readWatchOptions(const QCommandLineParser &parser)
{
    watching = parser.isSet(QStringLiteral("watch"));
    takeExisting = parser.isSet(QStringLiteral("existing"));
    const bool settleGiven = parser.isSet(QStringLiteral("settle"));
    if (!watching && (takeExisting || settleGiven))
        return usageError(QStringLiteral("--existing and --settle go with --watch"));
    if (watching && parser.isSet(QStringLiteral("batch")))
        return usageError(QStringLiteral("--watch and --batch are two modes: give one of them"));
    if (settleGiven) {
        bool valid = false;
        const double seconds = parser.value(QStringLiteral("settle")).toDouble(&valid);
        // Also false for "nan".
        if (!valid || !(seconds >= minSettleSeconds && seconds <= maxSettleSeconds))
            return usageError(QStringLiteral("--settle takes seconds from %1 to %2, such as 3 or "
                                             "0.5")
                                  .arg(minSettleSeconds)
                                  .arg(maxSettleSeconds));
        settleMs = qRound(seconds * 1000);
    }
    return true;
}

// "--undo=N" as "--undo N": the run number is a plain argument.
QStringList BatchRunner::withUndoValueApart(const QStringList &arguments)
{
    QStringList result;
    const QString prefix = QStringLiteral("--undo=");
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            return result + arguments.mid(i);
        if (argument.startsWith(prefix))
            result << prefix.chopped(1) << argument.mid(prefix.size());
        else
            result << argument;
    }
    return result;
}

bool BatchRunner::journalReadable(const Journal &journal)
{
    const QString problem = journal.readProblem();
    if (!problem.isEmpty())
        writeError(tr("%1: the journal cannot be read (%2)").arg(programName, problem));
    return problem.isEmpty();
}

bool BatchRunner::takeCacheOptions(const QCommandLineParser &parser)
{
    const bool refresh = parser.isSet(QStringLiteral("refresh"));
    const bool offline = parser.isSet(QStringLiteral("offline"));
    if (refresh && offline) {
        writeError(
            QStringLiteral("%1: --refresh and --offline exclude each other").arg(programName));
        exitCode_ = NothingRecognised;
        return false;
    }
    cacheMode = refresh   ? PageMemory::Refresh
                : offline ? PageMemory::Offline
                          : PageMemory::UseCache;
    if (!parser.isSet(QStringLiteral("clear-cache")))
        return true;
    PageCache cache;
    QString error;
    const bool cleared = cache.clear(&error);
    writeError(cleared ? QStringLiteral("%1: page cache emptied: %2").arg(programName, cache.path())
                       : QStringLiteral("%1: the page cache %2 could not be emptied: %3")
                             .arg(programName, cache.path(), error));
    exitCode_ = cleared ? AllDone : SomeFailed;
    // Alone, it is the whole task; before files or a watch (of the download
    // folder, named by no argument), only a failure stops them.
    return cleared && (!fileArguments.isEmpty() || parser.isSet(QStringLiteral("watch")));
}

int BatchRunner::pluginsFailed(const QStringList &pluginFolders)
{
    writeError(QStringLiteral("%1: no store plug-in could be loaded from %2 (--verbose tells why)")
                   .arg(programName, pluginFolders.join(QLatin1String(", "))));
    exitCode_ = PluginsFailed;
    return exitCode_;
}

void BatchRunner::skipUndecodable(const QStringList &names)
{
    for (const QString &name : names) {
        writeError(QStringLiteral("%1: file name not valid in the system's encoding, skipped: %2")
                       .arg(programName, name));
        ++skipped;
    }
}

int BatchRunner::run()
{
    if (watching)
        return runWatch();
    if (fileArguments.isEmpty() && skipped == 0) {
        writeError(QStringLiteral("%1: no file given (see %1 --help)").arg(programName));
        exitCode_ = NothingRecognised;
        return exitCode_;
    }
    const QList<QFileInfo> files = givenFiles();
    startRenamer();
    connect(renamer, SIGNAL(allFinished()), this, SLOT(onAllFinished()));
    renamer->add(files);

    QSet<QString> recognised;
    for (const QFileInfo &file : qAsConst(recognisedFiles))
        recognised.insert(file.absoluteFilePath());
    for (const QFileInfo &file : qAsConst(files)) {
        if (!recognised.contains(file.absoluteFilePath()))
            skipUnrecognised(file);
    }
    if (recognisedFiles.isEmpty())
        return finish(0, 0);
    if (journal)
        journal->beginRun(QStringLiteral("batch"));

    // Every entry is queued before the worker starts, so the queue runs
    // empty only once, after the last of them.
    renamer->moveToThread(workerThread);
    workerThread->start();
    loop.exec();

    int done = 0;
    int failed = 0;
    renamer->counts(nullptr, nullptr, &done, &failed);
    return finish(done, failed);
}

// As in the window: only arguments that name an existing path are files. A
// file named twice (a glob and a name, say, or through a linked folder: by
// its identity) is renamed once: its second entry would only find it gone.
QList<QFileInfo> BatchRunner::givenFiles()
{
    QList<QFileInfo> files;
    QSet<QString> given;
    for (const QString &argument : qAsConst(fileArguments)) {
        const QFileInfo file(argument);
        const QString identity = FileIdentity::of(argument).key();
        if (!FileRename::absolutePathSurvivesDecoding(QFile::encodeName(argument))) {
            skipUndecodable({QDir(QDir::currentPath()).filePath(argument)});
        } else if (file.exists() && given.contains(identity)) {
            writeError(QStringLiteral("%1: given twice: %2").arg(programName, argument));
            ++skipped;
        } else if (file.exists()) {
            given.insert(identity);
            files.append(file);
        } else {
            writeError(QStringLiteral("%1: no such file: %2").arg(programName, argument));
            // Named on the error stream; a script reading JSON gets its object too.
            if (json)
                writeResult(QStringLiteral("skipped"), QString(), QString(), argument, QString(),
                            QStringLiteral("no such file"));
            ++skipped;
        }
    }
    return files;
}

void BatchRunner::startRenamer()
{
    Entry::registerMetaTypes();
    // Read, never written: the option file belongs to the window, which
    // saves it when it closes, and a script must not change it behind its back.
    option = Option::loadFromFile(Option::filePath());
    renamer = new Renamer(option);
    // A preview fills the cache as a run does: the run after it asks for nothing.
    renamer->setPageCache(QSharedPointer<PageCache>(new PageCache), cacheMode);
    if (dryRun) {
        renamer->setDryRun(true);
    } else {
        journal.reset(new Journal);
        renamer->setJournal(journal);
    }
    workerThread = new QThread;
    connect(renamer, SIGNAL(created(QList<EntryPtr>)), this, SLOT(onCreated(QList<EntryPtr>)));
    connect(renamer, SIGNAL(finished(EntryPtr, RequestPtr)), this,
            SLOT(onFinished(EntryPtr, RequestPtr)));
    connect(renamer, SIGNAL(shopUnreachable(QString, QString, QString)), this,
            SLOT(onShopUnreachable(QString, QString)));
    connect(workerThread, SIGNAL(started()), renamer, SLOT(doWork()));
}

void BatchRunner::skipUnrecognised(const QFileInfo &file)
{
    writeError(
        QStringLiteral("%1: not recognised by any plug-in: %2").arg(programName, file.filePath()));
    if (json)
        writeResult(QStringLiteral("skipped"), QString(), file.absolutePath(), file.fileName(),
                    QString(), QStringLiteral("not recognised"));
    ++skipped;
}

int BatchRunner::runWatch()
{
    if (!canWatch())
        return exitCode_;
    startRenamer();
    // One run for the whole watch, begun before any file can be renamed.
    if (journal)
        journal->beginRun(QStringLiteral("watch"));
    // Read whole now, not when the first file comes; later only what is new.
    journalTail.reset(new JournalTail);
    journalTail->update();
    watcher = new FolderWatcher(this);
    watcher->setSettleTime(settleMs);
    connect(watcher, SIGNAL(settled(QString)), this, SLOT(onSettled(QString)));
    connect(watcher, SIGNAL(folderLost(QString)), this, SLOT(onFolderLost(QString)));
    connect(watcher, SIGNAL(folderBack(QString)), this, SLOT(onFolderBack(QString)));
    connect(watcher, SIGNAL(eventsUnavailable(QString)), this, SLOT(onEventsUnavailable(QString)));
    StopSignal stopSignal;
    connect(&stopSignal, SIGNAL(received()), this, SLOT(onStopRequested()));
    renamer->moveToThread(workerThread);
    workerThread->start();
    // What the watch before left unfinished is taken now, as if it had just come.
    watcher->watch(fileArguments, takeExisting, journalTail->unfinished(fileArguments));
    for (const QString &folder : watcher->watchedFolders())
        writeError(QStringLiteral("%1: watching %2").arg(programName, folder));
    loop.exec();

    stopWorker();
    leaveUnfinished();
    writeSummary(watchDone, watchFailed, skipped);
    exitCode_ = AllDone;
    return exitCode_;
}

// A folder that cannot be watched now is a mistake in the command line, not
// a folder to wait for. Without a folder the user's download folder is
// watched, wherever the desktop keeps it (~/Downloads, ~/ダウンロード, ...).
bool BatchRunner::canWatch()
{
    if (fileArguments.isEmpty() && skipped == 0)
        fileArguments << QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (fileArguments.value(0).isEmpty())
        return usageError(QStringLiteral("--watch needs a folder: the download folder is unknown"));
    bool watchable = skipped == 0; // names not valid in the system's encoding
    for (const QString &folder : qAsConst(fileArguments)) {
        const QString reason = FolderWatcher::unwatchable(folder, !dryRun);
        if (!reason.isEmpty()) {
            writeError(QStringLiteral("%1: cannot watch %2: %3").arg(programName, folder, reason));
            watchable = false;
        }
    }
    exitCode_ = watchable ? AllDone : NothingRecognised;
    return watchable;
}

// One file at a time goes to the renamer, so that a stop leaves no file
// queued in it: the file in progress finishes, the others are left for the
// next watch.
void BatchRunner::feedRenamer()
{
    while (!stopping && inFlight == 0 && !backlog.isEmpty()) {
        const QFileInfo file(backlog.takeFirst());
        // Moved away by its owner meanwhile, or put back under its old name
        // by an undo (of any run: a batch run, the window, an earlier watch),
        // which the user means to stay: left until it changes.
        if (!file.exists() || journalTail->restoredByUndo(file.absoluteFilePath())) {
            watcher->handled(file.absoluteFilePath());
            continue;
        }
        recognisedFiles.clear();
        renamer->add({file});
        inFlight = recognisedFiles.size();
        if (inFlight == 0) {
            skipUnrecognised(file);
            watcher->ignore(file.absoluteFilePath());
        }
    }
}

void BatchRunner::onSettled(QString path)
{
    backlog.append(path);
    feedRenamer();
}

void BatchRunner::noteWatched(const EntryPtr &entry)
{
    const QFileInfo file = entry->fileInfo();
    if (entry->status() == Entry::Done && !entry->isAlreadyNamed())
        watcher->renamed(file.absoluteFilePath(), file.absoluteDir().filePath(entry->newName()));
    else if (entry->status() == Entry::Error)
        watcher->failed(file.absoluteFilePath());
    else
        watcher->handled(file.absoluteFilePath());
    ++(entry->status() == Entry::Error ? watchFailed : watchDone);
    // A watch runs for days: the renamer need not keep what is reported.
    renamer->forgetFinished();
    if (--inFlight > 0)
        return;
    if (stopping)
        loop.quit();
    else
        feedRenamer();
}

// Named on the error stream and, for the next watch, in the journal: the
// files still settling or waiting, and those that failed. A record for
// every folder, also an empty one, so that the next watch does not take
// what an older watch left and this one finished.
void BatchRunner::leaveUnfinished()
{
    QHash<QString, QStringList> names;
    for (const QString &folder : watcher->watchedFolders())
        names.insert(folder, QStringList());
    for (const QString &path : watcher->unfinished()) {
        const QFileInfo file(path);
        // Renamed after all (the rename in progress at a second signal), or gone.
        if (!file.isFile())
            continue;
        writeError(QStringLiteral("%1: left unfinished%2: %3")
                       .arg(programName,
                            journal ? QStringLiteral(", for the next watch") : QString(), path));
        if (names[file.absolutePath()].size() < maxUnfinishedRecorded)
            names[file.absolutePath()].append(file.fileName());
    }
    for (auto folder = names.constBegin(); journal && folder != names.constEnd(); ++folder)
        journal->unfinished(folder.key(), folder.value());
}

void BatchRunner::onStopRequested()
{
    // A second signal does not wait for the file in progress: its rename
    // is one step, done or not done.
    if (stopping || inFlight == 0)
        loop.quit();
    else
        writeError(QStringLiteral("%1: stopping once the file in progress is done (a second "
                                  "signal stops at once)")
                       .arg(programName));
    stopping = true;
    watcher->stop();
}

void BatchRunner::onFolderLost(QString folder)
{
    writeError(QStringLiteral("%1: the watched folder %2 is gone; it is watched again when it "
                              "is back")
                   .arg(programName, folder));
}

void BatchRunner::onFolderBack(QString folder)
{
    writeError(QStringLiteral("%1: watching %2 again").arg(programName, folder));
}

void BatchRunner::onEventsUnavailable(QString folder)
{
    writeError(QStringLiteral("%1: the system reports no changes in %2; it is looked through "
                              "every %3 s")
                   .arg(programName, folder)
                   .arg(FolderWatcher::DefaultRescanMs / 1000));
}

// Said once for an outage: the files go on one by one, and each failed
// file's line says why in the result.
void BatchRunner::onShopUnreachable(QString host, QString proxy)
{
    writeError(
        QStringLiteral("%1: the shop %2 cannot be reached%3: the network or the proxy "
                       "setting (http_proxy) may be the cause; the files go on one by one")
            .arg(programName, host,
                 proxy.isEmpty() ? QString() : QStringLiteral(" through the proxy %1").arg(proxy)));
}

void BatchRunner::onCreated(QList<EntryPtr> entries)
{
    for (const EntryPtr &entry : qAsConst(entries))
        recognisedFiles.append(entry->fileInfo());
}

void BatchRunner::onFinished(EntryPtr entry, RequestPtr)
{
    // A failed candidate page sends the entry back to waiting for the next
    // one; only its final state is a result.
    const int status = entry->status();
    if (status != Entry::Done && status != Entry::Error && status != Entry::Preview)
        return;
    writeResult(entry->isAlreadyNamed() ? QStringLiteral("unchanged") : stateWord(status),
                entry->id(), entry->fileInfo().absolutePath(), entry->fileInfo().fileName(),
                entry->newName(), entry->message());
    if (watcher)
        noteWatched(entry);
}

void BatchRunner::onAllFinished()
{
    int pending = 0;
    renamer->counts(nullptr, &pending);
    if (pending == 0)
        loop.quit();
}

int BatchRunner::finish(int done, int failed)
{
    stopWorker();
    writeSummary(done, failed, skipped);
    if (done + failed == 0)
        exitCode_ = NothingRecognised;
    else
        exitCode_ = failed > 0 ? SomeFailed : AllDone;
    return exitCode_;
}

void BatchRunner::stopWorker()
{
    if (!renamer)
        return;
    disconnect(renamer, nullptr, this, nullptr);
    Renamer::stop(renamer, workerThread);
}

int BatchRunner::runHistory()
{
    const Journal journal;
    if (!journalReadable(journal))
        return SomeFailed;
    const QList<Undo::Run> runs = Undo(journal).history();
    // The newest first, and no more than a screenful.
    const int shown = qMin(runs.size(), 20);
    for (int i = runs.size() - 1; i >= runs.size() - shown; --i) {
        const Undo::Run &run = runs.at(i);
        if (json) {
            writeOut(QJsonDocument(QJsonObject{{QStringLiteral("run"), run.number},
                                               {QStringLiteral("time"), run.time},
                                               {QStringLiteral("mode"), run.mode},
                                               {QStringLiteral("renames"), run.renames},
                                               {QStringLiteral("undone"), run.undone},
                                               {QStringLiteral("folders"),
                                                QJsonArray::fromStringList(run.folders)}})
                         .toJson(QJsonDocument::Compact));
            continue;
        }
        QStringList fields{QString::number(run.number), run.time, run.mode,
                           QString::number(run.renames), QString::number(run.undone)};
        for (const QString &folder : run.folders)
            fields.append(escaped(QDir::toNativeSeparators(folder)));
        writeOut(fields.join(QLatin1Char('\t')));
    }
    if (json)
        writeOut(QJsonDocument(QJsonObject{{QStringLiteral("summary"),
                                            QJsonObject{{QStringLiteral("runs"), shown}}}})
                     .toJson(QJsonDocument::Compact));
    else
        writeOut(QStringLiteral("runs: %1").arg(shown));
    return AllDone;
}

int BatchRunner::runUndo(const QStringList &arguments)
{
    const Journal journal;
    if (!journalReadable(journal))
        return SomeFailed;
    const Undo undo(journal);
    bool valid = true;
    const qint64 run =
        arguments.isEmpty() ? undo.latestRun() : arguments.first().toLongLong(&valid);
    if (!valid || arguments.size() > 1) {
        writeError(
            QStringLiteral("%1: --undo takes one run number (see %1 --history)").arg(programName));
        return NothingRecognised;
    }
    const QList<Undo::Step> steps =
        run > 0 ? undo.undo(run, dryRun, journal.path()) : QList<Undo::Step>();
    if (steps.isEmpty())
        writeError(run > 0 ? QStringLiteral("%1: run %2 has nothing to take back (already "
                                            "undone, or no such run)")
                                 .arg(programName)
                                 .arg(run)
                           : QStringLiteral("%1: no run to take back").arg(programName));
    int counts[4] = {0, 0, 0, 0};
    static const char *const words[4] = {"done", "skipped", "error", "preview"};
    for (const Undo::Step &step : steps) {
        ++counts[step.state];
        writeResult(QLatin1String(words[step.state]), step.id, step.folder, step.from, step.to,
                    step.message);
    }
    const int done = counts[Undo::Step::Done] + counts[Undo::Step::Preview];
    const int failed = counts[Undo::Step::Failed];
    writeSummary(done, failed, counts[Undo::Step::Skipped]);
    if (steps.isEmpty())
        return NothingRecognised;
    return failed + counts[Undo::Step::Skipped] > 0 ? SomeFailed : AllDone;
}

QString BatchRunner::stateWord(int status)
{
    switch (status) {
    case Entry::Done:
        return QStringLiteral("done");
    case Entry::Preview:
        return QStringLiteral("preview");
    default:
        return QStringLiteral("error");
    }
}

// The tab-separated line shows the state as the window does; the JSON object
// carries a stable ASCII word for scripts.
void BatchRunner::writeResult(const QString &state, const QString &id, const QString &folder,
                              const QString &oldName, const QString &newName,
                              const QString &message)
{
    if (json) {
        writeOut(QJsonDocument(QJsonObject{{QStringLiteral("state"), state},
                                           {QStringLiteral("id"), id},
                                           {QStringLiteral("folder"), folder},
                                           {QStringLiteral("old"), oldName},
                                           {QStringLiteral("new"), newName},
                                           {QStringLiteral("message"), message}})
                     .toJson(QJsonDocument::Compact));
        return;
    }
    // Made anew each time: the labels follow the installed translation.
    const QHash<QString, QString> labels{
        {QStringLiteral("done"), Entry::statusLabel(Entry::Done)},
        {QStringLiteral("unchanged"), Entry::statusLabel(Entry::Done)},
        {QStringLiteral("error"), Entry::statusLabel(Entry::Error)},
        {QStringLiteral("preview"), Entry::statusLabel(Entry::Preview)},
        {QStringLiteral("skipped"), tr("スキップ")}};
    writeOut(QStringList{labels.value(state, state), escaped(oldName), escaped(newName),
                         escaped(message)}
                 .join(QLatin1Char('\t')));
}

void BatchRunner::writeSummary(int done, int failed, int skipped)
{
    if (json)
        writeOut(QJsonDocument(QJsonObject{{QStringLiteral("summary"),
                                            QJsonObject{{QStringLiteral("done"), done},
                                                        {QStringLiteral("failed"), failed},
                                                        {QStringLiteral("skipped"), skipped}}}})
                     .toJson(QJsonDocument::Compact));
    else
        writeOut(
            QStringLiteral("done: %1, failed: %2, skipped: %3").arg(done).arg(failed).arg(skipped));
}

// One result per line and one field per tab: a file name or a page text
// holding a tab or a line break must not split its line for a script.
QString BatchRunner::escaped(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '\t':
            result += QLatin1String("\\t");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        default:
            // Also the C1 controls, the line and paragraph separators and the
            // invisible format characters (a right-to-left override makes a
            // name read backwards on a terminal).
            if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
                result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else if (c.unicode() == 0x2028 || c.unicode() == 0x2029 ||
                     c.category() == QChar::Other_Format)
                result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                result += c;
        }
    }
    return result;
}

// Scripts read the results while the run goes on: every line is flushed.
void BatchRunner::writeOut(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void BatchRunner::writeError(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace zorv
