#include "utility/XmlUtility.h"

#include <QtTest>

using zorv::XmlUtility;

static const QString xhtml =
    QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                   "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n");
static const QString longSentence = // past the default wrap column
    QStringLiteral("折り返されてはならない長い一文, never wrapped. ").repeated(8).trimmed();

class tst_HtmlConversion : public QObject
{
    Q_OBJECT

private slots:
    void messyPage_data()
    {
        QTest::addColumn<QString>("doctype");
        QTest::newRow("HTML5") << QStringLiteral("<!doctype html>\n");
        QTest::newRow("XHTML, scripts wrapped in CDATA") << xhtml;
    }

    // A script holding "<" and "&&", unclosed tags, bare ampersands, "&nbsp;", a backslash
    // path, a comment with "--", a long line: each repair shows, and no line is wrapped.
    void messyPage()
    {
        QFETCH(QString, doctype);
        const QString html =
            doctype +
            "<html><head><title>作品 | Sakuvo</title>\n"
            "<script>if (a < b && b > c) { document.write(\"<p>\"); }</script></head>\n"
            "<body><!-- header -- navigation -->\n"
            "<ul><li><a href=\"/home/\">ホーム&nbsp;トップ</a><li><a>コミック</a></ul>\n"
            "<p><img src=\"\\images\\main.png\" alt=\"画像\"><br>\n"
            "<a href=\"/fsr/?a=1&b=2\">検索 & 一覧</a>\n<p>" +
            longSentence + "\n<table><tr><td>セル1<td>セル2</table></body></html>\n";
        QVERIFY(XmlUtility::htmlToXmlString(html).contains(longSentence));
        const QDomDocument document = XmlUtility::htmlToXml(html);
        const auto all = [&](const char *tag) { return document.elementsByTagName(tag); };
        // The script's text survives as text, not as markup.
        QCOMPARE(QList<int>({all("li").count(), all("td").count(), all("p").count()}),
                 QList<int>({2, 2, 2}));
        const auto a = [&](int i) { return all("a").item(i).toElement(); };
        QCOMPARE(QStringList({a(0).text(), a(2).attribute("href"), a(2).text(),
                              all("img").item(0).toElement().attribute("src")}),
                 QStringList(
                     {"ホーム\u00a0トップ", "/fsr/?a=1&b=2", "検索 & 一覧", "/images/main.png"}));
        QVERIFY(all("script").item(0).toElement().text().contains("a < b && b > c"));
    }

    // "]]>" in a script (a nested index) ends its CDATA section early, so the output is not
    // well-formed: the DOM stage gives an empty document, not the part before the error.
    void rejectedXml()
    {
        const QString html = xhtml +
                             "<html><head><title>作品</title>\n<script>if (rows[order[0]]>1) "
                             "{ show(); }</script></head><body><h1>作品</h1></body></html>\n";
        QVERIFY(!QDomDocument().setContent(XmlUtility::htmlToXmlString(html)));
        QVERIFY(!XmlUtility::htmlToXml(html).hasChildNodes());
    }

    void nesting_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("tooDeep");
        const int limit = XmlUtility::MaxNestingDepth;
        QTest::newRow("at the limit") << QString("<div>").repeated(limit) << false;
        QTest::newRow("one past the limit") << QString("<div class=a>").repeated(limit + 1) << true;
        QTest::newRow("closed again") << QString("<div>x</div>").repeated(30000) << false;
        QTest::newRow("void elements, unclosed items and cells")
            << QString("<p><li><td><tr><br><img src=a>").repeated(30000) << false;
        QTest::newRow("tags in a script and a comment")
            << QString("<script>%1</script><!--%1-->").arg(QString("<i>").repeated(30000)) << false;
    }

    // A page nested deeper than real pages are is refused before the repair,
    // whose recursion would overflow the stack.
    void nesting()
    {
        QFETCH(QString, html);
        QFETCH(bool, tooDeep);
        QCOMPARE(XmlUtility::nestedTooDeeply(html), tooDeep);
        QCOMPARE(XmlUtility::htmlToXmlString(html + "x").isEmpty(), tooDeep);
    }
};

QTEST_GUILESS_MAIN(tst_HtmlConversion)
#include "tst_htmlconversion.moc"
