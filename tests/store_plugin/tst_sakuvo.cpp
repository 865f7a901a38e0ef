#include "Sakuvo.h"

#include <QtTest>

// The ID found in a file name and the product pages proposed for it, in the
// order the renamer tries them. How pages are read is tst_pages' part.
class tst_Sakuvo : public QObject
{
    Q_OBJECT

private slots:
    void idAndUrls_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("id"); // empty: none found, the caller's text untouched
        QTest::addColumn<QString>("categories");
        const auto row = [](const char *name, const char *file, const char *id, const char *urls) {
            QTest::newRow(name) << QString(file) << QString(id) << QString(urls);
        };
        row("RJ, lower case", "[rj012345] a.zip", "RJ012345",
            "home maniax girls home-touch maniax-touch girls-touch");
        row("BJ: seven digits give six", "BJ1234567.zip", "BJ123456",
            "comic books girls-pro comic-touch books-touch girls-pro-touch");
        row("RE without word boundary", "xre123456_v2.rar", "RE123456",
            "eng ecchi-eng eng-touch ecchi-eng-touch");
        row("VJ: the first match, PC only", "RJ12 VJ654321 RJ111111.zip", "VJ654321", "soft pro");
        row("VE: an ID without pages", "VE123456.zip", "VE123456", "");
        row("five digits, other letters", "RJ12345 AJ123456 RX123456 RJ-123456.zip", "", "");
    }

    void idAndUrls()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, id);
        QFETCH(QString, categories);
        const Sakuvo plugin;
        QString found = QStringLiteral("untouched");
        QCOMPARE(plugin.findId(fileName, found), !id.isEmpty());
        QCOMPARE(found, id.isEmpty() ? QStringLiteral("untouched") : id);
        QStringList urls;
        for (const QString &category : categories.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            urls.append(QStringLiteral("http://www.sakuvo.example/%1/work/=/product_id/%2.html")
                            .arg(category, id));
        QCOMPARE(QUrl::toStringList(plugin.urls(found)), urls);
    }
};

ZORV_TEST_GUILESS_MAIN(tst_Sakuvo)
#include "tst_sakuvo.moc"
