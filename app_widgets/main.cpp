#include "BatchRunner.h"
#include "MainWindow.h"
#include "PluginFolder.h"
#include "SingleInstance.h"
#include "Translation.h"
#include "plugin/PluginManager.h"
#include "utility/FileRename.h"
#include "utility/LogCategory.h"
#include "utility/XdgEnvironment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <limits>

using zorv::BatchRunner;
using zorv::FileRename;
using zorv::lcZorv;
using zorv::MainWindow;
using zorv::PluginFolder;
using zorv::PluginManager;
using zorv::SingleInstance;
using zorv::Translation;
using zorv::XdgEnvironment;

namespace {

// The installed theme icon when there is one (the desktop may restyle it),
// else the copy built into the program, e.g. when run from the build tree.
const QString iconName = QStringLiteral("zorv");
const QString iconPath = QStringLiteral(":/icons/256x256/zorv.png");

void writeError(const QString &message)
{
    std::fprintf(stderr, "zorv: %s\n", qPrintable(message));
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
// For files alone (the window's arguments), the working folder's name counts
// too. Needs the application object (it sets up the locale's encoding),
// which reads its arguments from argv anew each time.
QStringList takeUndecodableArguments(int &argc, char **argv, bool filesOnly)
{
    QStringList taken;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (filesOnly ? FileRename::absolutePathSurvivesDecoding(argument)
                      : FileRename::survivesDecoding(argument))
            argv[kept++] = argv[i];
        else
            taken.append(QString::fromLocal8Bit(argv[i]));
    }
    argc = kept;
    argv[argc] = nullptr;
    return taken;
}

// "--verbose" before any "--" puts the diagnostic log on the terminal, as in
// batch mode. It is taken out of the arguments, so that it never stands for
// a file, nor goes to a running window with the files.
bool takeVerboseOption(int &argc, char **argv)
{
    bool verbose = false;
    bool options = true;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (options && std::strcmp(argv[i], "--") == 0)
            options = false;
        if (options && std::strcmp(argv[i], "--verbose") == 0) {
            verbose = true;
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return verbose;
}

void shutDown(MainWindow *window)
{
    if (!window)
        return;
    window->finalize();
    delete window;
}

// The window and the batch mode load from the same folders.
QStringList pluginFolders(const char *argv0)
{
    return PluginFolder::folders(PluginFolder::executableDirectory(argv0));
}

// Runs the main window until its event loop ends. A window of this user that
// already runs on this display takes the command line's files instead. The
// window is shut down and deleted while the application object still exists,
// also after an exception.
int runWindow(int &argc, char **argv, PluginManager &pluginManager)
{
    int exitCode = -1;
    try {
        QApplication application(argc, argv);
        Translation::install();
        const QStringList undecodable = takeUndecodableArguments(argc, argv, true);
        for (const QString &name : undecodable)
            qCDebug(lcZorv).noquote()
                << QStringLiteral("%1 {file name not valid in the system's encoding, "
                                  "skipped: %2}")
                       .arg(QLatin1String(Q_FUNC_INFO), name);
        SingleInstance instance;
        switch (instance.claim(QCoreApplication::arguments().mid(1))) {
        case SingleInstance::HandedOver:
            return 0;
        case SingleInstance::Failed:
            writeError(instance.errorString());
            return 1;
        case SingleInstance::Owner:
            if (!instance.errorString().isEmpty())
                writeError(instance.errorString());
            break;
        }
        if (!pluginManager.load(pluginFolders(argv[0])))
            return -1;

        MainWindow *window = nullptr;
        try {
            QApplication::setWindowIcon(QIcon::fromTheme(iconName, QIcon(iconPath)));
            window = new MainWindow;
            if (window->initialize()) {
                QObject::connect(&instance, SIGNAL(received(QStringList)), window,
                                 SLOT(onReceived(QStringList)));
                // Without a lock (already said why) there is no place to listen.
                if (instance.errorString().isEmpty() && !instance.listen())
                    writeError(instance.errorString());
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

// "zorv --batch FILE...", "--help" and "--version": no window and no
// single-instance guard, so a script can run beside an open window.
int runBatch(int &argc, char **argv)
{
    try {
        QCoreApplication application(argc, argv);
        Translation::install(Translation::ProgramOnly);
        BatchRunner runner;
        const QStringList undecodable = takeUndecodableArguments(argc, argv, false);
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
    // Before anything asks for the user's folders: ~/.config/zorv,
    // ~/.local/share/zorv, ~/.cache/zorv.
    XdgEnvironment::dropRelativeFolders();
    // Qt's network access looks through the network interfaces every ten
    // seconds from a thread of its own, which the program never asks about:
    // a watch or a window left open for days would wake for it all the time.
    // Before the first access manager; a value the user set stays.
    if (!qEnvironmentVariableIsSet("QT_BEARER_POLL_TIMEOUT"))
        qputenv("QT_BEARER_POLL_TIMEOUT", QByteArray::number(std::numeric_limits<int>::max()));
    QCoreApplication::setApplicationName(QStringLiteral("zorv"));
    if (BatchRunner::isRequested(argc, argv))
        return runBatch(argc, argv);

    // Sharp text and pictures on high-density screens; must precede the
    // application object.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    if (!takeVerboseOption(argc, argv))
        zorv::quietDiagnosticLog();
    // Outlives the application object: the plug-ins stay loaded to the end.
    PluginManager pluginManager;
    return runWindow(argc, argv, pluginManager);
}
