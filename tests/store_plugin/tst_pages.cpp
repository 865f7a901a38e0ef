// Every page of the fixture catalogue read the way the renamer reads it:
// decoded with the plug-in's charset, repaired into a DOM and parsed with the
// first URL the plug-in proposes for the page's layout (pc or touch), or the
// one of the category its expected file names. The expected file holds what
// comes out, "key=value" a line in the order below ("\n" for a line break);
// "#" starts a comment. The local test shop serves the same pages.
#include "Sakuvo.h"
#include "TestPaths.h"
#include "utility/XmlUtility.h"

#include <QTextCodec>
#include <QtTest>

class tst_Pages : public QObject
{
    Q_OBJECT

private slots:
    void page_data()
    {
        QTest::addColumn<QString>("page"); // its path without extension
        for (const char *layout : {"pc", "touch"}) {
            const QDir dir(TestPaths::dataFile(QStringLiteral("pages/") + layout));
            const QStringList files = dir.entryList({QStringLiteral("*.expected")});
            // Every page has its expected file, and there are pages at all.
            QVERIFY(files.size() >= 12 && files.size() == dir.entryList({"*.html"}).size());
            for (const QString &file : files) {
                const QString id = file.section(QLatin1Char('.'), 0, 0);
                QTest::addRow("%s/%s", layout, qPrintable(id)) << dir.filePath(id);
            }
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
        QUrl url;
        if (expected.value(0).startsWith(QLatin1String("category=")))
            url = Sakuvo::productUrl(expected.takeFirst().section(QLatin1Char('='), 1), id);
        for (const QUrl &proposed : plugin.urls(id)) {
            if (url.isEmpty() &&
                proposed.path().contains(QLatin1String("-touch/")) == page.contains("/touch/"))
                url = proposed;
        }
        QVERIFY2(plugin.urls(id).contains(url), qPrintable(url.toString()));

        const QTextCodec *codec =
            QTextCodec::codecForName(plugin.information()->charset.toLatin1());
        QVERIFY(codec);
        const QDomDocument document = zorv::XmlUtility::htmlToXml(codec->toUnicode(html.readAll()));
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

QTEST_GUILESS_MAIN(tst_Pages)
#include "tst_pages.moc"
