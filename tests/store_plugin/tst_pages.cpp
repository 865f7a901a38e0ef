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
// (not trimmed); "\n", "\t" and "\\" stand for a line break, a tab and a
// backslash. Keys:
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

struct Expected
{
    bool result = false;
    QString id;
    QString title;
    QString date;
    QString age;
    QStringList makers;
    QString error;
    QString category;
    bool converted = true;
};

QString pagesDir(const QString &layout)
{
    return TestPaths::dataFile(QStringLiteral("pages/") + layout);
}

bool unescape(const QString &text, QString &value)
{
    value.clear();
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\\')) {
            value.append(text.at(i));
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text.at(i).unicode()) {
        case 'n':
            value.append(QLatin1Char('\n'));
            break;
        case 't':
            value.append(QLatin1Char('\t'));
            break;
        case '\\':
            value.append(QLatin1Char('\\'));
            break;
        default:
            return false;
        }
    }
    return true;
}

// Reads an expected file; problem names what is wrong with it when false.
bool readExpected(const QString &path, Expected &expected, QString &problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot open ") + path;
        return false;
    }
    const QStringList required = {QStringLiteral("result"), QStringLiteral("id"),
                                  QStringLiteral("title"),  QStringLiteral("date"),
                                  QStringLiteral("age"),    QStringLiteral("error")};
    QStringList seen;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int number = 0; number < lines.size(); ++number) {
        QString line = lines.at(number);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(number + 1);
        if (equals < 1) {
            problem = where + QStringLiteral("no key=value");
            return false;
        }
        const QString key = line.left(equals);
        QString value;
        if (!unescape(line.mid(equals + 1), value)) {
            problem = where + QStringLiteral("bad escape");
            return false;
        }
        if (key != QLatin1String("maker") && seen.contains(key)) {
            problem = where + QStringLiteral("repeated key ") + key;
            return false;
        }
        seen.append(key);
        if (key == QLatin1String("result")) {
            if (value != QLatin1String("true") && value != QLatin1String("false")) {
                problem = where + QStringLiteral("result is neither true nor false");
                return false;
            }
            expected.result = value == QLatin1String("true");
        } else if (key == QLatin1String("id")) {
            expected.id = value;
        } else if (key == QLatin1String("title")) {
            expected.title = value;
        } else if (key == QLatin1String("date")) {
            expected.date = value;
        } else if (key == QLatin1String("age")) {
            expected.age = value;
        } else if (key == QLatin1String("maker")) {
            expected.makers.append(value);
        } else if (key == QLatin1String("error")) {
            expected.error = value;
        } else if (key == QLatin1String("category")) {
            expected.category = value;
        } else if (key == QLatin1String("converted")) {
            if (value != QLatin1String("true") && value != QLatin1String("false")) {
                problem = where + QStringLiteral("converted is neither true nor false");
                return false;
            }
            expected.converted = value == QLatin1String("true");
        } else {
            problem = where + QStringLiteral("unknown key ") + key;
            return false;
        }
    }
    for (const QString &key : required) {
        if (!seen.contains(key)) {
            problem = path + QStringLiteral(": missing key ") + key;
            return false;
        }
    }
    return true;
}

QString defaultCategory(const QString &id, const QString &layout)
{
    QString category;
    if (id.startsWith(QLatin1String("RJ")))
        category = QStringLiteral("home");
    else if (id.startsWith(QLatin1String("BJ")))
        category = QStringLiteral("comic");
    else if (id.startsWith(QLatin1String("RE")))
        category = QStringLiteral("eng");
    else if (id.startsWith(QLatin1String("VJ")))
        category = QStringLiteral("soft");
    if (layout == QLatin1String("touch"))
        category += QStringLiteral("-touch");
    return category;
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

// The catalogue itself: every page has its expected outcome and the other
// way round, every file name is an ID the plug-in recognises, and there are
// enough pages, one of them large, for the table below to mean something.
void tst_Pages::catalogue()
{
    Sakuvo plugin;
    qint64 largest = 0;
    for (const QString &layout : layouts) {
        const QDir dir(pagesDir(layout));
        QVERIFY2(dir.exists(), qPrintable(dir.path()));
        const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
        const QStringList expectations = dir.entryList({QStringLiteral("*.expected")}, QDir::Files);
        QVERIFY2(pages.size() >= minimumPagesPerLayout, qPrintable(layout));
        QCOMPARE(expectations.size(), pages.size());
        for (const QString &page : pages) {
            const QString base = QFileInfo(page).completeBaseName();
            QVERIFY2(dir.exists(base + QStringLiteral(".expected")), qPrintable(page));
            QString id;
            QVERIFY2(plugin.findId(page, id), qPrintable(page));
            QCOMPARE(id, base);
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
        const QDir dir(pagesDir(layout));
        const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
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

    Expected expected;
    QString problem;
    QVERIFY2(readExpected(dir.filePath(id + QStringLiteral(".expected")), expected, problem),
             qPrintable(problem));

    QFile file(dir.filePath(id + QStringLiteral(".html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    Sakuvo plugin;
    QTextCodec *codec = QTextCodec::codecForName(plugin.information()->charset.toLatin1());
    QVERIFY(codec);
    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(codec->toUnicode(bytes));
    // A page that fails the repair shows up only as missing-part messages,
    // so say so in the expected file rather than let it pass unnoticed.
    QCOMPARE(!document.documentElement().isNull(), expected.converted);
    QCOMPARE(document.hasChildNodes(), expected.converted);
    QCOMPARE(log.matching(QStringLiteral("{error #")).size(), expected.converted ? 0 : 1);

    const QString category =
        expected.category.isEmpty() ? defaultCategory(id, layout) : expected.category;
    const QUrl url = Sakuvo::productUrl(category, id);
    QVERIFY2(plugin.urls(id).contains(url), qPrintable(url.toString()));

    zorv::WorkInfo work;
    QString error;
    const bool result = plugin.parse(url, document, work, error);

    QCOMPARE(error, expected.error);
    QCOMPARE(result, expected.result);
    QCOMPARE(work.id, expected.id);
    QCOMPARE(work.title, expected.title);
    QCOMPARE(work.date, expected.date);
    QCOMPARE(work.age, expected.age);
    QCOMPARE(work.makers, expected.makers);
}

QTEST_GUILESS_MAIN(tst_Pages)
#include "tst_pages.moc"
