// Time of the page pipeline on the largest page of the fixture catalogue:
//   (a) the Tidy repair alone (htmlToXmlString),
//   (b) loading its output into a DOM alone (QDomDocument::setContent),
//   (c) the whole path: decode with the plug-in's charset, htmlToXml, parse.
// The pipeline should cost little beyond its two libraries: the goal is a
// ratio c/(a+b) of at most 1.15.
//
// Usage: bench_pipeline [batches] [repetitions per batch]  (default 9 x 10)
// Each figure is the best batch mean, which is the least disturbed by other
// work on the machine.

#include "Sakuvo.h"
#include "TestPaths.h"
#include "utility/XmlUtility.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QVector>

#include <cstdio>
#include <functional>
#include <limits>

namespace {

// Tidy's diagnostics are logged on every run; printing them would measure
// the terminal.
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Page
{
    QString path;
    QString category;
};

Page largestPage()
{
    Page largest;
    qint64 size = -1;
    const QStringList layouts = {QStringLiteral("pc"), QStringLiteral("touch")};
    for (const QString &layout : layouts) {
        const QDir dir(TestPaths::dataFile(QStringLiteral("pages/") + layout));
        const QFileInfoList pages = dir.entryInfoList({QStringLiteral("*.html")}, QDir::Files);
        for (const QFileInfo &page : pages) {
            if (page.size() <= size)
                continue;
            size = page.size();
            largest.path = page.filePath();
            largest.category = layout;
        }
    }
    return largest;
}

// Milliseconds per run of each job: the best batch mean. The jobs take
// turns within every batch, so that load from elsewhere on the machine falls
// on all of them alike rather than on whichever happened to run then.
QVector<double> measure(int batches, int repetitions, const QVector<std::function<void()>> &jobs)
{
    QVector<double> best(jobs.size(), std::numeric_limits<double>::max());
    for (const auto &job : jobs)
        job(); // warm-up
    for (int batch = 0; batch < batches; ++batch) {
        for (int j = 0; j < jobs.size(); ++j) {
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < repetitions; ++i)
                jobs.at(j)();
            best[j] = qMin(best.at(j), double(timer.nsecsElapsed()) / 1e6 / repetitions);
        }
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int batches = arguments.size() > 1 ? arguments.at(1).toInt() : 9;
    const int repetitions = arguments.size() > 2 ? arguments.at(2).toInt() : 10;
    if (batches < 1 || repetitions < 1) {
        std::fprintf(stderr, "usage: bench_pipeline [batches] [repetitions]\n");
        return 2;
    }

    const Page page = largestPage();
    QFile file(page.path);
    if (page.path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no fixture page found\n");
        return 1;
    }
    const QByteArray bytes = file.readAll();

    const Sakuvo plugin;
    QTextCodec *codec = QTextCodec::codecForName(plugin.information()->charset.toLatin1());
    if (!codec) {
        std::fprintf(stderr, "unknown charset\n");
        return 1;
    }
    const QString id = QFileInfo(page.path).completeBaseName();
    // The first URL the plug-in proposes for the page's layout.
    QUrl url;
    const QList<QUrl> urls = plugin.urls(id);
    for (const QUrl &candidate : urls) {
        const bool touch = candidate.path().contains(QStringLiteral("-touch/"));
        if (touch == (page.category == QLatin1String("touch"))) {
            url = candidate;
            break;
        }
    }
    const QString html = codec->toUnicode(bytes);
    qInstallMessageHandler(quiet);
    const QString xml = zorv::XmlUtility::htmlToXmlString(html);

    // Check once that the path really reads the page.
    {
        zorv::WorkInfo work;
        QString error;
        if (!plugin.parse(url, zorv::XmlUtility::htmlToXml(html), work, error)) {
            std::fprintf(stderr, "the page does not parse: %s\n", qPrintable(error));
            return 1;
        }
    }

    QDomDocument loaded;
    loaded.setContent(xml);
    const QVector<std::function<void()>> jobs = {
        // (a)
        [&] {
            const QString result = zorv::XmlUtility::htmlToXmlString(html);
            Q_UNUSED(result)
        },
        // (b)
        [&] {
            QDomDocument document;
            QString message;
            int line = 0;
            int column = 0;
            document.setContent(xml, false, &message, &line, &column);
        },
        // (c)
        [&] {
            const QDomDocument document = zorv::XmlUtility::htmlToXml(codec->toUnicode(bytes));
            zorv::WorkInfo work;
            QString error;
            plugin.parse(url, document, work, error);
        },
        // Parts of (c) beyond the two libraries, for finding out where time goes.
        [&] {
            const QString text = codec->toUnicode(bytes);
            Q_UNUSED(text)
        },
        [&] {
            zorv::WorkInfo work;
            QString error;
            plugin.parse(url, loaded, work, error);
        },
    };
    const QVector<double> times = measure(batches, repetitions, jobs);
    const double tidy = times.at(0);
    const double dom = times.at(1);
    const double whole = times.at(2);
    const double decode = times.at(3);
    const double parse = times.at(4);

    std::printf("page: %s (%lld bytes, %s)\n", qPrintable(QFileInfo(page.path).fileName()),
                static_cast<long long>(bytes.size()), qPrintable(url.toString()));
    std::printf("best of %d batches x %d runs, ms per page\n", batches, repetitions);
    std::printf("(a) tidy htmlToXmlString: %.3f\n", tidy);
    std::printf("(b) QDomDocument::setContent: %.3f\n", dom);
    std::printf("(c) decode + htmlToXml + parse: %.3f\n", whole);
    std::printf("    of which decode: %.3f, parse: %.3f\n", decode, parse);
    std::printf("ratio c/(a+b): %.2f\n", whole / (tidy + dom));
    return 0;
}
