// Hands lists of files to the window as a later start does and prints how
// long the window takes to add them, for a list and one ten times as long:
// adding is linear when the second figure is about ten times the first.
//
//   QT_QPA_PLATFORM=offscreen build/benchmarks/bench_handover [--files 3000]
//
// No page is fetched: the renamer's proxy is a closed port of this machine.

#include "MainWindow.h"
#include "TestPaths.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace zorv;

namespace {

// Makes the files and adds them; the time of adding alone, in milliseconds.
qint64 addedInMs(MainWindow &window, const QString &folder, int count, int first)
{
    QStringList paths;
    for (int i = first; i < first + count; ++i) {
        paths.append(QStringLiteral("%1/RJ%2.zip").arg(folder).arg(100000 + i));
        QFile(paths.last()).open(QIODevice::WriteOnly);
    }
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(&window, "onReceived", Q_ARG(QStringList, paths));
    return timer.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption filesOption(QStringLiteral("files"),
                                         QStringLiteral("Files in the shorter list."),
                                         QStringLiteral("n"), QStringLiteral("3000"));
    parser.addOption(filesOption);
    parser.addHelpOption();
    parser.process(application);
    const int files = qMax(1, parser.value(filesOption).toInt());

    QTemporaryDir home, folder;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("http_proxy", "http://127.0.0.1:9");
    PluginManager plugins;
    if (!plugins.load(TestPaths::pluginBuildDir())) {
        std::fprintf(stderr, "bench_handover: no store plug-in in %s\n",
                     qPrintable(TestPaths::pluginBuildDir()));
        return 1;
    }
    MainWindow window;
    window.initialize();
    const qint64 shortMs = addedInMs(window, folder.path(), files, 0);
    const qint64 longMs = addedInMs(window, folder.path(), files * 10, files);
    std::printf("files added: %d in %lld ms, %d in %lld ms (ratio %.1f; linear: about 10)\n", files,
                static_cast<long long>(shortMs), files * 10, static_cast<long long>(longMs),
                double(longMs) / double(qMax<qint64>(1, shortMs)));
    window.finalize();
    return 0;
}
