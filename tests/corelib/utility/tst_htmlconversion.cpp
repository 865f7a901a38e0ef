// The repair of shop pages into XML. Real messy pages (scripts holding "<"
// and "&&", bare ampersands, comments) are read through the page catalogue.
#include "utility/XmlUtility.h"

#include <QtTest>

using zorv::XmlUtility;

class tst_HtmlConversion : public QObject
{
    Q_OBJECT

private slots:
    // A line longer than the default wrap column keeps its blanks: a wrapped
    // title would lose them once line breaks are dropped from the name.
    void longLineNotWrapped()
    {
        const QString title =
            QStringLiteral("折り返されてはならない長い一文, never wrapped. ").repeated(8).trimmed();
        const QDomDocument document =
            XmlUtility::htmlToXml("<!doctype html>\n<html><body><h1>" + title + "</h1></body>");
        QCOMPARE(document.elementsByTagName("h1").item(0).toElement().text(), title);
    }

    // "]]>" in a script (a nested index) ends its CDATA section early, so the output is not
    // well-formed: the DOM stage gives an empty document, not the part before the error.
    void rejectedXml()
    {
        const QString html =
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n<html><head><title>作品"
            "</title>\n<script>if (rows[order[0]]>1) { show(); }</script></head><body><h1>作品</h1>"
            "</body></html>\n";
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
        QTest::newRow("end tags that close nothing")
            << QString("<div>x</span>").repeated(600) << true;
        QTest::newRow("void elements, unclosed items and cells, tags in a script and a comment")
            << QString("<p><li><td><tr><br><img src=a><script><i></script><!--<i>-->")
                   .repeated(30000)
            << false;
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

ZORV_TEST_GUILESS_MAIN(tst_HtmlConversion)
#include "tst_htmlconversion.moc"
