// The page parsers' rules on small hand-made DOM documents, for what the
// fixture catalogue cannot show: the record and the error text as the parser
// leaves them (the plug-in discards a failed record and starts from an empty
// error), markup that the repair would not keep (empty spans), the
// first-child rules, and the date patterns on single link texts.

#include "ParserForPc.h"
#include "ParserForTouch.h"

#include <QtTest>

namespace {

const QString noTitle = QStringLiteral("'タイトルがみつかりませんでした'");
const QString noDate = QStringLiteral("'日付がみつかりませんでした'");

QString element(const char *open, const QString &inner, const char *close)
{
    return QString::fromUtf8(open) + inner + QString::fromUtf8(close);
}
QString page(const QString &titles, const QString &body)
{
    return QStringLiteral("<html><head>") + titles + QStringLiteral("</head><body>") + body +
           QStringLiteral("</body></html>");
}
QString title(const QString &text)
{
    return element("<title>", text, "</title>");
}

// PC markup; each piece takes the inner markup of its element.
QString pcTitle(const QString &text = QStringLiteral("作品"))
{
    return element("<h1 id=\"work_name\">", text, "</h1>");
}
QString pcMakers(const QString &cell = QStringLiteral("<a>作者</a>"))
{
    return element("<table id=\"work_maker\"><tr><th>サークル名</th><td>", cell,
                   "</td></tr></table>");
}
QString pcOutline(const QString &cell = QStringLiteral("<a>2014年1月5日</a>"))
{
    return element("<table id=\"work_outline\"><tr><td>", cell, "</td></tr></table>");
}
QString pcSpec(const QString &inner = QStringLiteral("<dd>RJ123456</dd>"))
{
    return element("<dl class=\"work_spec_list\">", inner, "</dl>");
}

// Touch markup; touchRest holds makers, a date and an ID that read as found.
const QString touchRest =
    QStringLiteral("<dl id=\"maker_name\"><dd><a>作者</a></dd></dl>"
                   "<section id=\"work_outline\"><a>2014年1月5日</a></section>"
                   "<table class=\"work_spec_table\"><tr><td>RJ123456</td></tr></table>");

QString touchTitle(const QString &heading = QStringLiteral("<span itemprop=\"name\">作品</span>"))
{
    return element("<section id=\"work_header\"><h1>", heading, "</h1></section>");
}
QString touchOutline(const QString &inner = QStringLiteral("<a>2014年1月5日</a>"))
{
    return element("<section id=\"work_outline\">", inner, "</section>");
}

} // namespace

class tst_Parsers : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void date_data();
    void date();
};

void tst_Parsers::parse_data()
{
    QTest::addColumn<bool>("touch");
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("priorError");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("fields"); // title|date|id|age, then |maker for each maker
    QTest::addColumn<QString>("error");

    const QString pcPage = pcTitle() + pcMakers() + pcOutline() + pcSpec();
    const QString prior = QStringLiteral("'前の失敗'");

    // Shared page-title pass; the touch parser runs the same code.
    QTest::newRow("error title: appended, ends at once, keeps an earlier marker")
        << false << page(title(QStringLiteral("成人向け")) + title(QStringLiteral("Error")), pcPage)
        << prior << false << QStringLiteral("|||R-18") << prior + QStringLiteral("Error");
    QTest::newRow("a later title without marker keeps the rating")
        << false
        << page(title(QStringLiteral("成人向け作品")) + title(QStringLiteral("作品")), pcPage)
        << QString() << true << QStringLiteral("作品|2014-1-5|RJ123456|R-18|作者") << QString();
    QTest::newRow("found parts stay; messages appended in order; marker outside title ignored")
        << false
        << page(title(QStringLiteral("作品")),
                QStringLiteral("<p>成人向け</p>") + pcMakers() + pcSpec())
        << prior << false << QStringLiteral("||RJ123456|全年齢|作者") << prior + noTitle + noDate;

    // PC first-child rules: the first qualifying heading; a link's first
    // "span" child even after another child, nothing for a link without one;
    // an empty link is an empty maker, which counts; a "dd" nested deeper is
    // no child of the list.
    QTest::newRow("pc: first heading, span children, empty link, child dd only")
        << false
        << page({}, pcTitle() + pcTitle(QStringLiteral("二つ目")) +
                        pcMakers(QStringLiteral("<a><b>x</b><span>甲</span></a><a><b>乙</b></a>"
                                                "<a><span><span>丙</span></span></a><a></a>")) +
                        pcOutline() + pcSpec(QStringLiteral("<div><dd>RJ000000</dd></div>")) +
                        pcSpec())
        << QString() << true << QStringLiteral("作品|2014-1-5|RJ123456|全年齢|甲|丙|") << QString();

    // Touch title: the section's first "h1" child, and that heading's first
    // "span" child must carry the name; an empty name span counts.
    QTest::newRow("touch: empty name span counts")
        << true
        << page({}, touchTitle(QStringLiteral("<span itemprop=\"name\"></span>")) + touchRest)
        << QString() << true << QStringLiteral("|2014-1-5|RJ123456|全年齢|作者") << QString();
    QTest::newRow("touch: only child elements qualify; first h1, first span")
        << true
        << page({}, element("<section id=\"work_header\"><div>",
                            QStringLiteral("<h1><span itemprop=\"name\">深い</span></h1>"),
                            "</div></section>") +
                        touchTitle(QStringLiteral("<a><span itemprop=\"name\">深い</span></a>")) +
                        touchTitle(QStringLiteral("<span itemprop=\"headline\">a</span>"
                                                  "<span itemprop=\"name\">b</span>")) +
                        element("<section id=\"work_header\">",
                                QStringLiteral("<h1><span itemprop=\"name\">作品</span></h1>"
                                               "<h1><span itemprop=\"name\">二つ目</span></h1>"),
                                "</section>") +
                        touchRest)
        << QString() << true << QStringLiteral("作品|2014-1-5|RJ123456|全年齢|作者") << QString();
    QTest::newRow("touch: a link holding only an image is an empty maker, which counts")
        << true
        << page({}, touchTitle() + QString(touchRest).replace(QStringLiteral("<a>作者</a>"),
                                                              QStringLiteral("<a><img/></a>")))
        << QString() << true << QStringLiteral("作品|2014-1-5|RJ123456|全年齢|") << QString();
}

void tst_Parsers::parse()
{
    QFETCH(bool, touch);
    QFETCH(QString, xml);
    QFETCH(QString, priorError);
    QFETCH(bool, result);
    QFETCH(QString, fields);
    QFETCH(QString, error);

    QDomDocument document;
    QString message;
    QVERIFY2(document.setContent(xml, false, &message), qPrintable(message));
    const ParserForPc pc;
    const ParserForTouch touchParser;
    const ParserInterface &parser = touch ? static_cast<const ParserInterface &>(touchParser) : pc;
    zorv::WorkInfo work;
    QString actualError = priorError;
    QCOMPARE(parser.parse(document, work, actualError), result);
    QCOMPARE(actualError, error);
    QCOMPARE((QStringList{work.title, work.date, work.id, work.age} + work.makers)
                 .join(QLatin1Char('|')),
             fields);
}

// The date rule on single link texts, through both parsers.
void tst_Parsers::date_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("date"); // empty: no date found

    QTest::newRow("Japanese, padding kept")
        << QStringLiteral("2014年01月05日") << QStringLiteral("2014-01-05");
    QTest::newRow("Japanese without range check")
        << QStringLiteral("2014年13月40日") << QStringLiteral("2014-13-40");
    QTest::newRow("only the three characters") << QStringLiteral("年月日") << QStringLiteral("--");
    // Without Unicode properties \d means ASCII digits only.
    QTest::newRow("full-width digits are no digits")
        << QStringLiteral("２０１４年１月５日") << QString();
    QTest::newRow("year and month only") << QStringLiteral("2014年1月") << QString();
    QTest::newRow("greedy month takes the longest lead")
        << QStringLiteral("12/24/2013 and 1/2/3") << QStringLiteral("3-12/24/2013 and 1-2");
    QTest::newRow("a line break ends the month")
        << QStringLiteral("発売日\n01/05/2014") << QStringLiteral("2014-01-05");
    QTest::newRow("two bare slashes") << QStringLiteral("//") << QStringLiteral("--");
    QTest::newRow("letters between slashes") << QStringLiteral("a/b/c") << QString();
}

void tst_Parsers::date()
{
    QFETCH(QString, text);
    QFETCH(QString, date);

    const QString links =
        QStringLiteral("<a>x</a><a>") + text.toHtmlEscaped() + QStringLiteral("</a>");
    const ParserForPc pc;
    const ParserForTouch touch;
    const QList<QPair<const ParserInterface *, QString>> runs = {
        {&pc, page({}, pcOutline(links))}, {&touch, page({}, touchOutline(links))}};
    for (const auto &run : runs) {
        QDomDocument document;
        QVERIFY(document.setContent(run.second));
        zorv::WorkInfo work;
        QString error;
        QVERIFY(!run.first->parse(document, work, error));
        QCOMPARE(work.date, date);
        QCOMPARE(error.contains(noDate), date.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_Parsers)
#include "tst_parsers.moc"
