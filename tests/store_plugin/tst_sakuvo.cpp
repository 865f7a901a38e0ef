// The store plug-in's ID rule and the product pages it proposes for an ID,
// in the order the renamer tries them. How the pages are read is the page
// catalogue's part (tst_pages).
#include "Sakuvo.h"

#include <QtTest>

class tst_Sakuvo : public QObject
{
    Q_OBJECT

private slots:
    void idAndUrls_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("id"); // empty: none found, the caller's text untouched
        QTest::addColumn<QString>("categories");
        QTest::addRow("RJ, lower case, bracketed")
            << "[rj012345] title.zip"
            << "RJ012345"
            << "home maniax girls home-touch maniax-touch girls-touch";
        QTest::addRow("BJ: seven digits give six")
            << "BJ1234567.zip"
            << "BJ123456"
            << "comic books girls-pro comic-touch books-touch girls-pro-touch";
        QTest::addRow("RE without word boundary") << "xre123456_v2.rar"
                                                  << "RE123456"
                                                  << "eng ecchi-eng eng-touch ecchi-eng-touch";
        QTest::addRow("VJ: the first match, PC only") << "RJ12 VJ654321 RJ111111.zip"
                                                      << "VJ654321"
                                                      << "soft pro";
        QTest::addRow("VE: an ID without pages") << "VE123456.zip"
                                                 << "VE123456"
                                                 << "";
        QTest::addRow("five digits") << "RJ12345.zip"
                                     << ""
                                     << "";
        QTest::addRow("other letters") << "AJ123456 RX123456 RJ-123456.zip"
                                       << ""
                                       << "";
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

QTEST_GUILESS_MAIN(tst_Sakuvo)
#include "tst_sakuvo.moc"
