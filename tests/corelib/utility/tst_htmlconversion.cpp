// Repairing shop pages into XML with Tidy and loading them as a DOM.

#include "LogCapture.h"
#include "utility/XmlUtility.h"

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const QString warningLine = QStringLiteral(
    "^static QString zorv::XmlUtility::htmlToXmlString\\(const QString ?&\\) \\{warning :");
const QString domErrorLine =
    QStringLiteral("^static QDomDocument zorv::XmlUtility::htmlToXml\\(const QString ?&\\) "
                   "\\{error #(.+)\\((\\d+):(\\d+)\\)$");

// A paragraph far longer than Tidy's default wrap column.
const QString longSentence = QStringLiteral(
    "この段落は折り返されてはならない長い一文で、Tidy の既定の折り返し幅である六十八桁を"
    "大きく超える長さを持っています。 It goes on in English as well, with plenty of words "
    "that would normally be wrapped onto the next line by the library's pretty printer, "
    "and ends only here.");

QString messyBody()
{
    return QStringLiteral(
               "<body>\n<!-- header -- navigation -->\n"
               "<ul class=\"nav\"><li><a href=\"/home/\">ホーム</a><li><a href=\"/comic/\">コミック"
               "</a></ul>\n"
               "<div id=\"main\"><h1 id=\"work_name\">作品&nbsp;名</h1>\n"
               "<p><img src=\"\\images\\work\\main.png\" alt=\"画像\"><br>\n"
               "<a id=\"search\" href=\"/fsr/?a=1&b=2\">検索 & 一覧</a>\n"
               "<p>") +
           longSentence +
           QStringLiteral("\n<table><tr><td>セル1<td>セル2</table>\n</div>\n</body>\n</html>\n");
}

QString messyHead(const QString &doctype)
{
    return doctype +
           QStringLiteral("\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>作品 | Sakuvo</title>\n"
                          "<style>p > a { color: red; }</style>\n"
                          "<script>if (a < b && b > c) { document.write(\"<p>\"); }</script>\n"
                          "</head>\n");
}

QDomElement findById(const QDomDocument &document, const QString &tag, const QString &id)
{
    const QDomNodeList nodes = document.elementsByTagName(tag);
    for (int i = 0; i < nodes.count(); ++i) {
        const QDomElement element = nodes.item(i).toElement();
        if (element.attribute(QStringLiteral("id")) == id)
            return element;
    }
    return QDomElement();
}

} // namespace

class tst_HtmlConversion : public QObject
{
    Q_OBJECT

private slots:
    void messyPage_data();
    void messyPage();
    void cleanPageLogsNothing();
    void rejectedXml();
    void severalThreads();
};

void tst_HtmlConversion::messyPage_data()
{
    QTest::addColumn<QString>("html");

    QTest::newRow("HTML5 doctype") << messyHead(QStringLiteral("<!DOCTYPE html>")) + messyBody();
    QTest::newRow("HTML 4.01 doctype")
        << messyHead(
               QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 "
                              "Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">")) +
               messyBody();
    QTest::newRow("XHTML doctype")
        << messyHead(
               QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">")) +
               messyBody();
    QTest::newRow("lower-case doctype")
        << messyHead(QStringLiteral("<!doctype html>")) + messyBody();
}

// A page with a DOCTYPE, unclosed tags, bare ampersands, a backslash path, a
// comment with doubled hyphens and a long line becomes XML text with an XML
// declaration, without a DOCTYPE and without wrapped lines, and loads into a
// non-empty document.
void tst_HtmlConversion::messyPage()
{
    QFETCH(QString, html);

    LogCapture log;
    const QString xml = zorv::XmlUtility::htmlToXmlString(html);
    QVERIFY(xml.startsWith(QStringLiteral("<?xml ")));
    QVERIFY(!xml.contains(QStringLiteral("<!DOCTYPE"), Qt::CaseInsensitive));
    QVERIFY2(xml.contains(longSentence), qPrintable(xml));
    // The library reported what it repaired, once.
    QCOMPARE(log.lines().filter(QRegularExpression(warningLine)).size(), 1);
    QVERIFY(log.matching(QStringLiteral("{error")).isEmpty());

    log.clear();
    const QDomDocument document = zorv::XmlUtility::htmlToXml(html);
    QVERIFY(log.matching(QStringLiteral("{error")).isEmpty());
    QCOMPARE(document.documentElement().tagName(), QStringLiteral("html"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("title")).item(0).toElement().text(),
             QStringLiteral("作品 | Sakuvo"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("li")).count(), 2);
    QCOMPARE(document.elementsByTagName(QStringLiteral("td")).count(), 2);
    const QDomElement link = findById(document, QStringLiteral("a"), QStringLiteral("search"));
    QCOMPARE(link.attribute(QStringLiteral("href")), QStringLiteral("/fsr/?a=1&b=2"));
    QCOMPARE(link.text(), QStringLiteral("検索 & 一覧"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("img"))
                 .item(0)
                 .toElement()
                 .attribute(QStringLiteral("src")),
             QStringLiteral("/images/work/main.png"));
    // The script's text survives as text, not as markup.
    QCOMPARE(document.elementsByTagName(QStringLiteral("p")).count(), 2);
    QVERIFY(document.elementsByTagName(QStringLiteral("script"))
                .item(0)
                .toElement()
                .text()
                .contains(QStringLiteral("a < b && b > c")));
}

void tst_HtmlConversion::cleanPageLogsNothing()
{
    const QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>整った頁</title>\n</head>\n<body>\n<p>本文です。</p>\n</body>\n</html>\n");
    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(html);
    QVERIFY2(log.lines().isEmpty(), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QCOMPARE(document.elementsByTagName(QStringLiteral("p")).item(0).toElement().text(),
             QStringLiteral("本文です。"));
}

// An XHTML page whose script holds "]]>" (an ordinary nested index): the
// library wraps the script in a CDATA section that this text ends early, so
// its output is not well-formed. The DOM stage logs one error line with the
// parser's message and position and returns an empty document.
void tst_HtmlConversion::rejectedXml()
{
    const QString html = QStringLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
        "<html><head><title>作品</title>\n"
        "<script type=\"text/javascript\">if (rows[order[0]]>1) { show(); }</script>\n"
        "</head><body><h1 id=\"work_name\">作品</h1></body></html>\n");

    const QString xml = zorv::XmlUtility::htmlToXmlString(html);
    QVERIFY(!xml.isEmpty());
    QDomDocument reference;
    QString message;
    int line = 0;
    int column = 0;
    QVERIFY(!reference.setContent(xml, false, &message, &line, &column));

    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(html);
    const QStringList errors = log.matching(QStringLiteral("{error"));
    QCOMPARE(errors.size(), 1);
    const QRegularExpressionMatch match = QRegularExpression(domErrorLine).match(errors.first());
    QVERIFY2(match.hasMatch(), qPrintable(errors.first()));
    QCOMPARE(match.captured(1), message);
    QCOMPARE(match.captured(2).toInt(), line);
    QCOMPARE(match.captured(3).toInt(), column);
    QVERIFY(line > 0);
    QVERIFY(column > 0);
    QVERIFY(document.documentElement().isNull());
    QVERIFY(!document.hasChildNodes());
}

// Each call has its own Tidy document: conversions on several threads at
// once give what one conversion alone gives.
void tst_HtmlConversion::severalThreads()
{
    const QString html = messyHead(QStringLiteral("<!DOCTYPE html>")) + messyBody();
    const QString expected = zorv::XmlUtility::htmlToXmlString(html);
    QVERIFY(!expected.isEmpty());

    const int threadCount = 4;
    const int rounds = 20;
    std::vector<QString> results(threadCount);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back(QThread::create([&html, &results, t, rounds] {
            QString first;
            bool same = true;
            for (int round = 0; round < rounds; ++round) {
                const QString xml = zorv::XmlUtility::htmlToXmlString(html);
                if (round == 0)
                    first = xml;
                else if (xml != first)
                    same = false;
            }
            results[t] = same ? first : QString();
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        QVERIFY(thread->wait(120000));
    for (const QString &result : results)
        QCOMPARE(result, expected);
}

QTEST_GUILESS_MAIN(tst_HtmlConversion)
#include "tst_htmlconversion.moc"
