// The web downloader against the local shop: whole bodies, one download at a
// time, and the limits that stop a page (size after decompression, deadline).
#include "TestShop.h"
#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

using zorv::WebDownloader;

namespace {

const qint64 cap = 64 * 1024;

// A page of exactly so many bytes.
QByteArray page(int size)
{
    const QByteArray body = "<html><body>" + QByteArray("<p>\xe3\x81\x82</p>\n").repeated(size);
    return body.left(size - 14) + "</body></html>";
}

// A downloader as the renamer holds one; it may start the next download
// from inside the handler of the first `finished`.
struct Rig
{
    Rig()
    {
        downloader.setMaxPageBytes(cap);
        QObject::connect(&downloader, &WebDownloader::finished,
                         [this](const QNetworkReply *, const QByteArray &bytes) {
                             bodies.append(bytes);
                             limits.append(downloader.limitReached());
                             if (bodies.size() == 1 && next.isValid())
                                 acceptedInside = downloader.download(next);
                         });
    }
    bool wait(int count)
    {
        return QTest::qWaitFor([&] { return bodies.size() >= count; });
    }
    QNetworkAccessManager manager;
    WebDownloader downloader{&manager};
    // What the receiver of `finished` saw, read during the emission as the renamer does.
    QList<QByteArray> bodies;
    QList<WebDownloader::Limit> limits;
    QUrl next;
    bool acceptedInside = false;
};

} // namespace

class tst_WebDownloader : public QObject
{
    Q_OBJECT

    TestShop shop;
    QUrl url(const QString &path) const { return QUrl(shop.proxyUrl() + path); }

private slots:
    void init()
    {
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        shop.clearBehaviours();
        shop.clearRequests();
    }

    void body_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("limit");
        QTest::newRow("page in many pieces") << int(cap) << "slow" << int(WebDownloader::NoLimit);
        QTest::newRow("one byte past the cap")
            << int(cap + 1) << "" << int(WebDownloader::PageTooLarge);
        QTest::newRow("gzip page past the cap once inflated")
            << int(cap + 1) << "gzip" << int(WebDownloader::PageTooLarge);
        QTest::newRow("body without end")
            << int(cap) << "endless" << int(WebDownloader::PageTooLarge);
        QTest::newRow("still arriving at the deadline")
            << int(cap) << "deadline" << int(WebDownloader::DeadlinePassed);
    }

    void body()
    {
        QFETCH(int, size);
        QFETCH(QString, answer);
        QFETCH(int, limit);
        const QByteArray body = page(size);
        shop.setPage("/page.html", body);
        TestShop::Rule rule;
        rule.gzip = answer == "gzip";
        rule.endless = answer == "endless";
        rule.durationMs = answer == "slow" ? 1000 : answer == "deadline" ? 5000 : 0;
        rule.chunks = 20;
        shop.setRule("/page.html", rule);

        Rig rig;
        QVERIFY(rig.downloader.download(url("/page.html"),
                                        QDeadlineTimer(answer == "deadline" ? 500 : -1)));
        // One page at a time: a second download is refused, not queued.
        QVERIFY(!rig.downloader.download(url("/other.html")));
        QVERIFY(rig.wait(1));
        QCOMPARE(int(rig.limits.first()), limit);
        QCOMPARE(rig.bodies.first(), limit == WebDownloader::NoLimit ? body : QByteArray());
        QCOMPARE(shop.requests().size(), 1);
    }

    // After a failure, the next download starts from inside the handler and
    // gets a body of its own.
    void nextDownloadFromTheHandler()
    {
        shop.setPage("/second.html", "<html>second</html>");
        Rig rig;
        rig.next = url("/second.html");
        QVERIFY(rig.downloader.download(url("/missing.html")));
        QVERIFY(rig.wait(2));
        QVERIFY(rig.acceptedInside);
        QCOMPARE(rig.bodies.at(1), QByteArray("<html>second</html>"));
    }
};

QTEST_GUILESS_MAIN(tst_WebDownloader)
#include "tst_webdownloader.moc"
