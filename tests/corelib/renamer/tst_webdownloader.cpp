// The web downloader against the local test shop, and the shop's routes to
// the fixture catalogue that the renamer's and the program's tests and the
// demo rely on.

#include "TestPaths.h"
#include "TestShop.h"
#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
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
    for (int line = 0; body.size() < size - 20; ++line)
        body += "<p>line " + QByteArray::number(line) + " \xe3\x81\x82</p>\n";
    return body + "</body></html>\n";
}

} // namespace

// What the receiver of `finished` saw, read during the emission as the
// renamer does.
struct Outcome
{
    QUrl url;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
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
        outcomes.append({reply->url(), reply->error(),
                         reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), bytes,
                         const_cast<QNetworkReply *>(reply)});
        if (outcomes.size() == 1 && nextInside.isValid())
            acceptedInside = downloader->download(nextInside);
        emit received();
    }

private:
    WebDownloader *const downloader;
};

// A downloader as the renamer holds one, with a receiver to watch it.
struct Rig
{
    QNetworkAccessManager manager;
    WebDownloader downloader{&manager};
    Receiver receiver{&downloader};
    QSignalSpy received{&receiver, SIGNAL(received())};
};

class tst_WebDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void finishedCarriesReply_data();
    void finishedCarriesReply();
    void refusesSecondDownloadWhileBusy();
    void acceptsNextDownloadAfterFinished_data();
    void acceptsNextDownloadAfterFinished();
    void reachesCatalogue_data();
    void reachesCatalogue();

private:
    QUrl shopUrl(const QString &path) const { return QUrl(shop->proxyUrl() + path); }

    QScopedPointer<TestShop> shop;
};

void tst_WebDownloader::initTestCase()
{
    shop.reset(new TestShop);
    QVERIFY2(shop->isListening(), qPrintable(shop->errorString()));
    shop->addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
}

void tst_WebDownloader::cleanup()
{
    shop->clearPages();
    shop->clearBehaviours();
    shop->clearRequests();
}

void tst_WebDownloader::finishedCarriesReply_data()
{
    QTest::addColumn<int>("behaviour"); // of the shop; -1: nothing listens
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("wholeBody"); // the page's bytes, else none are compared

    const int none = QNetworkReply::NoError;
    QTest::newRow("page") << int(TestShop::Serve) << none << 200 << true;
    QTest::newRow("empty body") << int(TestShop::EmptyBody) << none << 200 << false;
    QTest::newRow("large body in chunks") << int(TestShop::Slow) << none << 200 << true;
    // Redirects are the receiver's business: the first answer comes back as it is.
    QTest::newRow("redirect not followed") << int(TestShop::Redirect) << none << 302 << true;
    // Failures reach the receiver through the reply.
    QTest::newRow("not found") << int(TestShop::NotFound)
                               << int(QNetworkReply::ContentNotFoundError) << 404 << false;
    QTest::newRow("server error") << int(TestShop::ServerError)
                                  << int(QNetworkReply::InternalServerError) << 500 << false;
    QTest::newRow("closed mid-body")
        << int(TestShop::CloseMidBody) << int(QNetworkReply::RemoteHostClosedError) << 200 << false;
    QTest::newRow("connection refused")
        << -1 << int(QNetworkReply::ConnectionRefusedError) << 0 << false;
}

void tst_WebDownloader::finishedCarriesReply()
{
    QFETCH(int, behaviour);
    QFETCH(int, error);
    QFETCH(int, status);
    QFETCH(bool, wholeBody);

    const QString path = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000001"));
    const QByteArray page = largeBody(behaviour == TestShop::Slow ? 3 * 1024 * 1024 : 8192);
    shop->setPage(path, page);
    QUrl url = shopUrl(path);
    if (behaviour == TestShop::Slow) {
        shop->setSlow(path, 1500, 30);
    } else if (behaviour == TestShop::Redirect) {
        shop->setRedirect(path, QStringLiteral("/moved.html"), 302);
        shop->setPage(QStringLiteral("/moved.html"), "<html>moved here</html>");
    } else if (behaviour >= 0) {
        shop->setBehaviour(path, TestShop::Behaviour(behaviour));
    } else {
        // A port on which nothing listens: taken from the system, then let go.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
        url.setPort(probe.serverPort());
    }

    Rig rig;
    QVERIFY(rig.downloader.download(url));
    // The reply is the manager's child; count how often body pieces arrive.
    const QList<QNetworkReply *> replies = rig.manager.findChildren<QNetworkReply *>();
    QCOMPARE(replies.size(), 1);
    QSignalSpy pieces(replies.first(), SIGNAL(readyRead()));

    QVERIFY(rig.received.wait(waitLimitMs));
    QCOMPARE(rig.receiver.outcomes.size(), 1);
    const Outcome outcome = rig.receiver.outcomes.first();
    QCOMPARE(int(outcome.error), error);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.url, url);
    if (wholeBody)
        QVERIFY(outcome.bytes == page);
    if (behaviour == TestShop::EmptyBody)
        QVERIFY(outcome.bytes.isEmpty());
    if (behaviour == TestShop::Slow)
        QVERIFY2(pieces.count() > 1, "the body should have come in several pieces");

    // One request went out, and the downloader left the reply to the manager.
    QCOMPARE(shop->requests().size(), behaviour < 0 ? 0 : 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!outcome.reply.isNull());
    QCOMPARE(outcome.reply->parent(), &rig.manager);
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

    Rig rig;
    QVERIFY(rig.downloader.download(shopUrl(first)));
    QVERIFY(!rig.downloader.download(shopUrl(second)));
    // Refused again once the first answer has begun to arrive.
    QTRY_COMPARE_WITH_TIMEOUT(shop->requests().size(), 1, waitLimitMs);
    QVERIFY(!rig.downloader.download(shopUrl(second)));

    QVERIFY(rig.received.wait(waitLimitMs));
    QCOMPARE(rig.receiver.outcomes.size(), 1);
    QCOMPARE(rig.receiver.outcomes.first().url, shopUrl(first));
    QCOMPARE(rig.receiver.outcomes.first().error, QNetworkReply::NoError);
    QVERIFY(rig.receiver.outcomes.first().bytes == body);
    // The refused downloads were not queued: the shop saw the first request only.
    QCOMPARE(shop->requests().size(), 1);
    QCOMPARE(shop->requests().first().path, first);
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
    shop->setPage(first, "<html>first</html>");
    shop->setPage(second, "<html>second</html>");
    if (firstFails)
        shop->setBehaviour(first, TestShop::NotFound);

    Rig rig;
    if (fromHandler)
        rig.receiver.nextInside = shopUrl(second);
    QVERIFY(rig.downloader.download(shopUrl(first)));
    QVERIFY(rig.received.wait(waitLimitMs));
    if (fromHandler)
        QVERIFY(rig.receiver.acceptedInside);
    else
        QVERIFY(rig.downloader.download(shopUrl(second)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.receiver.outcomes.size(), 2, waitLimitMs);

    const Outcome one = rig.receiver.outcomes.at(0);
    const Outcome two = rig.receiver.outcomes.at(1);
    QCOMPARE(one.url, shopUrl(first));
    QCOMPARE(one.error, firstFails ? QNetworkReply::ContentNotFoundError : QNetworkReply::NoError);
    if (!firstFails)
        QVERIFY(one.bytes == "<html>first</html>");
    // The second body is its own: nothing of the first is left in it.
    QCOMPARE(two.url, shopUrl(second));
    QCOMPARE(two.error, QNetworkReply::NoError);
    QVERIFY(two.bytes == "<html>second</html>");
    QCOMPARE(shop->requests().size(), 2);
}

// The shop serves the catalogue at the plug-in's product paths (touch pages
// for "-touch" categories) to requests sent to it as a proxy, with the
// plug-in's whole URL; so does the standalone shop. The tests above show the
// direct route.
void tst_WebDownloader::reachesCatalogue_data()
{
    const auto row = [](const char *name, const char *route, const char *category,
                        const char *page) {
        QTest::newRow(name) << QString::fromUtf8(route) << QString::fromUtf8(category)
                            << QString::fromUtf8(page);
    };
    QTest::addColumn<QString>("route"); // "proxy"
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("page"); // in the catalogue

    row("PC page through the proxy", "proxy", "home", "pc/RJ100001");
    row("touch page through the proxy", "proxy", "maniax-touch", "touch/RJ100002");
}

void tst_WebDownloader::reachesCatalogue()
{
    QFETCH(QString, route);
    QFETCH(QString, category);
    QFETCH(QString, page);

    QFile file(TestPaths::dataFile(QStringLiteral("pages/%1.html").arg(page)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString id = page.section(QLatin1Char('/'), 1);
    QNetworkProxy proxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                        quint16(QUrl(shop->proxyUrl()).port()));

    Rig rig;
    rig.manager.setProxy(proxy);
    const QUrl url(TestShop::productUrl(category, id));
    QVERIFY(rig.downloader.download(url));
    QVERIFY(rig.received.wait(waitLimitMs));
    QCOMPARE(rig.receiver.outcomes.first().status, 200);
    QVERIFY(rig.receiver.outcomes.first().bytes == file.readAll());

    // The whole URL on the request line is logged under the page's path.
    const QList<TestShop::LoggedRequest> requests = shop->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().path, TestShop::productPath(category, id));
    QCOMPARE(requests.first().target, url.toEncoded());
}

QTEST_GUILESS_MAIN(tst_WebDownloader)
#include "tst_webdownloader.moc"
