#include "TestShop.h"
#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using zorv::WebDownloader;

namespace {

// Long enough for a loaded machine; the tests normally end in milliseconds.
const int waitLimitMs = 20000;

QByteArray largeBody(int size)
{
    QByteArray body = "<html><body>\n";
    int line = 0;
    while (body.size() < size - 20)
        body += "<p>line " + QByteArray::number(line++) + " \xe3\x81\x82</p>\n";
    return body + "</body></html>\n";
}

// A port on which nothing listens: taken from the system, then let go.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

// What the receiver of `finished` saw, read during the emission as the
// renamer does.
struct Outcome
{
    QUrl url;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    int status = 0;
    QByteArray bytes;
    QPointer<QNetworkReply> reply;
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    explicit Receiver(WebDownloader *downloader)
        : downloader(downloader)
    {
        connect(downloader, SIGNAL(finished(const QNetworkReply *, QByteArray)), this,
                SLOT(onFinished(const QNetworkReply *, QByteArray)));
    }

    QList<Outcome> outcomes;
    // Downloaded from inside the handler of the first `finished`, if set.
    QUrl nextInside;
    bool acceptedInside = false;

signals:
    void received();

private slots:
    void onFinished(const QNetworkReply *reply, const QByteArray &bytes)
    {
        Outcome outcome;
        outcome.url = reply->url();
        outcome.error = reply->error();
        outcome.errorString = reply->errorString();
        outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        outcome.bytes = bytes;
        outcome.reply = const_cast<QNetworkReply *>(reply);
        outcomes.append(outcome);
        if (outcomes.size() == 1 && nextInside.isValid())
            acceptedInside = downloader->download(nextInside);
        emit received();
    }

private:
    WebDownloader *const downloader;
};

class tst_WebDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void deliversWholeBody_data();
    void deliversWholeBody();
    void failureReachesReceiver_data();
    void failureReachesReceiver();
    void refusesSecondDownloadWhileBusy();
    void acceptsNextDownloadAfterFinished_data();
    void acceptsNextDownloadAfterFinished();

private:
    QUrl shopUrl(const QString &path) const { return QUrl(shop->baseUrl() + path); }

    QScopedPointer<TestShop> shop;
};

void tst_WebDownloader::initTestCase()
{
    shop.reset(new TestShop);
    QVERIFY2(shop->isListening(), qPrintable(shop->errorString()));
}

void tst_WebDownloader::cleanup()
{
    shop->clearPages();
    shop->clearBehaviours();
    shop->clearRequests();
}

void tst_WebDownloader::deliversWholeBody_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("inPieces");

    const QByteArray page = "<html><head><title>t</title></head><body>RJ000001</body></html>";
    const QByteArray large = largeBody(3 * 1024 * 1024);
    QTest::newRow("page") << page << int(TestShop::Serve) << 200 << page << false;
    QTest::newRow("empty body") << page << int(TestShop::EmptyBody) << 200 << QByteArray() << false;
    QTest::newRow("large body in chunks") << large << int(TestShop::Slow) << 200 << large << true;
    // Redirects are the receiver's business: the first answer comes back as it is.
    QTest::newRow("redirect not followed")
        << page << int(TestShop::Redirect) << 302 << page << false;
}

void tst_WebDownloader::deliversWholeBody()
{
    QFETCH(QByteArray, page);
    QFETCH(int, behaviour);
    QFETCH(int, expectedStatus);
    QFETCH(QByteArray, expected);
    QFETCH(bool, inPieces);

    const QString path = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000001"));
    shop->setPage(path, page);
    shop->setPage(QStringLiteral("/moved.html"), "<html>moved here</html>");
    if (behaviour == TestShop::Slow)
        shop->setSlow(path, 1500, 30);
    else if (behaviour == TestShop::Redirect)
        shop->setRedirect(path, QStringLiteral("/moved.html"), 302);
    else
        shop->setBehaviour(path, TestShop::Behaviour(behaviour));

    QNetworkAccessManager manager;
    WebDownloader downloader(&manager);
    Receiver receiver(&downloader);
    QSignalSpy received(&receiver, SIGNAL(received()));

    QVERIFY(downloader.download(shopUrl(path)));
    // The reply is the manager's child; count how often body pieces arrive.
    const QList<QNetworkReply *> replies = manager.findChildren<QNetworkReply *>();
    QCOMPARE(replies.size(), 1);
    QSignalSpy pieces(replies.first(), SIGNAL(readyRead()));

    QVERIFY(received.wait(waitLimitMs));
    QCOMPARE(receiver.outcomes.size(), 1);
    const Outcome outcome = receiver.outcomes.first();
    QCOMPARE(outcome.error, QNetworkReply::NoError);
    QCOMPARE(outcome.status, expectedStatus);
    QCOMPARE(outcome.url, shopUrl(path));
    QCOMPARE(outcome.bytes.size(), expected.size());
    QVERIFY(outcome.bytes == expected);
    if (inPieces)
        QVERIFY2(pieces.count() > 1, "the body should have come in several pieces");

    // Exactly one request went out, and the downloader left the reply alone.
    QCOMPARE(shop->requests().size(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!outcome.reply.isNull());
    QCOMPARE(outcome.reply->parent(), &manager);
}

void tst_WebDownloader::failureReachesReceiver_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expectedError");
    QTest::addColumn<int>("expectedStatus");

    QTest::newRow("not found") << QStringLiteral("404") << int(QNetworkReply::ContentNotFoundError)
                               << 404;
    QTest::newRow("unknown page") << QStringLiteral("unknown")
                                  << int(QNetworkReply::ContentNotFoundError) << 404;
    QTest::newRow("server error") << QStringLiteral("500")
                                  << int(QNetworkReply::InternalServerError) << 500;
    QTest::newRow("connection refused")
        << QStringLiteral("refused") << int(QNetworkReply::ConnectionRefusedError) << 0;
    QTest::newRow("closed mid-body")
        << QStringLiteral("closed") << int(QNetworkReply::RemoteHostClosedError) << 200;
}

void tst_WebDownloader::failureReachesReceiver()
{
    QFETCH(QString, kind);
    QFETCH(int, expectedError);
    QFETCH(int, expectedStatus);

    const QString path =
        TestShop::productPath(QStringLiteral("maniax"), QStringLiteral("RJ000002"));
    QUrl url = shopUrl(path);
    if (kind != QLatin1String("unknown"))
        shop->setPage(path, largeBody(8192));
    if (kind == QLatin1String("404"))
        shop->setBehaviour(path, TestShop::NotFound);
    else if (kind == QLatin1String("500"))
        shop->setBehaviour(path, TestShop::ServerError);
    else if (kind == QLatin1String("closed"))
        shop->setBehaviour(path, TestShop::CloseMidBody);
    else if (kind == QLatin1String("refused")) {
        const quint16 port = closedPort();
        QVERIFY(port != 0);
        url.setPort(port);
    }

    QNetworkAccessManager manager;
    WebDownloader downloader(&manager);
    Receiver receiver(&downloader);
    QSignalSpy received(&receiver, SIGNAL(received()));

    QVERIFY(downloader.download(url));
    QVERIFY(received.wait(waitLimitMs));
    QCOMPARE(receiver.outcomes.size(), 1);
    const Outcome outcome = receiver.outcomes.first();
    QCOMPARE(int(outcome.error), expectedError);
    QVERIFY(!outcome.errorString.isEmpty());
    QCOMPARE(outcome.status, expectedStatus);
    QCOMPARE(outcome.url, url);
    // A failed download leaves the downloader free for the next one.
    QVERIFY(downloader.download(shopUrl(QStringLiteral("/after-failure.html"))));
    QVERIFY(received.wait(waitLimitMs));
    QCOMPARE(receiver.outcomes.size(), 2);
}

void tst_WebDownloader::refusesSecondDownloadWhileBusy()
{
    const QString first = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000003"));
    const QString second =
        TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000004"));
    const QByteArray body = largeBody(64 * 1024);
    shop->setPage(first, body);
    shop->setPage(second, "<html>second</html>");
    shop->setSlow(first, 600, 6);

    QNetworkAccessManager manager;
    WebDownloader downloader(&manager);
    Receiver receiver(&downloader);
    QSignalSpy received(&receiver, SIGNAL(received()));

    QVERIFY(downloader.download(shopUrl(first)));
    QVERIFY(!downloader.download(shopUrl(second)));
    // Refused again once the first answer has begun to arrive.
    QTRY_COMPARE_WITH_TIMEOUT(shop->requests().size(), 1, waitLimitMs);
    QVERIFY(!downloader.download(shopUrl(second)));

    QVERIFY(received.wait(waitLimitMs));
    QCOMPARE(receiver.outcomes.size(), 1);
    QCOMPARE(receiver.outcomes.first().url, shopUrl(first));
    QCOMPARE(receiver.outcomes.first().error, QNetworkReply::NoError);
    QVERIFY(receiver.outcomes.first().bytes == body);
    // The refused downloads were not queued: the shop saw the first request only.
    const QList<TestShop::LoggedRequest> requests = shop->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().path, first);
}

void tst_WebDownloader::acceptsNextDownloadAfterFinished_data()
{
    QTest::addColumn<bool>("firstFails");
    QTest::addColumn<bool>("fromHandler");

    QTest::newRow("after success, inside the handler") << false << true;
    QTest::newRow("after success, once the handler returned") << false << false;
    QTest::newRow("after 404, inside the handler") << true << true;
    QTest::newRow("after 404, once the handler returned") << true << false;
}

void tst_WebDownloader::acceptsNextDownloadAfterFinished()
{
    QFETCH(bool, firstFails);
    QFETCH(bool, fromHandler);

    const QString first = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000005"));
    const QString second =
        TestShop::productPath(QStringLiteral("girls"), QStringLiteral("RJ000005"));
    const QByteArray firstBody = "<html>first</html>";
    const QByteArray secondBody = "<html>second</html>";
    shop->setPage(first, firstBody);
    shop->setPage(second, secondBody);
    if (firstFails)
        shop->setBehaviour(first, TestShop::NotFound);

    QNetworkAccessManager manager;
    WebDownloader downloader(&manager);
    Receiver receiver(&downloader);
    QSignalSpy received(&receiver, SIGNAL(received()));
    if (fromHandler)
        receiver.nextInside = shopUrl(second);

    QVERIFY(downloader.download(shopUrl(first)));
    QVERIFY(received.wait(waitLimitMs));
    if (fromHandler)
        QVERIFY(receiver.acceptedInside);
    else
        QVERIFY(downloader.download(shopUrl(second)));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.outcomes.size(), 2, waitLimitMs);

    const Outcome one = receiver.outcomes.at(0);
    const Outcome two = receiver.outcomes.at(1);
    QCOMPARE(one.url, shopUrl(first));
    QCOMPARE(one.error, firstFails ? QNetworkReply::ContentNotFoundError : QNetworkReply::NoError);
    if (!firstFails)
        QVERIFY(one.bytes == firstBody);
    // The second body is its own: nothing of the first is left in it.
    QCOMPARE(two.url, shopUrl(second));
    QCOMPARE(two.error, QNetworkReply::NoError);
    QVERIFY(two.bytes == secondBody);
    QCOMPARE(shop->requests().size(), 2);
}

QTEST_GUILESS_MAIN(tst_WebDownloader)
#include "tst_webdownloader.moc"
