// Runs "zorv --watch" as a process against the local test shop and prints:
//   - the CPU time the idle watcher takes (goal: at most 0.1 s in 60 s);
//   - the delay from a file's last write to its rename, against the settling
//     time (goal: settling time + at most 1 s);
//   - the wall time for a burst of files landing at once, against its floor:
//     the settling time plus one 100 ms pause and one page's work per file
//     (goal: a ratio of at most 1.05).
//
//   build/benchmarks/bench_watch [--settle 3] [--idle 60] [--delays 5] [--files 200]
//                                [--journal MB]
//
// --journal fills the journal with that many megabytes of earlier renames
// (of another folder, some taken back) before the watch starts: the watch
// looks into it before each file.
//
// It needs python3 for the shop (tests/shop.py) and the built program.

#include "BenchPages.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "plugin/PluginManager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using BenchPages::idOf;

namespace {

// The watcher's output lines as they come, each with the time it was read.
class Watcher
{
public:
    QProcess process;
    int done = 0;

    // Reads what has come; the time of the latest result line.
    void read(QElapsedTimer &clock)
    {
        process.waitForReadyRead(5);
        pending += process.readAllStandardOutput();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            if (pending.left(end).contains("\"state\":\"done\"")) {
                ++done;
                lastDoneMs = clock.elapsed();
            }
            pending.remove(0, end + 1);
        }
    }
    // Waits until count files are done; false after ten minutes.
    bool waitForDone(int count, QElapsedTimer &clock)
    {
        while (done < count && clock.elapsed() < 600000)
            read(clock);
        return done >= count;
    }
    qint64 lastDoneMs = -1;

private:
    QByteArray pending;
};

// User and system CPU time of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which may hold blanks, in brackets.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::Append);
    file.write(bytes);
}

// Earlier runs' renames, of files elsewhere, until the journal holds megabytes MB.
void fillJournal(const QString &path, double megabytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile journal(path);
    journal.open(QIODevice::WriteOnly);
    journal.write("{\"type\":\"run\",\"run\":1,\"mode\":\"batch\"}\n");
    for (int seq = 1; journal.size() < megabytes * 1024 * 1024; ++seq) {
        const QByteArray number = QByteArray::number(seq);
        const QByteArray undo = seq % 10 ? "" : ",\"undoes_run\":1,\"undoes_seq\":1";
        journal.write("{\"type\":\"intent\",\"run\":1,\"seq\":" + number +
                      ",\"folder\":\"/elsewhere/downloads\",\"old\":\"RJ" + number +
                      ".zip\",\"new\":\"[maker] a title of some length [RJ" + number +
                      "].zip\",\"id\":\"RJ" + number + "\",\"dev\":\"2049\",\"ino\":\"" + number +
                      "\",\"size\":\"1000\",\"mtime_ns\":\"1700000000000000000\"" + undo +
                      "}\n{\"type\":\"outcome\",\"run\":1,\"seq\":" + number +
                      ",\"renamed\":true}\n");
    }
}

// What the command line asks for.
struct Settings
{
    double settle = 3;
    int idle = 60;
    int delays = 5;
    int files = 200;
    double journalMegabytes = 0;
};

Settings readSettings(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Watch mode benchmark"));
    parser.addHelpOption();
    const QCommandLineOption settle(QStringLiteral("settle"), QStringLiteral("Seconds."),
                                    QStringLiteral("s"), QStringLiteral("3"));
    const QCommandLineOption idle(QStringLiteral("idle"), QStringLiteral("Seconds idle."),
                                  QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption delays(QStringLiteral("delays"),
                                    QStringLiteral("Files timed one by one."), QStringLiteral("n"),
                                    QStringLiteral("5"));
    const QCommandLineOption files(QStringLiteral("files"),
                                   QStringLiteral("Files landing at once."), QStringLiteral("n"),
                                   QStringLiteral("200"));
    const QCommandLineOption journal(QStringLiteral("journal"),
                                     QStringLiteral("Megabytes of earlier renames in the journal."),
                                     QStringLiteral("MB"), QStringLiteral("0"));
    parser.addOptions({settle, idle, delays, files, journal});
    parser.process(app);
    return Settings{parser.value(settle).toDouble(), parser.value(idle).toInt(),
                    parser.value(delays).toInt(), parser.value(files).toInt(),
                    parser.value(journal).toDouble()};
}

// "zorv --watch" on work/dl, with its own journal, options and page cache in
// work: pages kept by an earlier run would spare fetches the floor counts.
void startWatcher(Watcher &watcher, const QTemporaryDir &work, const QString &proxy, double settle)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("http_proxy"), proxy);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    watcher.process.setProcessEnvironment(environment);
    watcher.process.setWorkingDirectory(work.path());
    watcher.process.start(QDir(TestPaths::binDir()).filePath(QStringLiteral("zorv")),
                          {QStringLiteral("--watch"), work.filePath(QStringLiteral("dl")),
                           QStringLiteral("--json"), QStringLiteral("--settle"),
                           QString::number(settle)});
    watcher.process.waitForStarted();
}

// One file at a time, written in five pieces over half a second.
bool measureDelays(Watcher &watcher, QElapsedTimer &clock, const QDir &folder,
                   const Settings &settings)
{
    double delaySum = 0;
    double delayMax = 0;
    for (int i = 0; i < settings.delays; ++i) {
        const QString path = folder.filePath(idOf(i) + QStringLiteral(".zip"));
        qint64 lastWriteMs = 0;
        for (int piece = 0; piece < 5; ++piece) {
            QThread::msleep(100);
            write(path, "piece ");
            lastWriteMs = clock.elapsed();
        }
        if (!watcher.waitForDone(i + 1, clock))
            return false;
        const double delay = double(watcher.lastDoneMs - lastWriteMs) / 1000;
        std::printf("delay from last write to rename, file %d: %.2f s\n", i + 1, delay);
        delaySum += delay;
        delayMax = qMax(delayMax, delay);
    }
    std::printf("delay mean %.2f s, max %.2f s; settling time %.2f s (goal <= %.2f s)\n",
                delaySum / qMax(1, settings.delays), delayMax, settings.settle,
                settings.settle + 1);
    return true;
}

// A burst: every file lands at once.
bool measureBurst(Watcher &watcher, QElapsedTimer &clock, const QDir &folder,
                  const Settings &settings, double pageMs)
{
    const int total = settings.delays + settings.files;
    for (int i = settings.delays; i < total; ++i)
        write(folder.filePath(idOf(i) + QStringLiteral(".zip")), "payload");
    const qint64 landedMs = clock.elapsed();
    if (!watcher.waitForDone(total, clock))
        return false;
    const double wall = double(watcher.lastDoneMs - landedMs) / 1000;
    const double floor = settings.settle + settings.files * (100.0 + pageMs) / 1000;
    std::printf("burst of %d files: all renamed in %.2f s\n", settings.files, wall);
    std::printf("floor %.2f s settling + %d x (100 ms + %.2f ms): %.2f s\n", settings.settle,
                settings.files, pageMs, floor);
    std::printf("ratio wall/floor: %.3f (goal <= 1.05)\n", wall / floor);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Each figure as it is measured, also into a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Settings settings = readSettings(app);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    zorv::PluginManager plugins;
    if (!plugins.load(TestPaths::pluginBuildDir())) {
        std::fprintf(stderr, "no plug-in in %s\n", qPrintable(TestPaths::pluginBuildDir()));
        return 1;
    }
    const double pageMs = BenchPages::pipelineMs(plugins.plugins().first());
    QTemporaryDir work;
    const int total = settings.delays + settings.files;
    BenchPages::writeCatalogue(work.filePath(QStringLiteral("catalogue")), total);
    TestShop shop;
    if (!shop.isListening()) {
        std::fprintf(stderr, "%s\n", qPrintable(shop.errorString()));
        return 1;
    }
    shop.addCatalogue(work.filePath(QStringLiteral("catalogue")));
    const QDir folder(work.filePath(QStringLiteral("dl")));
    folder.mkpath(QStringLiteral("."));
    const QString journal = work.filePath(QStringLiteral("data/zorv/journal.jsonl"));
    fillJournal(journal, settings.journalMegabytes);
    std::printf("journal before the watch: %.1f MB\n",
                double(QFileInfo(journal).size()) / (1024 * 1024));

    Watcher watcher;
    startWatcher(watcher, work, shop.proxyUrl(), settings.settle);
    QElapsedTimer clock;
    clock.start();
    // Idle: started and looked through its folder, then left alone.
    QThread::sleep(2);
    const double cpuBefore = cpuSeconds(watcher.process.processId());
    QThread::sleep(static_cast<unsigned long>(settings.idle));
    const double cpuIdle = cpuSeconds(watcher.process.processId()) - cpuBefore;
    std::printf("idle %d s: CPU %.3f s (goal <= %.3f s)\n", settings.idle, cpuIdle,
                0.1 * settings.idle / 60);
    if (!measureDelays(watcher, clock, folder, settings) ||
        !measureBurst(watcher, clock, folder, settings, pageMs))
        return 1;

    watcher.process.terminate();
    watcher.process.waitForFinished();
    std::printf("files renamed: %d of %d; watcher exit code %d\n", watcher.done, total,
                watcher.process.exitCode());
    return watcher.done == total && watcher.process.exitCode() == 0 ? 0 : 1;
}
