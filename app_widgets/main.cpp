#include "BatchRunner.h"
#include "FormFont.h"
#include "MainWindow.h"
#include "PluginFolder.h"
#include "plugin/PluginManager.h"
#include "utility/FileRename.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QIcon>
#include <QSharedMemory>

using zorv::BatchRunner;
using zorv::FileRename;
using zorv::FormFont;
using zorv::MainWindow;
using zorv::PluginFolder;
using zorv::PluginManager;

namespace {

const QString instanceKey = QStringLiteral("Keltam.zorv.application");
// The installed theme icon when there is one (the desktop may restyle it),
// else the copy built into the program, e.g. when run from the build tree.
const QString iconName = QStringLiteral("zorv");
const QString iconPath = QStringLiteral(":/icons/256x256/zorv.png");

// A killed instance leaves its segment behind on systems where shared memory
// outlives the process (System V), and a later start would take it for a
// running instance and quit silently. Attaching and detaching a throw-away
// handle removes a segment that nobody else holds; a segment of a live
// instance stays, because that instance is still attached.
void releaseStaleSegment()
{
    QSharedMemory probe;
    probe.setKey(instanceKey);
    if (probe.attach(QSharedMemory::ReadOnly))
        probe.detach();
}

// Automation hook, read from the environment so that the command line stays
// a plain list of files: ZORV_QUIT_WHEN_IDLE=1 closes the window once the
// renamer's queue has run empty (ZORV_SNAPSHOT=<file.png> saves a picture of
// the window first). The run then ends exactly as if the user closed it.
void applyAutomationHooks(MainWindow *window)
{
    if (qEnvironmentVariableIntValue("ZORV_QUIT_WHEN_IDLE") != 1)
        return;
    window->setCloseWhenIdle(qEnvironmentVariable("ZORV_SNAPSHOT"));
}

// Takes out the arguments whose bytes do not survive decoding (invalid in the
// locale's encoding): the decoded name would stand for another file or none.
// Needs the application object (it sets up the locale's encoding), which
// reads its arguments from argv anew each time.
QStringList takeUndecodableArguments(int &argc, char **argv)
{
    QStringList taken;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (FileRename::survivesDecoding(QByteArray(argv[i])))
            argv[kept++] = argv[i];
        else
            taken.append(QString::fromLocal8Bit(argv[i]));
    }
    argc = kept;
    argv[argc] = nullptr;
    return taken;
}

void shutDown(MainWindow *window)
{
    if (!window)
        return;
    window->finalize();
    delete window;
}

// Runs the main window until its event loop ends. The window is shut down and
// deleted while the application object still exists, also after an exception.
int runWindow(int &argc, char **argv)
{
    int exitCode = -1;
    try {
        QApplication application(argc, argv);
        const QStringList undecodable = takeUndecodableArguments(argc, argv);
        for (const QString &name : undecodable)
            qDebug().noquote() << QStringLiteral(
                                      "%1 {file name not valid in the system's encoding, "
                                      "skipped: %2}")
                                      .arg(QLatin1String(Q_FUNC_INFO), name);
        MainWindow *window = nullptr;
        try {
            QApplication::setWindowIcon(QIcon::fromTheme(iconName, QIcon(iconPath)));
            FormFont::install();
            window = new MainWindow;
            if (window->initialize()) {
                window->show();
                applyAutomationHooks(window);
            }
            exitCode = application.exec();
        } catch (...) {
            exitCode = -1;
        }
        shutDown(window);
    } catch (...) {
        exitCode = -1;
    }
    return exitCode;
}

// The window and the batch mode load from the same folders.
QStringList pluginFolders(const char *argv0)
{
    return PluginFolder::folders(PluginFolder::executableDirectory(argv0));
}

// "zorv --batch FILE...", "--help" and "--version": no window and no
// single-instance guard, so a script can run beside an open window.
int runBatch(int &argc, char **argv)
{
    try {
        QCoreApplication application(argc, argv);
        BatchRunner runner;
        const QStringList undecodable = takeUndecodableArguments(argc, argv);
        if (!runner.parse(QCoreApplication::arguments()))
            return runner.exitCode();
        PluginManager pluginManager;
        const QStringList folders = pluginFolders(argv[0]);
        if (!pluginManager.load(folders))
            return runner.pluginsFailed(folders);
        runner.skipUndecodable(undecodable);
        return runner.run();
    } catch (...) {
        return -1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything asks for the user's folders: ~/.local/share/zorv.
    QCoreApplication::setApplicationName(QStringLiteral("zorv"));
    if (BatchRunner::isRequested(argc, argv))
        return runBatch(argc, argv);

    QSharedMemory instanceGuard;
    instanceGuard.setKey(instanceKey);
    releaseStaleSegment();
    if (instanceGuard.attach(QSharedMemory::ReadWrite))
        return 0;
    if (!instanceGuard.create(1, QSharedMemory::ReadWrite)) {
        qDebug().noquote() << instanceGuard.errorString();
        return 0;
    }

    PluginManager pluginManager;
    if (!pluginManager.load(pluginFolders(argv[0])))
        return -1;

    return runWindow(argc, argv);
}
