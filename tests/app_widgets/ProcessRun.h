#pragma once

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

// The real program as a process: its start and what it left on its streams.
namespace ProcessRun {

// The default options' name for the catalogue's RJ100001, before the extension.
const QString rj100001Name =
    QStringLiteral("[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] ");

// Generous: both CI runs share two cores, one of them with sanitizers.
const int timeout = 120000;

enum Mode {
    Window,     // headless; the automation hook closes the window once idle
    KeepWindow, // headless; the window stays until the process is ended
    Batch       // no display and no platform setting: a window would fail at once
};

struct Result
{
    bool exited = false; // on its own, within the time limit
    int exitCode = -1;
    QStringList lines; // standard output, without the empty line after the last break
    QString log;       // standard error: the program's log
};

inline QString program()
{
    return QDir(TestPaths::binDir()).filePath(QStringLiteral("zorv"));
}

// The runtime folder of every program this test process starts: a window of
// another test run on the machine never takes this run's files.
inline QString runtimeFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

inline bool addStorePlugin(const QString &folder)
{
    const QDir dir(folder);
    return dir.mkpath(QStringLiteral("plugins")) &&
           QFile::copy(QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile()),
                       dir.filePath(QStringLiteral("plugins/") + TestPaths::storePluginFile()));
}

// Variables set for the program beyond the usual ones (an empty value as none).
typedef QMap<QString, QString> Environment;

// The user's configuration folder is the working directory's ".config".
// proxy: the http_proxy the program sees; none when empty.
inline void start(QProcess &process, const QString &workingDirectory, const QStringList &arguments,
                  Mode mode, const QString &proxy = QString(),
                  const QString &executable = program(), const Environment &changes = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"ZORV_QUIT_WHEN_IDLE", "ZORV_SNAPSHOT", "DISPLAY", "WAYLAND_DISPLAY",
                             "QT_QPA_PLATFORM", "http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
        environment.remove(QString::fromLatin1(name));
    if (mode != Batch)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (mode == Window)
        environment.insert(QStringLiteral("ZORV_QUIT_WHEN_IDLE"), QStringLiteral("1"));
    if (!proxy.isEmpty())
        environment.insert(QStringLiteral("http_proxy"), proxy);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       QDir(workingDirectory).filePath(QStringLiteral(".config")));
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(executable, arguments);
}

// Waits for the end; QProcess kills one that outlives the limit.
inline Result run(const QString &workingDirectory, const QStringList &arguments, Mode mode,
                  const QString &proxy = QString(), const QString &executable = program(),
                  const Environment &changes = {})
{
    QProcess process;
    start(process, workingDirectory, arguments, mode, proxy, executable, changes);
    Result result;
    result.exited =
        process.waitForFinished(timeout) && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (result.lines.constLast().isEmpty())
        result.lines.removeLast();
    result.log = QString::fromUtf8(process.readAllStandardError());
    // A connection the program's Qt refused fails the test as one of its own would.
    for (const QString &line : result.log.split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("QObject::connect: No such")))
            qWarning("%s", qPrintable(line.mid(line.indexOf(QLatin1String("QObject::")))));
    return result;
}

// A folder whose name is not valid UTF-8 (Shift_JIS bytes), holding the
// file; beside it the folder its decoded name names, holding a file of the
// same name. Returns a link to the first, a working folder a test can name.
inline QString undecodableFolder(const QString &parent, const QString &file)
{
    const QByteArray raw = QFile::encodeName(parent) + "/RJ\x82\xa0";
    const QString decoded = QFile::decodeName(raw), link = parent + QStringLiteral("/link");
    const bool made = ::mkdir(raw.constData(), 0700) == 0 && QDir().mkpath(decoded) &&
                      QFile(decoded + '/' + file).open(QIODevice::WriteOnly) &&
                      ::symlink(raw.constData(), QFile::encodeName(link).constData()) == 0 &&
                      QFile(link + '/' + file).open(QIODevice::WriteOnly);
    return made ? link : QString();
}

} // namespace ProcessRun
