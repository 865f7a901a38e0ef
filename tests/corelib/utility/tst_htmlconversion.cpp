// Repairing shop pages into XML with Tidy and loading them as a DOM.

#include "LogCapture.h"
#include "utility/XmlUtility.h"

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// A paragraph far longer than Tidy's default wrap column.
const QString longSentence = QStringLiteral(
    "この段落は折り返されてはならない長い一文で、Tidy の既定の折り返し幅である六十八桁を"
    "大きく超える長さを持っています。 It goes on in English as well, with plenty of words "
    "that would normally be wrapped onto the next line by the library's pretty printer.");

// A page with a DOCTYPE, a script holding "<" and "&&", unclosed tags, bare
// ampersands, a no-break space, a backslash path, a comment with doubled
// hyphens and a long line.
QString messyHtml(const QString &doctype)
{
    return doctype +
           QStringLiteral(
               "\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>作品 | Sakuvo</title>\n"
               "<script>if (a < b && b > c) { document.write(\"<p>\"); }</script>\n</head>\n"
               "<body>\n<!-- header -- navigation -->\n"
               "<ul><li><a href=\"/home/\">ホーム&nbsp;トップ</a><li><a href=\"/comic/\">コミック</a></ul>\n"
               "<p><img src=\"\\images\\work\\main.png\" alt=\"画像\"><br>\n"
               "<a href=\"/fsr/?a=1&b=2\">検索 & 一覧</a>\n<p>") +
           longSentence +
           QStringLiteral("\n<table><tr><td>セル1<td>セル2</table>\n</body>\n</html>\n");
}

QDomElement first(const QDomDocument &document, const QString &tag)
{
    return document.elementsByTagName(tag).item(0).toElement();
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
    QTest::addColumn<QString>("doctype");
    QTest::newRow("HTML5") << QStringLiteral("<!doctype html>");
    // With an XHTML DOCTYPE the library wraps scripts in CDATA sections.
    QTest::newRow("XHTML") << QStringLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
}

// An XML declaration, no DOCTYPE, no wrapped lines, one warning line for what
// was repaired, and a document in which each repair shows.
void tst_HtmlConversion::messyPage()
{
    QFETCH(QString, doctype);
    const QString html = messyHtml(doctype);

    LogCapture log;
    const QString xml = zorv::XmlUtility::htmlToXmlString(html);
    QVERIFY(xml.startsWith(QStringLiteral("<?xml ")));
    QVERIFY(!xml.contains(QStringLiteral("<!DOCTYPE"), Qt::CaseInsensitive));
    QVERIFY2(xml.contains(longSentence), qPrintable(xml));
    const QRegularExpression warning(QStringLiteral(
        "^static QString zorv::XmlUtility::htmlToXmlString\\(const QString ?&\\) \\{warning :"));
    QCOMPARE(log.lines().filter(warning).size(), 1);

    log.clear();
    const QDomDocument document = zorv::XmlUtility::htmlToXml(html);
    QVERIFY(log.matching(QStringLiteral("{error")).isEmpty());
    QCOMPARE(first(document, QStringLiteral("title")).text(), QStringLiteral("作品 | Sakuvo"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("li")).count(), 2);
    QCOMPARE(first(document, QStringLiteral("a")).text(),
             QString(QStringLiteral("ホーム") + QChar(0x00A0) + QStringLiteral("トップ")));
    QCOMPARE(document.elementsByTagName(QStringLiteral("td")).count(), 2);
    const QDomElement link = document.elementsByTagName(QStringLiteral("a")).item(2).toElement();
    QCOMPARE(link.attribute(QStringLiteral("href")), QStringLiteral("/fsr/?a=1&b=2"));
    QCOMPARE(link.text(), QStringLiteral("検索 & 一覧"));
    QCOMPARE(first(document, QStringLiteral("img")).attribute(QStringLiteral("src")),
             QStringLiteral("/images/work/main.png"));
    // The script's text survives as text, not as markup.
    QCOMPARE(document.elementsByTagName(QStringLiteral("p")).count(), 2);
    QVERIFY(first(document, QStringLiteral("script"))
                .text()
                .contains(QStringLiteral("a < b && b > c")));
}

void tst_HtmlConversion::cleanPageLogsNothing()
{
    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>整った頁</title>\n</head>\n<body>\n<p>本文です。</p>\n</body>\n</html>\n"));
    QVERIFY2(log.lines().isEmpty(), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QCOMPARE(first(document, QStringLiteral("p")).text(), QStringLiteral("本文です。"));
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
    QString message;
    int line = 0;
    int column = 0;
    QVERIFY(!QDomDocument().setContent(zorv::XmlUtility::htmlToXmlString(html), false, &message,
                                       &line, &column));
    QVERIFY(line > 0 && column > 0);

    LogCapture log;
    const QDomDocument document = zorv::XmlUtility::htmlToXml(html);
    const QStringList errors = log.matching(QStringLiteral("{error"));
    QCOMPARE(errors.size(), 1);
    const QRegularExpression expected(
        QStringLiteral("^static QDomDocument zorv::XmlUtility::htmlToXml\\(const QString ?&\\) "
                       "\\{error #%1\\(%2:%3\\)$")
            .arg(QRegularExpression::escape(message), QString::number(line),
                 QString::number(column)));
    QVERIFY2(expected.match(errors.first()).hasMatch(), qPrintable(errors.first()));
    QVERIFY(!document.hasChildNodes());
}

// Each call has its own Tidy document: conversions on several threads at
// once give what one conversion alone gives.
void tst_HtmlConversion::severalThreads()
{
    const QString html = messyHtml(QStringLiteral("<!DOCTYPE html>"));
    const QString expected = zorv::XmlUtility::htmlToXmlString(html);
    QVERIFY(!expected.isEmpty());
    std::vector<QStringList> results(4);
    std::vector<std::unique_ptr<QThread>> threads;
    for (QStringList &result : results) {
        threads.emplace_back(QThread::create([&html, &result] {
            for (int round = 0; round < 20; ++round)
                result.append(zorv::XmlUtility::htmlToXmlString(html));
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        QVERIFY(thread->wait(120000));
    for (const QStringList &result : results)
        QCOMPARE(result.count(expected), 20);
}

QTEST_GUILESS_MAIN(tst_HtmlConversion)
#include "tst_htmlconversion.moc"
