#include "BatchRunner.h"

#include "renamer/Renamer.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSet>
#include <QThread>

#include <cstdio>
#include <cstring>

#ifndef ZORV_VERSION
#error "ZORV_VERSION (the project version) must be defined by the build"
#endif

namespace zorv {

namespace {

const char *const modeArguments[] = {"-b",         "--batch", "-h",       "--help",
                                     "--help-all", "-v",      "--version"};

const QString programName = QStringLiteral("zorv");

const QString description = QStringLiteral(
    "Renames downloaded product files after the web-shop product page they belong to.\n"
    "\n"
    "Without --batch the window opens with the files in its list. With --batch the\n"
    "files are renamed without a window: one line per file as it finishes (state,\n"
    "old name, new name, comment; tab-separated; tabs, line breaks and backslashes\n"
    "inside them written as \\t, \\n and \\\\), then the line\n"
    "\"done: N, failed: N, skipped: N\". Skipped files are missing or were recognised\n"
    "by no plug-in; they are named on the error stream.\n"
    "\n"
    "Exit codes: 0 every file done, 1 any file failed, 2 no file recognised or\n"
    "none given, 255 (-1) no plug-in could be loaded.\n"
    "\n"
    "Options are read from the window's option file (never written in batch mode):\n"
    "\"option.xml\" in the working directory when there is one, else\n"
    "~/.config/zorv/option.xml. Plug-ins come from the working directory's\n"
    "\"plugins\" folder, else from the one beside the program, else from the\n"
    "installed one. Pages are fetched through the proxy named by http_proxy, if any.");

} // namespace

bool BatchRunner::isRequested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        for (const char *mode : modeArguments) {
            if (std::strcmp(argv[i], mode) == 0)
                return true;
        }
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
    parser.setApplicationDescription(description);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption batchOption(
        QStringList{QStringLiteral("b"), QStringLiteral("batch")},
        QStringLiteral("Rename the files without a window and print the results."));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QStringLiteral("Also print the diagnostic log (plug-in loading, downloads) on the error "
                       "stream."));
    parser.addOption(batchOption);
    parser.addOption(verboseOption);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Product files to rename. After \"--\" every "
                                                "argument is a file, even one named like an "
                                                "option."),
                                 QStringLiteral("[--] FILE..."));

    if (!parser.parse(arguments)) {
        writeError(QStringLiteral("%1: %2").arg(programName, parser.errorText()));
        writeError(QStringLiteral("Try '%1 --help' for more information.").arg(programName));
        exitCode_ = NothingRecognised;
        return false;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        // The usage line names the program as invoked; a full build path
        // there says nothing.
        QString help = parser.helpText().trimmed();
        const QString invoked = QCoreApplication::arguments().value(0);
        const int at = help.indexOf(invoked);
        if (!invoked.isEmpty() && at >= 0 && at < help.indexOf(QLatin1Char('\n')))
            help.replace(at, invoked.size(), programName);
        writeOut(help);
        exitCode_ = AllDone;
        return false;
    }
    if (parser.isSet(versionOption)) {
        writeOut(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                             QCoreApplication::applicationVersion()));
        exitCode_ = AllDone;
        return false;
    }
    // The results go to the output stream; the renamer's and the plug-in
    // manager's diagnostics would drown them on a terminal.
    if (!parser.isSet(verboseOption))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    fileArguments = parser.positionalArguments();
    return true;
}

int BatchRunner::pluginsFailed(const QString &pluginFolder)
{
    writeError(QStringLiteral("%1: no store plug-in could be loaded from %2 (--verbose tells why)")
                   .arg(programName, pluginFolder));
    exitCode_ = PluginsFailed;
    return exitCode_;
}

int BatchRunner::run()
{
    if (fileArguments.isEmpty()) {
        writeError(QStringLiteral("%1: no file given (see %1 --help)").arg(programName));
        exitCode_ = NothingRecognised;
        return exitCode_;
    }

    // As in the window: only arguments that name an existing path are files.
    QList<QFileInfo> files;
    for (const QString &argument : qAsConst(fileArguments)) {
        const QFileInfo file(argument);
        if (file.exists()) {
            files.append(file);
        } else {
            writeError(QStringLiteral("%1: no such file: %2").arg(programName, argument));
            ++skipped;
        }
    }

    Entry::registerMetaTypes();
    // Read, never written: the option file belongs to the window, which
    // saves it when it closes, and a script must not change it behind its back.
    option = Option::loadFromFile(Option::filePath());
    renamer = new Renamer(option);
    workerThread = new QThread;
    connect(renamer, SIGNAL(created(QList<EntryPtr>)), this, SLOT(onCreated(QList<EntryPtr>)));
    connect(renamer, SIGNAL(finished(EntryPtr, RequestPtr)), this,
            SLOT(onFinished(EntryPtr, RequestPtr)));
    connect(renamer, SIGNAL(allFinished()), this, SLOT(onAllFinished()));
    connect(workerThread, SIGNAL(started()), renamer, SLOT(doWork()));

    renamer->add(files);

    QSet<QString> recognised;
    for (const QFileInfo &file : qAsConst(recognisedFiles))
        recognised.insert(file.absoluteFilePath());
    for (const QFileInfo &file : qAsConst(files)) {
        if (!recognised.contains(file.absoluteFilePath())) {
            writeError(QStringLiteral("%1: not recognised by any plug-in: %2")
                           .arg(programName, file.filePath()));
            ++skipped;
        }
    }
    if (recognisedFiles.isEmpty())
        return finish(0, 0);

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
    if (status == Entry::Done || status == Entry::Error)
        writeOut(resultLine(entry));
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
    writeOut(summaryLine(done, failed, skipped));
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

QString BatchRunner::resultLine(const EntryPtr &entry)
{
    return QStringList{Entry::statusLabel(entry->status()), escaped(entry->fileInfo().fileName()),
                       escaped(entry->newName()), escaped(entry->message())}
        .join(QLatin1Char('\t'));
}

QString BatchRunner::summaryLine(int done, int failed, int skipped)
{
    return QStringLiteral("done: %1, failed: %2, skipped: %3").arg(done).arg(failed).arg(skipped);
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
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
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
