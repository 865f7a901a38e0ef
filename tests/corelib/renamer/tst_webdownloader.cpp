// The web downloader against the local shop: whole bodies, one download at a
// time, the size cap after decompression. The renamer's tests show the other
// limits as the user meets them.
#include "TestShop.h"
#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

using zorv::WebDownloader;

Q_DECLARE_METATYPE(const QNetworkReply *)

class tst_WebDownloader : public QObject
{
    Q_OBJECT

    TestShop shop;
    QNetworkAccessManager manager;
    QUrl url(const QString &path) const { return QUrl(shop.proxyUrl() + path); }

private slots:
    void initTestCase()
    {
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        qRegisterMetaType<const QNetworkReply *>();
    }

    void body_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("gzip");
        QTest::addColumn<bool>("tooLarge");
        QTest::newRow("page at the cap, in many pieces") << 64 * 1024 << false << false;
        QTest::newRow("one byte past the cap") << 64 * 1024 + 1 << false << true;
        QTest::newRow("gzip page past the cap once inflated") << 64 * 1024 + 1 << true << true;
    }

    void body()
    {
        QFETCH(int, size);
        QFETCH(bool, gzip);
        QFETCH(bool, tooLarge);
        const QByteArray body = QByteArray("<p>\xe3\x81\x82</p>\n").repeated(size).left(size);
        shop.clearRequests();
        shop.setPage("/page.html", body);
        TestShop::Rule rule;
        rule.gzip = gzip;
        rule.durationMs = 500;
        rule.chunks = 20;
        shop.setRule("/page.html", rule);
        WebDownloader downloader(&manager);
        downloader.setMaxPageBytes(64 * 1024);
        QSignalSpy finished(&downloader, &WebDownloader::finished);
        QVERIFY(downloader.download(url("/page.html")));
        // One page at a time: a second download is refused, not queued.
        QVERIFY(!downloader.download(url("/other.html")));
        QVERIFY(finished.wait());
        QCOMPARE(downloader.limitReached(),
                 tooLarge ? WebDownloader::PageTooLarge : WebDownloader::NoLimit);
        QCOMPARE(finished.at(0).at(1).toByteArray(), tooLarge ? QByteArray() : body);
        QCOMPARE(shop.requests().size(), 1);
    }

    // After a failure, the next download starts from inside the handler of
    // `finished`, as the renamer starts it, and gets a body of its own.
    void nextDownloadFromTheHandler()
    {
        shop.setPage("/second.html", "<html>second</html>");
        WebDownloader downloader(&manager);
        bool accepted = false;
        connect(&downloader, &WebDownloader::finished, &downloader, [&] {
            if (!accepted)
                accepted = downloader.download(url("/second.html"));
        });
        QSignalSpy finished(&downloader, &WebDownloader::finished);
        QVERIFY(downloader.download(url("/missing.html")));
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY(accepted);
        QCOMPARE(finished.at(1).at(1).toByteArray(), QByteArray("<html>second</html>"));
    }
};

ZORV_TEST_GUILESS_MAIN(tst_WebDownloader)
#include "tst_webdownloader.moc"
