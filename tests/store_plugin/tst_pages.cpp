// Every page of the fixture catalogue (which the local test shop serves too),
// read as the renamer reads it: decoded with the plug-in's charset, repaired
// into a DOM, parsed with the first URL of the page's layout (pc or touch) or
// of the category its expected file names. The expected file holds what comes
// out, "key=value" a line in the order below ("\n": a line break; "#": a note).
#include "Sakuvo.h"
#include "TestPaths.h"
#include "renamer/RepairProcess.h"
#include "utility/XmlUtility.h"

#include <QTextCodec>
#include <QtTest>

class tst_Pages : public QObject
{
    Q_OBJECT

    zorv::RepairProcess repair{TestPaths::repairHelper()};

private slots:
    void page_data()
    {
        QTest::addColumn<QString>("page"); // its path without extension
        for (const char *layout : {"pc", "touch"}) {
            const QDir dir(TestPaths::dataFile(QStringLiteral("pages/") + layout));
            const QStringList files = dir.entryList({QStringLiteral("*.expected")});
            // Every page has its expected file, and there are pages at all.
            QVERIFY(files.size() >= 12 && files.size() == dir.entryList({"*.html"}).size());
            for (const QString &file : files)
                QTest::addRow("%s/%s", layout, qPrintable(file.chopped(9)))
                    << dir.filePath(file.chopped(9));
        }
    }

    void page()
    {
        QFETCH(QString, page);
        QFile expectedFile(page + QStringLiteral(".expected"));
        QFile html(page + QStringLiteral(".html"));
        QVERIFY(expectedFile.open(QIODevice::ReadOnly) && html.open(QIODevice::ReadOnly));
        QStringList expected;
        for (const QString &line : QString::fromUtf8(expectedFile.readAll()).split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#'))
                expected.append(line);
        }
        const Sakuvo plugin;
        const QString id = QFileInfo(page).fileName();
        const QList<QUrl> urls = plugin.urls(id);
        // The plug-in proposes the PC pages first, then as many touch pages.
        QUrl url = urls.value(page.contains("/touch/") ? urls.size() / 2 : 0);
        if (expected.value(0).startsWith(QLatin1String("category=")))
            url = Sakuvo::productUrl(expected.takeFirst().section('=', 1), id);

        const QString text = QTextCodec::codecForName(plugin.information()->charset.toLatin1())
                                 ->toUnicode(html.readAll());
        QDomDocument document;
        zorv::XmlUtility::loadRepairedPage(repair.repair(text.toUtf8(), QDeadlineTimer(60000)).xml,
                                           &document);
        zorv::WorkInfo work;
        QString error;
        const bool result = plugin.parse(url, document, work, error);
        const auto line = [](const char *key, QString value) {
            return QLatin1String(key) + '=' + value.replace('\n', QLatin1String("\\n"));
        };
        QStringList actual = {line("result", result ? "true" : "false"), line("id", work.id),
                              line("title", work.title), line("date", work.date),
                              line("age", work.age)};
        if (!document.hasChildNodes()) // a page the repair could not turn into XML
            actual.prepend(line("converted", "false"));
        for (const QString &maker : qAsConst(work.makers))
            actual.append(line("maker", maker));
        actual.append(line("error", error));
        QCOMPARE(actual, expected);
    }
};

ZORV_TEST_GUILESS_MAIN(tst_Pages)
#include "tst_pages.moc"
