// Runs every page of the fixture catalogue the way the renamer does: the
// page's bytes are decoded with the plug-in's charset, repaired into a DOM
// and handed to the plug-in with a URL of the page's category.
//
// Catalogue layout: tests/data/pages/pc/<ID>.html for PC categories and
// tests/data/pages/touch/<ID>.html for touch categories, each with an
// <ID>.expected beside it. The local test shop serves the same files.
//
// Expected-file format: one "key=value" per line; lines that are empty or
// start with "#" are comments. The value is everything after the first "="
// (not trimmed); "\n" stands for a line break. Keys:
//   result=true|false   what parse returns
//   id= title= date= age=   the fields of the record after parse (left
//                           empty by the plug-in when parse fails)
//   maker=              one line per maker, in order (none for no makers)
//   error=              the exact error text
//   category=           optional; the URL's category segment, else the
//                       first category of the ID's prefix for the layout
//   converted=          optional, true by default; false for a page whose
//                       repaired text does not load as XML (empty DOM)

#include "LogCapture.h"
#include "Sakuvo.h"
#include "TestPaths.h"
#include "utility/XmlUtility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QtTest>

namespace {

const QStringList layouts = {QStringLiteral("pc"), QStringLiteral("touch")};
const int minimumPagesPerLayout = 12;
const qint64 largePageSize = 200 * 1024;

QString pagesDir(const QString &layout)
{
    return TestPaths::dataFile(QStringLiteral("pages/") + layout);
}

// Reads an expected file into its values by key; problem names what is wrong
// with it when false, so that a mistyped key cannot make a check vanish.
bool readExpected(const QString &path, QMap<QString, QStringList> &values, QString &problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot open ") + path;
        return false;
    }
    const QStringList keys = {
        QStringLiteral("result"), QStringLiteral("id"),       QStringLiteral("title"),
        QStringLiteral("date"),   QStringLiteral("age"),      QStringLiteral("error"),
        QStringLiteral("maker"),  QStringLiteral("category"), QStringLiteral("converted")};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString key = line.section(QLatin1Char('='), 0, 0);
        if (!keys.contains(key) || (key != QLatin1String("maker") && values.contains(key))) {
            problem = path + QStringLiteral(": unknown or repeated key in: ") + line;
            return false;
        }
        values[key].append(
            line.mid(key.size() + 1).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    }
    for (const QString &key : keys.mid(0, 6)) {
        if (!values.contains(key)) {
            problem = path + QStringLiteral(": missing key ") + key;
            return false;
        }
    }
    return true;
}

} // namespace

class tst_Pages : public QObject
{
    Q_OBJECT

private slots:
    void catalogue();
    void page_data();
    void page();
};

// The catalogue itself: every expected file has its page, every file name is
// an ID the plug-in recognises, and there are enough pages, one of them
// large, for the table below to mean something.
void tst_Pages::catalogue()
{
    Sakuvo plugin;
    qint64 largest = 0;
    for (const QString &layout : layouts) {
        const QDir dir(pagesDir(layout));
        const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY2(pages.size() >= minimumPagesPerLayout, qPrintable(dir.path()));
        QCOMPARE(dir.entryList({QStringLiteral("*.expected")}, QDir::Files).size(), pages.size());
        for (const QString &page : pages) {
            QString id;
            QVERIFY2(plugin.findId(page, id), qPrintable(page));
            QCOMPARE(id + QStringLiteral(".html"), page);
            largest = qMax(largest, QFileInfo(dir.filePath(page)).size());
        }
    }
    QVERIFY2(largest >= largePageSize, "no page of 200 KB or more");
}

void tst_Pages::page_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("id");
    for (const QString &layout : layouts) {
        const QStringList pages =
            QDir(pagesDir(layout)).entryList({QStringLiteral("*.html")}, QDir::Files);
        for (const QString &page : pages) {
            const QString id = QFileInfo(page).completeBaseName();
            QTest::newRow(qPrintable(layout + QLatin1Char('/') + id)) << layout << id;
        }
    }
}

void tst_Pages::page()
{
    QFETCH(QString, layout);
    QFETCH(QString, id);
    const QDir dir(pagesDir(layout));

    QMap<QString, QStringList> expected;
    QString problem;
    QVERIFY2(readExpected(dir.filePath(id + QStringLiteral(".expected")), expected, problem),
             qPrintable(problem));
    const auto value = [&expected](const char *key) {
        return expected.value(QString::fromLatin1(key)).value(0);
    };

    QFile file(dir.filePath(id + QStringLiteral(".html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    Sakuvo plugin;
    QTextCodec *codec = QTextCodec::codecForName(plugin.information()->charset.toLatin1());
    QVERIFY(codec);
    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(codec->toUnicode(file.readAll()));
    // A page that fails the repair shows up only as missing-part messages,
    // so say so in the expected file rather than let it pass unnoticed.
    const bool converted = value("converted") != QLatin1String("false");
    QCOMPARE(document.hasChildNodes(), converted);
    QCOMPARE(log.matching(QStringLiteral("{error #")).size(), converted ? 0 : 1);

    // The page's category, else the first one of its layout the plug-in proposes.
    const QList<QUrl> urls = plugin.urls(id);
    QUrl url;
    if (expected.contains(QStringLiteral("category")))
        url = Sakuvo::productUrl(value("category"), id);
    for (int i = 0; url.isEmpty() && i < urls.size(); ++i) {
        if (urls.at(i).path().contains(QLatin1String("-touch/")) ==
            (layout == QLatin1String("touch")))
            url = urls.at(i);
    }
    QVERIFY2(urls.contains(url), qPrintable(url.toString()));

    zorv::WorkInfo work;
    QString error;
    const bool result = plugin.parse(url, document, work, error);
    QCOMPARE(error, value("error"));
    QVERIFY(value("result") == QLatin1String("true") || value("result") == QLatin1String("false"));
    QCOMPARE(result, value("result") == QLatin1String("true"));
    QCOMPARE(work.id, value("id"));
    QCOMPARE(work.title, value("title"));
    QCOMPARE(work.date, value("date"));
    QCOMPARE(work.age, value("age"));
    QCOMPARE(work.makers, expected.value(QStringLiteral("maker")));
}

QTEST_GUILESS_MAIN(tst_Pages)
#include "tst_pages.moc"
