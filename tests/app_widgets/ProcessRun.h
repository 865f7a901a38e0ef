#pragma once

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// The real program as a process: its start and what it left on its streams.
namespace ProcessRun {

// What the default options make of the catalogue's page of RJ100001, before
// the extension.
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

// The user's configuration folder is the working directory's ".config".
// proxy: the http_proxy the program sees; none when empty.
inline void start(QProcess &process, const QString &workingDirectory, const QStringList &arguments,
                  Mode mode, const QString &proxy = QString(),
                  const QString &executable = program())
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
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(executable, arguments);
}

// Waits for the end; QProcess kills one that outlives the limit.
inline Result run(const QString &workingDirectory, const QStringList &arguments, Mode mode,
                  const QString &proxy = QString(), const QString &executable = program())
{
    QProcess process;
    start(process, workingDirectory, arguments, mode, proxy, executable);
    Result result;
    result.exited =
        process.waitForFinished(timeout) && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (result.lines.constLast().isEmpty())
        result.lines.removeLast();
    result.log = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace ProcessRun
