// The page parsers' rules on small hand-made DOM documents, for the cases
// that a repaired page cannot carry (the repair drops empty spans, for one)
// or that are clearer on their own than inside a whole page.

#include "ParserForPc.h"
#include "ParserForTouch.h"

#include <QtTest>

namespace {

const QString noTitle = QStringLiteral("'タイトルがみつかりませんでした'");
const QString noId = QStringLiteral("'IDがみつかりませんでした'");
const QString noDate = QStringLiteral("'日付がみつかりませんでした'");
const QString noMaker = QStringLiteral("'作者がみつかりませんでした'");
const QString allAges = QStringLiteral("全年齢");
const QString adult = QStringLiteral("R-18");

QString page(const QString &titles, const QString &body)
{
    return QStringLiteral("<html><head>") + titles + QStringLiteral("</head><body>") + body +
           QStringLiteral("</body></html>");
}

QString titleElement(const QString &text)
{
    return QStringLiteral("<title>") + text + QStringLiteral("</title>");
}

// PC markup pieces; each takes the inner markup of its element.
QString pcTitle(const QString &text = QStringLiteral("作品"))
{
    return QStringLiteral("<h1 id=\"work_name\">") + text + QStringLiteral("</h1>");
}
QString pcMakers(const QString &cell = QStringLiteral("<a href=\"/m\">作者</a>"))
{
    return QStringLiteral("<table id=\"work_maker\"><tr><th>サークル名</th><td>") + cell +
           QStringLiteral("</td></tr></table>");
}
QString pcOutline(const QString &cell = QStringLiteral("<a href=\"/d\">2014年1月5日</a>"))
{
    return QStringLiteral("<table id=\"work_outline\"><tr><th>販売日</th><td>") + cell +
           QStringLiteral("</td></tr></table>");
}
QString pcSpec(const QString &inner = QStringLiteral("<dt>作品番号</dt><dd>RJ123456</dd>"))
{
    return QStringLiteral("<dl class=\"work_spec_list\">") + inner + QStringLiteral("</dl>");
}

// Touch markup pieces.
QString touchTitle(const QString &heading = QStringLiteral("<span itemprop=\"name\">作品</span>"))
{
    return QStringLiteral("<section id=\"work_header\"><h1>") + heading +
           QStringLiteral("</h1></section>");
}
QString touchMakers(const QString &inner = QStringLiteral("<dd><a href=\"/m\">作者</a></dd>"))
{
    return QStringLiteral("<dl id=\"maker_name\"><dt>サークル</dt>") + inner +
           QStringLiteral("</dl>");
}
QString
touchOutline(const QString &inner = QStringLiteral("<p><a href=\"/d\">2014年1月5日</a></p>"))
{
    return QStringLiteral("<section id=\"work_outline\">") + inner + QStringLiteral("</section>");
}
QString
touchSpec(const QString &rows = QStringLiteral("<tr><th>作品番号</th><td>RJ123456</td></tr>"))
{
    return QStringLiteral("<table class=\"work_spec_table\">") + rows + QStringLiteral("</table>");
}

void addColumns()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("priorError");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("makers");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("error");
}

void check(const ParserInterface &parser)
{
    QFETCH(QString, xml);
    QFETCH(QString, priorError);
    QFETCH(bool, result);
    QFETCH(QString, title);
    QFETCH(QStringList, makers);
    QFETCH(QString, date);
    QFETCH(QString, id);
    QFETCH(QString, age);
    QFETCH(QString, error);

    QDomDocument document;
    if (!xml.isEmpty()) {
        QString message;
        QVERIFY2(document.setContent(xml, false, &message), qPrintable(message));
    }
    zorv::WorkInfo work;
    QString actualError = priorError;
    QCOMPARE(parser.parse(document, work, actualError), result);
    QCOMPARE(actualError, error);
    // What a pass found stays in the record even when the page fails.
    QCOMPARE(work.title, title);
    QCOMPARE(work.makers, makers);
    QCOMPARE(work.date, date);
    QCOMPARE(work.id, id);
    QCOMPARE(work.age, age);
}

} // namespace

class tst_Parsers : public QObject
{
    Q_OBJECT

private slots:
    void pc_data();
    void pc();
    void touch_data();
    void touch();
    void date_data();
    void date();
};

void tst_Parsers::pc_data()
{
    addColumns();
    const QString complete = pcTitle() + pcMakers() + pcOutline() + pcSpec();
    const QStringList maker = {QStringLiteral("作者")};
    const QString date = QStringLiteral("2014-1-5");
    const QString id = QStringLiteral("RJ123456");
    const QString title = QStringLiteral("作品");

    QTest::newRow("complete page")
        << page(titleElement(QStringLiteral("作品 | Sakuvo")), complete) << QString() << true
        << title << maker << date << id << allAges << QString();
    QTest::newRow("empty document: all four messages in order")
        << QString() << QString() << false << QString() << QStringList() << QString() << QString()
        << allAges << noTitle + noId + noDate + noMaker;
    QTest::newRow("messages are appended to what error held")
        << page(QString(), pcMakers() + pcOutline() + pcSpec()) << QStringLiteral("'前の失敗'")
        << false << QString() << maker << date << id << allAges
        << QStringLiteral("'前の失敗'") + noTitle;
    QTest::newRow("title and date missing: title message first")
        << page(QString(), pcMakers() + pcSpec()) << QString() << false << QString() << maker
        << QString() << id << allAges << noTitle + noDate;
    QTest::newRow("ID and maker missing: ID message first")
        << page(QString(), pcTitle() + pcOutline()) << QString() << false << title << QStringList()
        << date << QString() << allAges << noId + noMaker;

    // Page titles: error pages and adult markers.
    QTest::newRow("error title beats a complete page")
        << page(titleElement(QStringLiteral("Error")), complete) << QString() << false << QString()
        << QStringList() << QString() << QString() << allAges << QStringLiteral("Error");
    QTest::newRow("Japanese error title is appended to what error held")
        << page(titleElement(QStringLiteral("エラー: 該当作品がありません")), complete)
        << QStringLiteral("x") << false << QString() << QStringList() << QString() << QString()
        << allAges << QStringLiteral("xエラー: 該当作品がありません");
    QTest::newRow("error title only when equal")
        << page(titleElement(QStringLiteral("Error ")), complete) << QString() << true << title
        << maker << date << id << allAges << QString();
    QTest::newRow("error title after a marker title keeps the rating")
        << page(titleElement(QStringLiteral("成人向け")) + titleElement(QStringLiteral("Error")),
                complete)
        << QString() << false << QString() << QStringList() << QString() << QString() << adult
        << QStringLiteral("Error");
    QTest::newRow("marker in a later title element")
        << page(titleElement(QStringLiteral("作品")) +
                    titleElement(QStringLiteral("x for adults x")),
                complete)
        << QString() << true << title << maker << date << id << adult << QString();
    QTest::newRow("a later title without marker keeps the rating")
        << page(titleElement(QStringLiteral("成人向け作品")) + titleElement(QStringLiteral("作品")),
                complete)
        << QString() << true << title << maker << date << id << adult << QString();
    QTest::newRow("marker search is case-sensitive")
        << page(titleElement(QStringLiteral("For Adults")), complete) << QString() << true << title
        << maker << date << id << allAges << QString();
    QTest::newRow("marker outside a title element does not count")
        << page(QString(), QStringLiteral("<p>成人向け</p>") + complete) << QString() << true
        << title << maker << date << id << allAges << QString();

    // Title.
    QTest::newRow("empty heading counts as found")
        << page(QString(), pcTitle(QString()) + pcMakers() + pcOutline() + pcSpec()) << QString()
        << true << QString() << maker << date << id << allAges << QString();
    QTest::newRow("first qualifying heading, text untrimmed, child text included")
        << page(QString(), QStringLiteral("<h1>サイト名</h1>") +
                               pcTitle(QStringLiteral("<a href=\"/w\">作品</a> 完全版 ")) +
                               pcTitle(QStringLiteral("二つ目")) + pcMakers() + pcOutline() +
                               pcSpec())
        << QString() << true << QStringLiteral("作品 完全版 ") << maker << date << id << allAges
        << QString();
    QTest::newRow("heading id must match whole and in case")
        << page(QString(), QStringLiteral("<h1 id=\"Work_name\">a</h1><h1 id=\"work_name2\">b</h1>"
                                          "<h2 id=\"work_name\">c</h2>") +
                               pcMakers() + pcOutline() + pcSpec())
        << QString() << false << QString() << maker << date << id << allAges << noTitle;

    // Makers.
    QTest::newRow("link kinds: plain, span child, span not first, other child, mixed")
        << page(QString(), pcTitle() +
                               pcMakers(QStringLiteral(
                                   "<a>甲</a><a><span>乙</span></a><a><b>x</b><span>丙</span></a>"
                                   "<a><img src=\"i\"/></a><a>前置き<span>丁</span></a>"
                                   "<span><a>戊</a></span>")) +
                               pcOutline() + pcSpec())
        << QString() << true << title
        << QStringList{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                       QStringLiteral("丁"), QStringLiteral("戊")}
        << date << id << allAges << QString();
    QTest::newRow("only the first cell of the table")
        << page(QString(),
                pcTitle() +
                    QStringLiteral("<table id=\"work_maker\"><tr><th>a</th><td><a>甲</a></td>"
                                   "<td><a>乙</a></td></tr><tr><th>b</th><td><a>丙</a></td></tr>"
                                   "</table>") +
                    pcOutline() + pcSpec())
        << QString() << true << title << QStringList{QStringLiteral("甲")} << date << id << allAges
        << QString();
    QTest::newRow("table without cells is skipped")
        << page(QString(),
                pcTitle() + QStringLiteral("<table id=\"work_maker\"><tr><th>a</th></tr></table>") +
                    pcMakers() + pcOutline() + pcSpec())
        << QString() << true << title << maker << date << id << allAges << QString();
    QTest::newRow("first table with cells ends the pass without a maker")
        << page(QString(), pcTitle() + pcMakers(QStringLiteral("<a><b>x</b></a>")) + pcMakers() +
                               pcOutline() + pcSpec())
        << QString() << false << title << QStringList() << date << id << allAges << noMaker;
    QTest::newRow("an empty link adds an empty maker, which counts")
        << page(QString(), pcTitle() + pcMakers(QStringLiteral("<a href=\"/m\"></a>")) +
                               pcOutline() + pcSpec())
        << QString() << true << title << QStringList{QString()} << date << id << allAges
        << QString();

    // ID.
    QTest::newRow("list without a dd child is skipped, nested dd is no child")
        << page(QString(), pcTitle() + pcMakers() + pcOutline() +
                               pcSpec(QStringLiteral("<dt>a</dt>")) +
                               pcSpec(QStringLiteral("<div><dd>RJ000000</dd></div>")) +
                               pcSpec(QStringLiteral("<dd> RJ123456 </dd><dd>RJ999999</dd>")))
        << QString() << true << title << maker << date << QStringLiteral(" RJ123456 ") << allAges
        << QString();
    QTest::newRow("class must match whole")
        << page(QString(), pcTitle() + pcMakers() + pcOutline() +
                               QStringLiteral("<dl class=\"work_spec_list x\"><dd>RJ1</dd></dl>"))
        << QString() << false << title << maker << date << QString() << allAges << noId;

    // Date links: only below the outline table.
    QTest::newRow("date link outside the outline table is not read")
        << page(QString(),
                pcTitle() + pcMakers() + QStringLiteral("<p><a>2014年1月5日</a></p>") +
                    QStringLiteral("<div id=\"work_outline\"><a>2014年1月5日</a></div>") +
                    pcOutline(QStringLiteral("2014年1月5日")) + pcSpec())
        << QString() << false << title << maker << QString() << id << allAges << noDate;
    QTest::newRow("first dated link of the first table that has one")
        << page(QString(),
                pcTitle() + pcMakers() +
                    pcOutline(QStringLiteral("<a>シリーズ</a><a>2014年春</a>")) +
                    pcOutline(QStringLiteral(
                        "<div><span><a>2013年12月20日</a></span></div><a>01/02/2003</a>")) +
                    pcSpec())
        << QString() << true << title << maker << QStringLiteral("2013-12-20") << id << allAges
        << QString();
}

void tst_Parsers::pc()
{
    const ParserForPc parser;
    check(parser);
}

void tst_Parsers::touch_data()
{
    addColumns();
    const QString complete = touchTitle() + touchMakers() + touchOutline() + touchSpec();
    const QStringList maker = {QStringLiteral("作者")};
    const QString date = QStringLiteral("2014-1-5");
    const QString id = QStringLiteral("RJ123456");
    const QString title = QStringLiteral("作品");

    QTest::newRow("complete page")
        << page(titleElement(QStringLiteral("作品 | 成人向け")), complete) << QString() << true
        << title << maker << date << id << adult << QString();
    QTest::newRow("empty document: all four messages in order")
        << QString() << QString() << false << QString() << QStringList() << QString() << QString()
        << allAges << noTitle + noId + noDate + noMaker;
    QTest::newRow("error page")
        << page(titleElement(QStringLiteral("エラー: 該当作品がありません")), complete) << QString()
        << false << QString() << QStringList() << QString() << QString() << allAges
        << QStringLiteral("エラー: 該当作品がありません");
    QTest::newRow("PC markup is not read")
        << page(QString(), pcTitle() + pcMakers() + pcOutline() + pcSpec()) << QString() << false
        << QString() << QStringList() << QString() << QString() << allAges
        << noTitle + noId + noDate + noMaker;

    // Title.
    QTest::newRow("empty name span counts as found")
        << page(QString(), touchTitle(QStringLiteral("<span itemprop=\"name\"></span>")) +
                               touchMakers() + touchOutline() + touchSpec())
        << QString() << true << QString() << maker << date << id << allAges << QString();
    QTest::newRow("whole heading text, first h1 and first span found by name")
        << page(QString(),
                QStringLiteral("<section id=\"work_header\"><p>シリーズ</p><h1><a>▲</a>"
                               "<span itemprop=\"name\">作品</span> 体験版</h1><h1><span "
                               "itemprop=\"name\">二つ目</span></h1></section>") +
                    touchMakers() + touchOutline() + touchSpec())
        << QString() << true << QStringLiteral("▲作品 体験版") << maker << date << id << allAges
        << QString();
    QTest::newRow("non-qualifying sections are skipped")
        << page(QString(),
                QStringLiteral("<section id=\"work_header\"><div><h1><span itemprop=\"name\">深い"
                               "</span></h1></div></section>") +
                    touchTitle(QStringLiteral("見出しのみ")) +
                    touchTitle(QStringLiteral("<a><span itemprop=\"name\">深い</span></a>")) +
                    touchTitle(QStringLiteral("<span itemprop=\"headline\">a</span>"
                                              "<span itemprop=\"name\">b</span>")) +
                    touchTitle(QStringLiteral("<span itemprop=\"name\">後の</span>")) +
                    touchMakers() + touchOutline() + touchSpec())
        << QString() << true << QStringLiteral("後の") << maker << date << id << allAges
        << QString();
    QTest::newRow("no qualifying section")
        << page(QString(), touchTitle(QStringLiteral("<span itemprop=\"Name\">a</span>")) +
                               QStringLiteral("<div id=\"work_header\"><h1><span itemprop=\"name\">"
                                              "b</span></h1></div>") +
                               touchMakers() + touchOutline() + touchSpec())
        << QString() << false << QString() << maker << date << id << allAges << noTitle;

    // Makers.
    QTest::newRow("link kinds: plain, any first child element")
        << page(QString(),
                touchTitle() +
                    touchMakers(QStringLiteral(
                        "<dd><a>甲</a><a><b>乙</b></a><a><span>丙</span><span>x</span></a>"
                        "<a>前置き<em>丁</em></a></dd>")) +
                    touchOutline() + touchSpec())
        << QString() << true << title
        << QStringList{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                       QStringLiteral("丁")}
        << date << id << allAges << QString();
    QTest::newRow("image-only link adds an empty maker, which counts")
        << page(QString(), touchTitle() +
                               touchMakers(QStringLiteral("<dd><a><img src=\"i\"/></a></dd>")) +
                               touchOutline() + touchSpec())
        << QString() << true << title << QStringList{QString()} << date << id << allAges
        << QString();
    QTest::newRow("lists without links are passed; the first with links ends the pass")
        << page(QString(), touchTitle() + touchMakers(QStringLiteral("<dd>不明</dd>")) +
                               touchMakers() + touchMakers(QStringLiteral("<dd><a>後</a></dd>")) +
                               touchOutline() + touchSpec())
        << QString() << true << title << maker << date << id << allAges << QString();
    QTest::newRow("no list with links")
        << page(QString(), touchTitle() + touchMakers(QStringLiteral("<dd>不明</dd>")) +
                               QStringLiteral("<dl class=\"maker_name\"><dd><a>x</a></dd></dl>") +
                               touchOutline() + touchSpec())
        << QString() << false << title << QStringList() << date << id << allAges << noMaker;

    // Date links: only below the outline section.
    QTest::newRow("outline table is not read")
        << page(QString(), touchTitle() + touchMakers() + pcOutline() +
                               touchOutline(QStringLiteral("<p>2014年1月5日</p>")) + touchSpec())
        << QString() << false << title << maker << QString() << id << allAges << noDate;

    // ID.
    QTest::newRow("table without cells is skipped; first descendant cell")
        << page(QString(), touchTitle() + touchMakers() + touchOutline() +
                               touchSpec(QStringLiteral("<tr><th>作品番号</th></tr>")) +
                               touchSpec(QStringLiteral("<tr><th>a</th><td><span>RJ123456</span>"
                                                        "</td><td>x</td></tr>")))
        << QString() << true << title << maker << date << id << allAges << QString();
    QTest::newRow("table class must match whole")
        << page(QString(), touchTitle() + touchMakers() + touchOutline() +
                               QStringLiteral("<table class=\"work_spec_table wide\"><tr><td>RJ1"
                                              "</td></tr></table>"))
        << QString() << false << title << maker << date << QString() << allAges << noId;
}

void tst_Parsers::touch()
{
    const ParserForTouch parser;
    check(parser);
}

// The date rule on single link texts, through both parsers.
void tst_Parsers::date_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("date");

    QTest::newRow("Japanese, unpadded")
        << QStringLiteral("2014年1月5日") << true << QStringLiteral("2014-1-5");
    QTest::newRow("Japanese, padded kept")
        << QStringLiteral("2014年01月05日") << true << QStringLiteral("2014-01-05");
    QTest::newRow("Japanese within words")
        << QStringLiteral("発売日：2013年12月20日（金）") << true << QStringLiteral("2013-12-20");
    QTest::newRow("Japanese without range check")
        << QStringLiteral("2014年13月40日") << true << QStringLiteral("2014-13-40");
    QTest::newRow("only the three characters")
        << QStringLiteral("年月日") << true << QStringLiteral("--");
    // Without Unicode properties \d means ASCII digits only.
    QTest::newRow("full-width digits are no digits")
        << QStringLiteral("２０１４年１月５日") << false << QString();
    QTest::newRow("slash") << QStringLiteral("01/05/2014") << true << QStringLiteral("2014-01-05");
    QTest::newRow("both forms: Japanese wins")
        << QStringLiteral("01/05/2014 2014年1月5日") << true << QStringLiteral("2014-1-5");
    QTest::newRow("words before a slash date go to the month")
        << QStringLiteral("Released 12/24/2013") << true << QStringLiteral("2013-Released 12-24");
    QTest::newRow("greedy month takes the longest lead")
        << QStringLiteral("12/24/2013 and 1/2/3") << true << QStringLiteral("3-12/24/2013 and 1-2");
    QTest::newRow("a line break ends the month")
        << QStringLiteral("発売日\n01/05/2014") << true << QStringLiteral("2014-01-05");
    QTest::newRow("two bare slashes") << QStringLiteral("//") << true << QStringLiteral("--");
    QTest::newRow("one slash") << QStringLiteral("Windows 7/8") << false << QString();
    QTest::newRow("year and month only") << QStringLiteral("2014年1月") << false << QString();
    QTest::newRow("letters between slashes") << QStringLiteral("a/b/c") << false << QString();
}

void tst_Parsers::date()
{
    QFETCH(QString, text);
    QFETCH(bool, found);
    QFETCH(QString, date);

    const QString escaped = text.toHtmlEscaped();
    const ParserForPc pc;
    const ParserForTouch touch;
    const QString pcPage = page(
        QString(), pcOutline(QStringLiteral("<a>x</a><a>") + escaped + QStringLiteral("</a>")));
    const QString touchPage = page(
        QString(), touchOutline(QStringLiteral("<a>x</a><a>") + escaped + QStringLiteral("</a>")));
    const QList<QPair<const ParserInterface *, QString>> runs = {{&pc, pcPage},
                                                                 {&touch, touchPage}};
    for (const auto &run : runs) {
        QDomDocument document;
        QVERIFY(document.setContent(run.second));
        zorv::WorkInfo work;
        QString error;
        QVERIFY(!run.first->parse(document, work, error));
        QCOMPARE(work.date, date);
        QCOMPARE(error.contains(noDate), !found);
    }
}

QTEST_GUILESS_MAIN(tst_Parsers)
#include "tst_parsers.moc"
