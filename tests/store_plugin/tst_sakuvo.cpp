// The store plug-in's root object: the ID rule, the page URLs it proposes,
// the choice of page parser by URL, its self-description and how the built
// module presents itself to Qt's plug-in loader.

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

} // namespace

class tst_Sakuvo : public QObject
{
    Q_OBJECT

private slots:
    void findId_data();
    void findId();
    void urls_data();
    void urls();
    void parse_data();
    void parse();
    void metadata_data();
    void metadata();
    void metaCast_data();
    void metaCast();
    void builtModule();
};

void tst_Sakuvo::findId_data()
{
    const auto row = [](const char *name, const char *fileName, const char *id) {
        QTest::newRow(name) << QString::fromUtf8(fileName) << QString::fromUtf8(id);
    };
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("id"); // empty: no ID, and the caller's text untouched

    row("bracketed, lower case", "[rj123456] title.zip", "RJ123456");
    row("prefix without URLs still found", "VE123456.zip", "VE123456");
    row("seven digits give six", "BJ1234567.zip", "BJ123456");
    row("no word boundary", "xrj1234567.zip", "RJ123456");
    row("mixed case", "bE000001_v2.rar", "BE000001");
    row("first match counts", "RJ12 VJ654321 RJ111111.zip", "VJ654321");
    row("five digits", "RJ12345.zip", "");
    row("first letter not R, V or B", "AJ123456.zip", "");
    row("second letter not J or E", "RX123456.zip", "");
    row("separator inside", "RJ-123456.zip", "");
}

void tst_Sakuvo::findId()
{
    QFETCH(QString, fileName);
    QFETCH(QString, id);

    QString actual = QStringLiteral("untouched");
    QCOMPARE(Sakuvo().findId(fileName, actual), !id.isEmpty());
    QCOMPARE(actual, id.isEmpty() ? QStringLiteral("untouched") : id);
}

void tst_Sakuvo::urls_data()
{
    const auto row = [](const char *name, const char *id, const char *categories) {
        QTest::newRow(name) << QString::fromUtf8(id) << QString::fromUtf8(categories);
    };
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("categories"); // in order, space-separated

    row("BJ", "BJ123456", "comic books girls-pro comic-touch books-touch girls-pro-touch");
    row("RE", "RE123456", "eng ecchi-eng eng-touch ecchi-eng-touch");
    row("RJ", "RJ012345", "home maniax girls home-touch maniax-touch girls-touch");
    row("VJ: PC only", "VJ123456", "soft pro");
    row("VE: no row", "VE123456", "");
    row("prefix compared in case", "rj123456", "");
    row("one character", "R", "");
}

void tst_Sakuvo::urls()
{
    QFETCH(QString, id);
    QFETCH(QString, categories);

    const Sakuvo plugin;
    QStringList expected;
    for (const QString &category : categories.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        expected.append(QStringLiteral("http://%1/%2/work/=/product_id/%3.html")
                            .arg(plugin.information()->support, category, id));
    QStringList actual;
    for (const QUrl &url : plugin.urls(id))
        actual.append(url.toString());
    QCOMPARE(actual, expected);
}

void tst_Sakuvo::parse_data()
{
    const auto row = [](const char *name, const QString &url, const char *reader) {
        QTest::newRow(name) << url << QString::fromUtf8(reader);
    };
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reader"); // "pc", "touch", "none", or "pc, empty page"

    const QStringList pcCategories =
        QStringLiteral("home soft comic maniax pro books girls girls-pro eng ecchi-eng")
            .split(QLatin1Char(' '));
    for (const QString &category : pcCategories) {
        const QString touch = category + QStringLiteral("-touch");
        // The shop has no touch site for its software categories.
        const bool none = category == QLatin1String("soft") || category == QLatin1String("pro");
        row(qPrintable(category), Sakuvo::productUrl(category, QStringLiteral("RJ1")).toString(),
            "pc");
        row(qPrintable(touch), Sakuvo::productUrl(touch, QStringLiteral("RJ1")).toString(),
            none ? "none" : "touch");
    }
    const QString host = QStringLiteral("http://www.sakuvo.example");
    row("category compared in case", host + QStringLiteral("/Home/work/=/product_id/RJ1.html"),
        "none");
    row("unknown category", host + QStringLiteral("/games/work/=/product_id/RJ1.html"), "none");
    row("no /work/ in the URL", host + QStringLiteral("/home/product_id/RJ1.html"), "none");
    row("category is the segment before /work/",
        QStringLiteral("http://localhost:8080/mirror/eng-touch/work/=/product_id/RE1.html"),
        "touch");
    row("failing parser", host + QStringLiteral("/home/work/=/product_id/RJ1.html"),
        "pc, empty page");
}

void tst_Sakuvo::parse()
{
    QFETCH(QString, url);
    QFETCH(QString, reader);

    QString fields = QStringLiteral("old id|old title|old date|old age|old maker");
    QString error = QStringLiteral("earlier text");
    bool result = true;
    if (reader == QLatin1String("pc")) {
        fields = QStringLiteral("RJ111111|PC作品|2014-1-5|全年齢|PC作者");
    } else if (reader == QLatin1String("touch")) {
        fields = QStringLiteral("RJ222222|タッチ作品|2015-02-03|全年齢|タッチ作者");
    } else if (reader == QLatin1String("none")) {
        result = false;
        error = QStringLiteral("not found parser.");
    } else {
        // A failing parser leaves the record as it was and adds its messages.
        result = false;
        error += QStringLiteral("'タイトルがみつかりませんでした''IDがみつかりませんでした'"
                                "'日付がみつかりませんでした''作者がみつかりませんでした'");
    }

    zorv::WorkInfo work{QStringLiteral("old id"), QStringLiteral("old title"),
                        QStringLiteral("old date"), QStringLiteral("old age"),
                        QStringList{QStringLiteral("old maker")}};
    QString actualError = QStringLiteral("earlier text");
    const bool emptyPage = reader.endsWith(QLatin1String("empty page"));
    QCOMPARE(
        Sakuvo().parse(QUrl(url), emptyPage ? QDomDocument() : bothLayouts(), work, actualError),
        result);
    QCOMPARE(actualError, error);
    QCOMPARE((QStringList{work.id, work.title, work.date, work.age} + work.makers)
                 .join(QLatin1Char('|')),
             fields);
}

// The self-description, and the module's metadata as Qt's loader reads it.
void tst_Sakuvo::metadata_data()
{
    const auto row = [](const char *name, const QString &actual, const QString &expected) {
        QTest::newRow(name) << actual << expected;
    };
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    const Sakuvo plugin;
    const zorv::PluginInfo *info = plugin.information();
    row("name", info->name, QStringLiteral("Sakuvo"));
    row("version", info->version, QStringLiteral("1.0.0-2014-01"));
    row("unnamed text", info->reserved, QString());
    row("copyright: the year, one line", info->copyright.section(QLatin1Char('\n'), 1), QString());
    row("copyright year", QString::number(info->copyright.contains(QStringLiteral("2014"))),
        QStringLiteral("1"));
    row("support is the URLs' host", info->support,
        plugin.urls(QStringLiteral("RJ123456")).value(0).host());
    row("charset", info->charset, QStringLiteral("utf-8"));
    row("cookies", QString::number(info->cookies.size()), QStringLiteral("0"));

    const QJsonObject metaData =
        QPluginLoader(TestPaths::pluginBuildDir() + QLatin1Char('/') + TestPaths::storePluginFile())
            .metaData();
    row("IID", metaData.value(QStringLiteral("IID")).toString(),
        QStringLiteral("zorv.PluginInterface"));
    row("className", metaData.value(QStringLiteral("className")).toString(),
        QStringLiteral("Sakuvo"));
    // Qt leaves an empty MetaData object out of what it reports.
    row("MetaData", QString::number(metaData.value(QStringLiteral("MetaData")).toObject().size()),
        QStringLiteral("0"));
}

void tst_Sakuvo::metadata()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void tst_Sakuvo::metaCast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("part"); // 0: none, 1: the object, 2: its interface part
    const auto row = [](const char *name, int part) {
        QTest::newRow(name) << QByteArray(name) << part;
    };
    row("Sakuvo", 1);
    row("zorv::PluginInterface", 2);
    row("zorv.PluginInterface", 2);
    row("QObject", 1);
    row("Other", 0);
}

void tst_Sakuvo::metaCast()
{
    QFETCH(QByteArray, name);
    QFETCH(int, part);
    Sakuvo plugin;
    const QList<void *> parts = {nullptr, static_cast<QObject *>(&plugin),
                                 static_cast<zorv::PluginInterface *>(&plugin)};
    QCOMPARE(plugin.qt_metacast(name.constData()), parts.at(part));
}

// The module as the program loads it.
void tst_Sakuvo::builtModule()
{
    QPluginLoader loader(TestPaths::pluginBuildDir() + QLatin1Char('/') +
                         TestPaths::storePluginFile());
    QPointer<QObject> instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    QCOMPARE(loader.instance(), instance.data());
    QVERIFY(!instance->parent());
    QCOMPARE(QString::fromLatin1(instance->metaObject()->className()), QStringLiteral("Sakuvo"));
    zorv::PluginInterface *plugin = qobject_cast<zorv::PluginInterface *>(instance.data());
    QVERIFY(plugin);
    QCOMPARE(plugin->information()->name, QStringLiteral("Sakuvo"));

    // After the root object is gone the instance function makes a new one.
    delete instance.data();
    QVERIFY(qobject_cast<zorv::PluginInterface *>(loader.instance()));
}

QTEST_GUILESS_MAIN(tst_Sakuvo)
#include "tst_sakuvo.moc"
