// Renames files against the local test shop and prints how close the worker
// comes to its floor (one 100 ms pause per page plus the page's own work),
// and how the process's resident memory grows with the number of files.
//
//   build/benchmarks/bench_renamer [--files 200] [--parts 1] [--memory-files 2000]
//                                  [--new-files 500]
//
// With --parts n every timed product comes as n files (RJ....part1.rar, ...),
// as multi-part sets do; it prints how many pages the shop was asked for.
// The runs keep their pages in a page cache of their own; then a new renamer
// runs over the timed files again (now renamed) and over --new-files files
// of products the cache does not hold, and a renamer without a cache over as
// many others; it prints their requests and times.
//
// It needs python3 for the shop (tests/shop.py).

#include "BenchPages.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"
#include "renamer/PageCache.h"
#include "renamer/Renamer.h"
#include "renamer/RepairProcess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <malloc.h>

using namespace zorv;
using BenchPages::idOf;

namespace {

// Resident memory; with trimmed set, after the allocator has handed its
// free pages back, so that the figure shows what is still in use.
long residentKiB(bool trimmed = false)
{
    if (trimmed)
        malloc_trim(0);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Feeds files to a running renamer and waits for all of them.
class Batch : public QObject
{
    Q_OBJECT
public:
    int done = 0;
    int failed = 0;

public slots:
    void onFinished(EntryPtr entry, RequestPtr)
    {
        if (entry->status() == Entry::Done)
            ++done;
        else if (entry->status() == Entry::Error)
            ++failed;
    }
};

QList<QFileInfo> makeFiles(const QString &dir, int from, int to, int parts = 1)
{
    QList<QFileInfo> files;
    for (int i = from; i < to; ++i) {
        for (int part = 1; part <= parts; ++part) {
            const QString name = parts == 1
                                     ? idOf(i) + QStringLiteral(".zip")
                                     : QStringLiteral("%1.part%2.rar").arg(idOf(i)).arg(part);
            QFile file(QDir(dir).filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write("payload");
            files.append(QFileInfo(file.fileName()));
        }
    }
    return files;
}

bool waitFor(const Batch &batch, int count)
{
    QElapsedTimer timer;
    timer.start();
    while (batch.done + batch.failed < count) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (timer.elapsed() > 30 * 60 * 1000)
            return false;
    }
    return true;
}

// A renamer on a thread of its own with the page cache (none for an empty
// path), fed from this thread.
struct Worker
{
    explicit Worker(const QString &cachePath)
    {
        if (!cachePath.isEmpty())
            renamer->setPageCache(QSharedPointer<PageCache>::create(cachePath));
        QObject::connect(renamer, SIGNAL(finished(EntryPtr, RequestPtr)), &batch,
                         SLOT(onFinished(EntryPtr, RequestPtr)));
        QObject::connect(&thread, SIGNAL(started()), renamer, SLOT(doWork()));
        renamer->moveToThread(&thread);
        thread.start();
    }
    ~Worker()
    {
        renamer->abort();
        thread.quit();
        thread.wait();
        delete renamer;
    }
    // The wall time of these files in ms; -1 when they do not all finish.
    double run(const QList<QFileInfo> &files)
    {
        QElapsedTimer wall;
        wall.start();
        renamer->add(files);
        const bool finished = waitFor(batch, batch.done + batch.failed + files.size());
        return finished ? double(wall.nsecsElapsed()) / 1e6 : -1;
    }

    QSharedPointer<Option> option = Option::createDefault();
    Renamer *renamer = new Renamer(option);
    QThread thread;
    Batch batch;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renamer throughput and memory benchmark"));
    parser.addHelpOption();
    QCommandLineOption filesOption(QStringLiteral("files"), QStringLiteral("Files timed."),
                                   QStringLiteral("n"), QStringLiteral("200"));
    QCommandLineOption memoryOption(QStringLiteral("memory-files"),
                                    QStringLiteral("Files in all for the memory figure."),
                                    QStringLiteral("n"), QStringLiteral("2000"));
    QCommandLineOption partsOption(QStringLiteral("parts"),
                                   QStringLiteral("Files of each timed product."),
                                   QStringLiteral("n"), QStringLiteral("1"));
    QCommandLineOption newOption(QStringLiteral("new-files"),
                                 QStringLiteral("Files of products not in the cache, timed last."),
                                 QStringLiteral("n"), QStringLiteral("500"));
    parser.addOption(filesOption);
    parser.addOption(partsOption);
    parser.addOption(memoryOption);
    parser.addOption(newOption);
    parser.process(app);
    const int files = parser.value(filesOption).toInt();
    const int memoryFiles = qMax(files, parser.value(memoryOption).toInt());
    const int parts = qMax(1, parser.value(partsOption).toInt());
    const int timedFiles = files * parts;
    const int allFiles = timedFiles + memoryFiles - files;
    const int newFiles = qMax(0, parser.value(newOption).toInt());

    Entry::registerMetaTypes();
    PluginManager plugins;
    if (!plugins.load(TestPaths::pluginBuildDir())) {
        std::fprintf(stderr, "no plug-in in %s\n", qPrintable(TestPaths::pluginBuildDir()));
        return 1;
    }
    // The shop runs as a process of its own, so the resident memory below is
    // the renamer's alone.
    QTemporaryDir catalogue;
    BenchPages::writeCatalogue(catalogue.path(), memoryFiles + 2 * newFiles);
    TestShop shop;
    if (!shop.isListening()) {
        std::fprintf(stderr, "%s\n", qPrintable(shop.errorString()));
        return 1;
    }
    shop.addCatalogue(catalogue.path());
    qputenv("http_proxy", shop.proxyUrl().toLatin1());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    RepairProcess::setHelperProgram(TestPaths::repairHelper());

    PluginInterface *plugin = plugins.plugins().first();
    const double pageMs = BenchPages::pipelineMs(plugin);

    QTemporaryDir dir;
    QTemporaryDir cacheDir;
    const QString cachePath = QDir(cacheDir.path()).filePath(QStringLiteral("pages.sqlite"));
    QScopedPointer<Worker> first(new Worker(cachePath));
    const double wallMs = first->run(makeFiles(dir.path(), 0, files, parts));
    if (wallMs < 0)
        return 1;
    const int pageRequests = shop.requests().size();
    const long rssFirst = residentKiB();
    const long liveFirst = residentKiB(true);
    // The timed files under their new names, for the second run.
    const QList<QFileInfo> renamed = QDir(dir.path()).entryInfoList(QDir::Files);

    if (first->run(makeFiles(dir.path(), files, memoryFiles)) < 0)
        return 1;
    const long rssAll = residentKiB();
    const long liveAll = residentKiB(true);
    const int done = first->batch.done;
    const int failed = first->batch.failed;
    first.reset();

    // A new renamer, as a second zorv run: only the cache on disk is shared.
    Worker second(cachePath);
    shop.clearRequests();
    const double againMs = second.run(renamed);
    const int againRequests = shop.requests().size();
    shop.clearRequests();
    const double newMs = second.run(makeFiles(dir.path(), memoryFiles, memoryFiles + newFiles));
    const int newRequests = shop.requests().size();
    Worker uncached{QString()};
    shop.clearRequests();
    const double uncachedMs =
        uncached.run(makeFiles(dir.path(), memoryFiles + newFiles, memoryFiles + 2 * newFiles));
    const int uncachedRequests = shop.requests().size();
    if (againMs < 0 || newMs < 0 || uncachedMs < 0)
        return 1;

    const double floorMs = pageRequests * (100.0 + pageMs);
    const double newFloorMs = newRequests * (100.0 + pageMs);
    std::printf("files renamed: %d done, %d failed\n",
                done + second.batch.done + uncached.batch.done,
                failed + second.batch.failed + uncached.batch.failed);
    std::printf("per-page pipeline: %.2f ms\n", pageMs);
    std::printf("page requests for %d files (%d products x %d parts): %d\n", timedFiles, files,
                parts, pageRequests);
    std::printf("wall for %d files: %.0f ms\n", timedFiles, wallMs);
    std::printf("floor %d requests x (100 ms + %.2f ms): %.0f ms\n", pageRequests, pageMs, floorMs);
    std::printf("ratio wall/floor: %.2f\n", wallMs / floorMs);
    std::printf("resident memory after %d files: %ld KiB\n", timedFiles, rssFirst);
    std::printf("resident memory after %d files: %ld KiB\n", allFiles, rssAll);
    std::printf("ratio memory %d/%d: %.2f\n", allFiles, timedFiles, double(rssAll) / rssFirst);
    std::printf("after returning free pages: %ld KiB and %ld KiB, ratio %.2f\n", liveFirst, liveAll,
                double(liveAll) / liveFirst);
    std::printf("second run over the same %d files, renamed, new renamer, warm cache:\n",
                renamed.size());
    std::printf("  page requests: %d\n", againRequests);
    std::printf("  wall: %.0f ms, fraction of the first run's: %.3f\n", againMs, againMs / wallMs);
    std::printf("%d new files, cache warm with %d other products:\n", newFiles, memoryFiles);
    std::printf("  page requests: %d\n", newRequests);
    std::printf("  wall: %.0f ms, floor %d x (100 ms + %.2f ms): %.0f ms, ratio wall/floor: %.3f\n",
                newMs, newRequests, pageMs, newFloorMs, newMs / newFloorMs);
    const double uncachedFloorMs = uncachedRequests * (100.0 + pageMs);
    std::printf("%d other new files without a page cache:\n", newFiles);
    std::printf("  page requests: %d\n", uncachedRequests);
    std::printf("  wall: %.0f ms, floor %.0f ms, ratio wall/floor: %.3f\n", uncachedMs,
                uncachedFloorMs, uncachedMs / uncachedFloorMs);
    return failed + second.batch.failed + uncached.batch.failed == 0 ? 0 : 1;
}

#include "bench_renamer.moc"
