// Cost of the page repair through the repair helper (a process of its own,
// reused from page to page as the renamer reuses it) against the in-process
// repair it replaced, on every page of the fixture catalogue. Per page, the
// median of the rounds for each; the added cost is their difference. Prints
// the median and the worst page's added cost (the goal: at most 2 ms median),
// and the whole path of the largest page (repair, check and load, parse) both
// ways, with what the check before the DOM adds to the DOM's own load.
//
// Usage: bench_pipeline [rounds]  (default 30)
// The two take turns within every round, so that load from elsewhere on the
// machine falls on both alike.

#include "HtmlRepair.h"
#include "Sakuvo.h"
#include "TestPaths.h"
#include "renamer/RepairProcess.h"
#include "utility/XmlUtility.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>

using zorv::HtmlRepair;
using zorv::RepairProcess;
using zorv::XmlUtility;

namespace {

// The repair's diagnostics are logged for every page; printing them would
// measure the terminal.
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Page
{
    QString path;
    QByteArray utf8; // decoded with the plug-in's charset, as the renamer hands it over
    QUrl url;        // the first the plug-in proposes for the page's layout
};

QVector<Page> fixturePages(const Sakuvo &plugin, QTextCodec *codec)
{
    QVector<Page> pages;
    for (const QString &layout : {QStringLiteral("pc"), QStringLiteral("touch")}) {
        const QDir dir(TestPaths::dataFile(QStringLiteral("pages/") + layout));
        for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.html")}, QDir::Files)) {
            QFile file(info.filePath());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QList<QUrl> urls = plugin.urls(info.completeBaseName());
            const QUrl url = urls.value(layout == QLatin1String("touch") ? urls.size() / 2 : 0);
            pages.append({info.filePath(), codec->toUnicode(file.readAll()).toUtf8(), url});
        }
    }
    return pages;
}

double msOf(const std::function<void()> &job)
{
    QElapsedTimer timer;
    timer.start();
    job();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// Median milliseconds of each job over the rounds, the jobs taking turns.
QVector<double> medians(int rounds, const QVector<std::function<void()>> &jobs)
{
    QVector<QVector<double>> times(jobs.size());
    for (const auto &job : jobs)
        job(); // warm-up
    for (int round = 0; round < rounds; ++round) {
        for (int j = 0; j < jobs.size(); ++j)
            times[j].append(msOf(jobs.at(j)));
    }
    QVector<double> result;
    for (const QVector<double> &jobTimes : times)
        result.append(median(jobTimes));
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 30;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: bench_pipeline [rounds]\n");
        return 2;
    }
    const Sakuvo plugin;
    QTextCodec *codec = QTextCodec::codecForName(plugin.information()->charset.toLatin1());
    const QVector<Page> pages = codec ? fixturePages(plugin, codec) : QVector<Page>();
    if (pages.isEmpty()) {
        std::fprintf(stderr, "no fixture page found\n");
        return 1;
    }
    qInstallMessageHandler(quiet);
    RepairProcess helper(TestPaths::repairHelper());
    const auto throughHelper = [&](const QByteArray &html) {
        return helper.repair(html, QDeadlineTimer(60000)).xml;
    };

    QVector<double> added;
    const Page *largest = &pages.first();
    for (const Page &page : pages) {
        if (throughHelper(page.utf8) != HtmlRepair::toXml(page.utf8).xml) {
            std::fprintf(stderr, "the helper's XML differs: %s\n", qPrintable(page.path));
            return 1;
        }
        const QVector<double> times = medians(
            rounds, {[&] { HtmlRepair::toXml(page.utf8); }, [&] { throughHelper(page.utf8); }});
        added.append(times.at(1) - times.at(0));
        if (page.utf8.size() > largest->utf8.size())
            largest = &page;
    }
    const auto wholePath = [&](const QByteArray &xml) {
        QDomDocument document;
        XmlUtility::loadRepairedPage(xml, &document);
        zorv::WorkInfo work;
        QString error;
        return plugin.parse(largest->url, document, work, error);
    };
    if (!wholePath(throughHelper(largest->utf8))) {
        std::fprintf(stderr, "the largest page does not parse\n");
        return 1;
    }
    const QByteArray xml = throughHelper(largest->utf8);
    const QVector<double> whole =
        medians(rounds, {[&] { wholePath(HtmlRepair::toXml(largest->utf8).xml); },
                         [&] { wholePath(throughHelper(largest->utf8)); },
                         [&] {
                             QDomDocument document;
                             XmlUtility::loadRepairedPage(xml, &document);
                         },
                         [&] { QDomDocument().setContent(xml); }});

    std::printf("%d fixture pages, median of %d rounds each, ms per page\n", pages.size(), rounds);
    std::printf("added by the helper: median %.3f, worst %.3f\n", median(added),
                *std::max_element(added.begin(), added.end()));
    std::printf("largest page %s (%d bytes), repair + check + load + parse:\n",
                qPrintable(QFileInfo(largest->path).fileName()), largest->utf8.size());
    std::printf("  in process %.3f, through the helper %.3f, added %.3f\n", whole.at(0),
                whole.at(1), whole.at(1) - whole.at(0));
    std::printf("  of which checked load %.3f, the DOM's own load %.3f\n", whole.at(2),
                whole.at(3));
    return 0;
}
