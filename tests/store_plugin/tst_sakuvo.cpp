// The store plug-in's root object: its self-description, the ID rule, the
// page URLs it proposes, the choice of page parser by URL, and how the
// built module presents itself to Qt's plug-in loader.

#include "Sakuvo.h"
#include "TestPaths.h"

#include <QJsonObject>
#include <QPluginLoader>
#include <QPointer>
#include <QtTest>

namespace {

// A page carrying both layouts with different values, so that the outcome
// shows which parser read it.
QDomDocument bothLayouts()
{
    QDomDocument document;
    document.setContent(QStringLiteral(
        "<html><head><title>作品</title></head><body>"
        "<h1 id=\"work_name\">PC作品</h1>"
        "<table id=\"work_maker\"><tr><td><a>PC作者</a></td></tr></table>"
        "<table id=\"work_outline\"><tr><td><a>2014年1月5日</a></td></tr></table>"
        "<dl class=\"work_spec_list\"><dd>RJ111111</dd></dl>"
        "<section id=\"work_header\"><h1><span itemprop=\"name\">タッチ作品</span></h1></section>"
        "<dl id=\"maker_name\"><dd><a>タッチ作者</a></dd></dl>"
        "<section id=\"work_outline\"><a>02/03/2015</a></section>"
        "<table class=\"work_spec_table\"><tr><td>RJ222222</td></tr></table>"
        "</body></html>"));
    return document;
}

zorv::WorkInfo filledWork()
{
    zorv::WorkInfo work;
    work.id = QStringLiteral("old id");
    work.title = QStringLiteral("old title");
    work.date = QStringLiteral("old date");
    work.age = QStringLiteral("old age");
    work.makers = QStringList{QStringLiteral("old maker")};
    return work;
}

} // namespace

class tst_Sakuvo : public QObject
{
    Q_OBJECT

private slots:
    void information();
    void findId_data();
    void findId();
    void urls_data();
    void urls();
    void productUrl();
    void parse_data();
    void parse();
    void parseFailureKeepsWork();
    void metaCast();
    void builtModule();
};

void tst_Sakuvo::information()
{
    const Sakuvo plugin;
    const zorv::PluginInfo *info = plugin.information();
    QVERIFY(info);
    QCOMPARE(info, plugin.information());
    QCOMPARE(info->name, QStringLiteral("Sakuvo"));
    QCOMPARE(info->version, QStringLiteral("1.0.0-2014-01"));
    QVERIFY(info->reserved.isEmpty());
    QVERIFY(info->copyright.contains(QStringLiteral("2014")));
    QVERIFY(!info->copyright.contains(QLatin1Char('\n')));
    QCOMPARE(info->support, Sakuvo::host());
    QVERIFY(!info->support.isEmpty());
    QCOMPARE(info->charset, QStringLiteral("utf-8"));
    QVERIFY(info->cookies.isEmpty());
    const QRegularExpression pattern(info->idPattern);
    QVERIFY(pattern.isValid());
    QVERIFY(pattern.namedCaptureGroups().contains(QStringLiteral("id")));
}

void tst_Sakuvo::findId_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("id");

    const QString untouched = QStringLiteral("untouched");
    QTest::newRow("bracketed, lower case")
        << QStringLiteral("[rj123456] title.zip") << true << QStringLiteral("RJ123456");
    QTest::newRow("prefix without URLs still found")
        << QStringLiteral("VE123456.zip") << true << QStringLiteral("VE123456");
    QTest::newRow("seven digits give six")
        << QStringLiteral("BJ1234567.zip") << true << QStringLiteral("BJ123456");
    QTest::newRow("no word boundary")
        << QStringLiteral("xrj1234567.zip") << true << QStringLiteral("RJ123456");
    QTest::newRow("mixed case") << QStringLiteral("bE000001_v2.rar") << true
                                << QStringLiteral("BE000001");
    QTest::newRow("first match counts")
        << QStringLiteral("RJ12 VJ654321 RJ111111.zip") << true << QStringLiteral("VJ654321");
    QTest::newRow("ID at the end")
        << QStringLiteral("作品名_RE000042") << true << QStringLiteral("RE000042");
    QTest::newRow("five digits") << QStringLiteral("RJ12345.zip") << false << untouched;
    QTest::newRow("first letter not R, V or B")
        << QStringLiteral("AJ123456.zip") << false << untouched;
    QTest::newRow("second letter not J or E")
        << QStringLiteral("RX123456.zip") << false << untouched;
    QTest::newRow("separator inside") << QStringLiteral("RJ-123456.zip") << false << untouched;
    QTest::newRow("empty name") << QString() << false << untouched;
}

void tst_Sakuvo::findId()
{
    QFETCH(QString, fileName);
    QFETCH(bool, found);
    QFETCH(QString, id);

    const Sakuvo plugin;
    QString actual = QStringLiteral("untouched");
    QCOMPARE(plugin.findId(fileName, actual), found);
    QCOMPARE(actual, id);
}

void tst_Sakuvo::urls_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("categories");

    QTest::newRow("BJ") << QStringLiteral("BJ123456")
                        << QStringList{
                               QStringLiteral("comic"),       QStringLiteral("books"),
                               QStringLiteral("girls-pro"),   QStringLiteral("comic-touch"),
                               QStringLiteral("books-touch"), QStringLiteral("girls-pro-touch")};
    QTest::newRow("RE") << QStringLiteral("RE123456")
                        << QStringList{QStringLiteral("eng"), QStringLiteral("ecchi-eng"),
                                       QStringLiteral("eng-touch"),
                                       QStringLiteral("ecchi-eng-touch")};
    QTest::newRow("RJ") << QStringLiteral("RJ123456")
                        << QStringList{
                               QStringLiteral("home"),         QStringLiteral("maniax"),
                               QStringLiteral("girls"),        QStringLiteral("home-touch"),
                               QStringLiteral("maniax-touch"), QStringLiteral("girls-touch")};
    QTest::newRow("VJ: PC only") << QStringLiteral("VJ123456")
                                 << QStringList{QStringLiteral("soft"), QStringLiteral("pro")};
    QTest::newRow("VE: no row") << QStringLiteral("VE123456") << QStringList();
    QTest::newRow("BE: no row") << QStringLiteral("BE123456") << QStringList();
    QTest::newRow("prefix compared case-sensitively")
        << QStringLiteral("rj123456") << QStringList();
    QTest::newRow("one character") << QStringLiteral("R") << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
}

void tst_Sakuvo::urls()
{
    QFETCH(QString, id);
    QFETCH(QStringList, categories);

    const Sakuvo plugin;
    QStringList expected;
    for (const QString &category : categories)
        expected.append(QStringLiteral("http://") + plugin.information()->support +
                        QLatin1Char('/') + category + QStringLiteral("/work/=/product_id/") + id +
                        QStringLiteral(".html"));
    QStringList actual;
    const QList<QUrl> urls = plugin.urls(id);
    for (const QUrl &url : urls) {
        QVERIFY(url.isValid());
        actual.append(url.toString());
    }
    QCOMPARE(actual, expected);
}

void tst_Sakuvo::productUrl()
{
    const QUrl url = Sakuvo::productUrl(QStringLiteral("home"), QStringLiteral("RJ012345"));
    QCOMPARE(url.scheme(), QStringLiteral("http"));
    QCOMPARE(url.host(), Sakuvo::host());
    QCOMPARE(url.path(), QStringLiteral("/home/work/=/product_id/RJ012345.html"));
    QVERIFY(!url.hasQuery());
    QCOMPARE(Sakuvo().urls(QStringLiteral("RJ012345")).value(0), url);
}

void tst_Sakuvo::parse_data()
{
    QTest::addColumn<QString>("url");
    // "pc", "touch" or "none".
    QTest::addColumn<QString>("parser");

    const QStringList pc = {QStringLiteral("home"),  QStringLiteral("soft"),
                            QStringLiteral("comic"), QStringLiteral("maniax"),
                            QStringLiteral("pro"),   QStringLiteral("books"),
                            QStringLiteral("girls"), QStringLiteral("girls-pro"),
                            QStringLiteral("eng"),   QStringLiteral("ecchi-eng")};
    for (const QString &category : pc)
        QTest::newRow(qPrintable(category))
            << Sakuvo::productUrl(category, QStringLiteral("RJ123456")).toString()
            << QStringLiteral("pc");
    for (const QString &category : pc) {
        const QString touch = category + QStringLiteral("-touch");
        // The shop has no touch site for its software categories.
        const bool known = category != QLatin1String("soft") && category != QLatin1String("pro");
        QTest::newRow(qPrintable(touch))
            << Sakuvo::productUrl(touch, QStringLiteral("RJ123456")).toString()
            << (known ? QStringLiteral("touch") : QStringLiteral("none"));
    }
    QTest::newRow("category compared in case")
        << QStringLiteral("http://www.sakuvo.example/Home/work/=/product_id/RJ123456.html")
        << QStringLiteral("none");
    QTest::newRow("unknown category")
        << QStringLiteral("http://www.sakuvo.example/games/work/=/product_id/RJ123456.html")
        << QStringLiteral("none");
    QTest::newRow("no /work/ in the URL")
        << QStringLiteral("http://www.sakuvo.example/home/product_id/RJ123456.html")
        << QStringLiteral("none");
    QTest::newRow("category is the segment before /work/")
        << QStringLiteral("http://localhost:8080/mirror/eng-touch/work/=/product_id/RE1.html")
        << QStringLiteral("touch");
    QTest::newRow("empty URL") << QString() << QStringLiteral("none");
}

void tst_Sakuvo::parse()
{
    QFETCH(QString, url);
    QFETCH(QString, parser);

    const Sakuvo plugin;
    zorv::WorkInfo work = filledWork();
    QString error = QStringLiteral("earlier text");
    const bool result = plugin.parse(QUrl(url), bothLayouts(), work, error);
    if (parser == QLatin1String("none")) {
        QVERIFY(!result);
        QCOMPARE(error, QStringLiteral("not found parser."));
        QCOMPARE(work.title, filledWork().title);
        QCOMPARE(work.makers, filledWork().makers);
        return;
    }
    QVERIFY(result);
    // A successful parse assigns every field; nothing of the old record stays.
    QCOMPARE(error, QStringLiteral("earlier text"));
    QCOMPARE(work.age, QStringLiteral("全年齢"));
    if (parser == QLatin1String("pc")) {
        QCOMPARE(work.title, QStringLiteral("PC作品"));
        QCOMPARE(work.makers, QStringList{QStringLiteral("PC作者")});
        QCOMPARE(work.date, QStringLiteral("2014-1-5"));
        QCOMPARE(work.id, QStringLiteral("RJ111111"));
    } else {
        QCOMPARE(work.title, QStringLiteral("タッチ作品"));
        QCOMPARE(work.makers, QStringList{QStringLiteral("タッチ作者")});
        QCOMPARE(work.date, QStringLiteral("2015-02-03"));
        QCOMPARE(work.id, QStringLiteral("RJ222222"));
    }
}

// A page that lacks parts leaves the caller's record as it was, even the
// parts that were found, and appends the messages to the error text.
void tst_Sakuvo::parseFailureKeepsWork()
{
    const Sakuvo plugin;
    QDomDocument document;
    QVERIFY(document.setContent(QStringLiteral(
        "<html><head><title>成人向け</title></head><body><h1 id=\"work_name\">作品</h1>"
        "<table id=\"work_maker\"><tr><td><a>作者</a></td></tr></table></body></html>")));
    zorv::WorkInfo work = filledWork();
    QString error = QStringLiteral("<");
    QVERIFY(!plugin.parse(Sakuvo::productUrl(QStringLiteral("home"), QStringLiteral("RJ1")),
                          document, work, error));
    QCOMPARE(error, QStringLiteral("<'IDがみつかりませんでした''日付がみつかりませんでした'"));
    const zorv::WorkInfo old = filledWork();
    QCOMPARE(work.id, old.id);
    QCOMPARE(work.title, old.title);
    QCOMPARE(work.date, old.date);
    QCOMPARE(work.age, old.age);
    QCOMPARE(work.makers, old.makers);
}

void tst_Sakuvo::metaCast()
{
    Sakuvo plugin;
    QObject *object = &plugin;
    zorv::PluginInterface *interface = &plugin;
    QCOMPARE(QString::fromLatin1(plugin.metaObject()->className()), QStringLiteral("Sakuvo"));
    QCOMPARE(plugin.qt_metacast("Sakuvo"), static_cast<void *>(&plugin));
    QCOMPARE(plugin.qt_metacast("zorv::PluginInterface"), static_cast<void *>(interface));
    QCOMPARE(plugin.qt_metacast("zorv.PluginInterface"), static_cast<void *>(interface));
    QCOMPARE(plugin.qt_metacast("QObject"), static_cast<void *>(object));
    QVERIFY(!plugin.qt_metacast("Other"));
    QCOMPARE(qobject_cast<zorv::PluginInterface *>(object), interface);
}

// The module as the program loads it.
void tst_Sakuvo::builtModule()
{
    const QString path =
        TestPaths::pluginBuildDir() + QLatin1Char('/') + TestPaths::storePluginFile();
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QPluginLoader loader(path);

    const QJsonObject metaData = loader.metaData();
    QCOMPARE(metaData.value(QStringLiteral("IID")).toString(),
             QStringLiteral("zorv.PluginInterface"));
    QCOMPARE(metaData.value(QStringLiteral("className")).toString(), QStringLiteral("Sakuvo"));
    // Qt leaves an empty MetaData object out of what it reports.
    QVERIFY(metaData.value(QStringLiteral("MetaData")).toObject().isEmpty());

    QPointer<QObject> instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    QCOMPARE(loader.instance(), instance.data());
    QVERIFY(!instance->parent());
    QCOMPARE(QString::fromLatin1(instance->metaObject()->className()), QStringLiteral("Sakuvo"));

    zorv::PluginInterface *plugin = qobject_cast<zorv::PluginInterface *>(instance.data());
    QVERIFY(plugin);
    QCOMPARE(plugin->information()->name, QStringLiteral("Sakuvo"));
    QString id;
    QVERIFY(plugin->findId(QStringLiteral("rj123456.zip"), id));
    QCOMPARE(id, QStringLiteral("RJ123456"));
    QCOMPARE(plugin->urls(id).size(), 6);

    // After the root object is gone the instance function makes a new one.
    delete instance.data();
    QVERIFY(instance.isNull());
    QObject *again = loader.instance();
    QVERIFY(again);
    QVERIFY(qobject_cast<zorv::PluginInterface *>(again));
}

QTEST_GUILESS_MAIN(tst_Sakuvo)
#include "tst_sakuvo.moc"
