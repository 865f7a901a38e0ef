#include "BatchRunner.h"
#include "MainWindow.h"
#include "PluginFolder.h"
#include "SingleInstance.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QIcon>

#include <cstdio>

using zorv::BatchRunner;
using zorv::MainWindow;
using zorv::PluginFolder;
using zorv::PluginManager;
using zorv::SingleInstance;

namespace {

const QString iconPath = QStringLiteral("://resources/images/icon.png");

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

void shutDown(MainWindow *window)
{
    if (!window)
        return;
    window->finalize();
    delete window;
}

// The working directory's "plugins" folder first, then the fallbacks; the
// window and the batch mode load from the same place.
QString choosePluginFolder(const char *argv0)
{
    return PluginFolder::choose(QDir::current(),
                                PluginFolder::fallbacks(PluginFolder::executableDirectory(argv0)));
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
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
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
        if (!pluginManager.load(choosePluginFolder(argv[0])))
            return -1;

        MainWindow *window = nullptr;
        try {
            QApplication::setWindowIcon(QIcon(iconPath));
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
        BatchRunner runner;
        if (!runner.parse(QCoreApplication::arguments()))
            return runner.exitCode();
        PluginManager pluginManager;
        const QString pluginFolder = choosePluginFolder(argv[0]);
        if (!pluginManager.load(pluginFolder))
            return runner.pluginsFailed(pluginFolder);
        return runner.run();
    } catch (...) {
        return -1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (BatchRunner::isRequested(argc, argv))
        return runBatch(argc, argv);

    // Sharp text and pictures on high-density screens; must precede the
    // application object.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Outlives the application object: the plug-ins stay loaded to the end.
    PluginManager pluginManager;
    return runWindow(argc, argv, pluginManager);
}
