#include "TestPaths.h"
#include "TestShop.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const int waitLimitMs = 20000;

const QByteArray pcPage = "<html><body>pc RJ000001 \xe6\x97\xa5\xe6\x9c\xac</body></html>";
const QByteArray touchPage = "<html><body>touch RJ000001</body></html>";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a finished reply brought.
struct Fetched
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray location;
    QByteArray contentLength;
    QByteArray body;
};

Fetched takeReply(QNetworkReply *reply)
{
    Fetched fetched;
    fetched.error = reply->error();
    fetched.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    fetched.location = reply->rawHeader("Location");
    fetched.contentLength = reply->rawHeader("Content-Length");
    fetched.body = reply->readAll();
    reply->deleteLater();
    return fetched;
}

// Fetches a URL with a local event loop, the way the renamer's thread waits.
Fetched fetch(QNetworkAccessManager &manager, const QUrl &url)
{
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, SIGNAL(finished()), &loop, SLOT(quit()));
    QTimer::singleShot(waitLimitMs, &loop, SLOT(quit()));
    loop.exec();
    if (!reply->isFinished()) {
        reply->abort();
        Fetched timedOut;
        timedOut.error = QNetworkReply::TimeoutError;
        reply->deleteLater();
        return timedOut;
    }
    return takeReply(reply);
}

QNetworkProxy proxyOf(const TestShop &shop)
{
    return QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), shop.port());
}

} // namespace

// Fetches one URL on a thread of its own while the test's thread is blocked.
class FetchThread : public QThread
{
public:
    FetchThread(const QUrl &url, const QNetworkProxy &proxy)
        : url(url)
        , proxy(proxy)
    {
    }
    Fetched result;

protected:
    void run() override
    {
        QNetworkAccessManager manager;
        manager.setProxy(proxy);
        result = fetch(manager, url);
    }

private:
    const QUrl url;
    const QNetworkProxy proxy;
};

class tst_TestShop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void answersThroughProxy_data();
    void answersThroughProxy();
    void neverAnswerStaysSilent();
    void systemProxySettingReachesShop();
    void keepsConnectionsAndLogsTimes();
    void servesWhileCallerBlocks();
    void standaloneProgram();

private:
    QTemporaryDir catalogue;
    QScopedPointer<TestShop> shop;
};

void tst_TestShop::initTestCase()
{
    QVERIFY(catalogue.isValid());
    QVERIFY(QDir(catalogue.path()).mkpath(QStringLiteral("pc")));
    QVERIFY(QDir(catalogue.path()).mkpath(QStringLiteral("touch")));
    QVERIFY(writeFile(catalogue.filePath(QStringLiteral("pc/RJ000001.html")), pcPage));
    QVERIFY(writeFile(catalogue.filePath(QStringLiteral("touch/RJ000001.html")), touchPage));
    shop.reset(new TestShop);
    QVERIFY2(shop->isListening(), qPrintable(shop->errorString()));
    shop->addCatalogue(catalogue.path());
}

void tst_TestShop::cleanup()
{
    shop->clearPages();
    shop->clearBehaviours();
    shop->clearRequests();
}

void tst_TestShop::answersThroughProxy_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("expectedError");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<QByteArray>("expectedBody"); // null: not compared

    const int none = QNetworkReply::NoError;
    const int serve = TestShop::Serve;
    QTest::newRow("pc page from catalogue")
        << QStringLiteral("home") << QStringLiteral("RJ000001") << serve << none << 200 << pcPage;
    QTest::newRow("touch page from catalogue")
        << QStringLiteral("maniax-touch") << QStringLiteral("RJ000001") << serve << none << 200
        << touchPage;
    QTest::newRow("missing page") << QStringLiteral("home") << QStringLiteral("RJ999999") << serve
                                  << int(QNetworkReply::ContentNotFoundError) << 404
                                  << QByteArray();
    QTest::newRow("not found") << QStringLiteral("home") << QStringLiteral("RJ000001")
                               << int(TestShop::NotFound)
                               << int(QNetworkReply::ContentNotFoundError) << 404 << QByteArray();
    QTest::newRow("server error") << QStringLiteral("home") << QStringLiteral("RJ000001")
                                  << int(TestShop::ServerError)
                                  << int(QNetworkReply::InternalServerError) << 500 << QByteArray();
    QTest::newRow("redirect") << QStringLiteral("home") << QStringLiteral("RJ000001")
                              << int(TestShop::Redirect) << none << 301 << pcPage;
    QTest::newRow("empty body") << QStringLiteral("home") << QStringLiteral("RJ000001")
                                << int(TestShop::EmptyBody) << none << 200 << QByteArray("");
    QTest::newRow("closed mid-body")
        << QStringLiteral("home") << QStringLiteral("RJ000001") << int(TestShop::CloseMidBody)
        << int(QNetworkReply::RemoteHostClosedError) << 200 << QByteArray();
    QTest::newRow("slow") << QStringLiteral("home") << QStringLiteral("RJ000001")
                          << int(TestShop::Slow) << none << 200 << pcPage;
}

void tst_TestShop::answersThroughProxy()
{
    QFETCH(QString, category);
    QFETCH(QString, id);
    QFETCH(int, behaviour);
    QFETCH(int, expectedError);
    QFETCH(int, expectedStatus);
    QFETCH(QByteArray, expectedBody);

    const QString path = TestShop::productPath(category, id);
    const QString elsewhere = TestShop::productUrl(QStringLiteral("maniax"), id);
    const int slowMs = 400;
    if (behaviour == TestShop::Redirect)
        shop->setRedirect(path, elsewhere, 301);
    else if (behaviour == TestShop::Slow)
        shop->setSlow(path, slowMs, 4);
    else
        shop->setBehaviour(path, TestShop::Behaviour(behaviour));

    QNetworkAccessManager manager;
    manager.setProxy(proxyOf(*shop));
    // Redirects are left to the caller here, so the shop's own answer shows.
    manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    const Fetched fetched = fetch(manager, QUrl(TestShop::productUrl(category, id)));

    QCOMPARE(int(fetched.error), expectedError);
    QCOMPARE(fetched.status, expectedStatus);
    if (!expectedBody.isNull()) {
        QVERIFY(fetched.body == expectedBody);
        QCOMPARE(fetched.contentLength, QByteArray::number(expectedBody.size()));
    }
    if (behaviour == TestShop::Redirect)
        QCOMPARE(fetched.location, elsewhere.toUtf8());
    if (behaviour == TestShop::CloseMidBody)
        QVERIFY(fetched.body.size() < fetched.contentLength.toInt());

    const QList<TestShop::LoggedRequest> requests = shop->requests();
    QCOMPARE(requests.size(), 1);
    const TestShop::LoggedRequest &request = requests.first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, path);
    QCOMPARE(request.target, TestShop::productUrl(category, id).toUtf8());
    QCOMPARE(request.headers.value("host"), QByteArray("www.sakuvo.example"));
    QCOMPARE(request.status, expectedStatus);
    QTRY_VERIFY_WITH_TIMEOUT(shop->requests().first().answeredMs >= request.receivedMs,
                             waitLimitMs);
    if (behaviour == TestShop::Slow)
        QVERIFY(shop->requests().first().answeredMs - request.receivedMs >= slowMs * 3 / 4);
}

void tst_TestShop::neverAnswerStaysSilent()
{
    const QString silent =
        TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000001"));
    const QString other =
        TestShop::productPath(QStringLiteral("girls"), QStringLiteral("RJ000001"));
    shop->setBehaviour(silent, TestShop::NeverAnswer);

    QNetworkAccessManager manager;
    QNetworkReply *stalled = manager.get(QNetworkRequest(QUrl(shop->baseUrl() + silent)));
    QTRY_COMPARE_WITH_TIMEOUT(shop->requests().size(), 1, waitLimitMs);
    // Another request is answered meanwhile, and the first still waits.
    const Fetched answered = fetch(manager, QUrl(shop->baseUrl() + other));
    QCOMPARE(answered.status, 200);
    QVERIFY(answered.body == pcPage);
    QVERIFY(!stalled->isFinished());
    QCOMPARE(shop->requests().first().status, 0);
    QCOMPARE(shop->requests().first().answeredMs, qint64(-1));
    QVERIFY(shop->requests().first().connection != shop->requests().last().connection);
    stalled->abort();
    QCOMPARE(stalled->error(), QNetworkReply::OperationCanceledError);
    delete stalled;
}

void tst_TestShop::systemProxySettingReachesShop()
{
    // The route the renamer's tests take: the shop's real URLs, the proxy
    // from the environment.
    const QByteArray saved = qgetenv("http_proxy");
    qputenv("http_proxy", shop->proxyUrl().toLatin1());
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    QNetworkAccessManager manager;
    const Fetched fetched =
        fetch(manager,
              QUrl(TestShop::productUrl(QStringLiteral("home-touch"), QStringLiteral("RJ000001"))));
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    if (saved.isNull())
        qunsetenv("http_proxy");
    else
        qputenv("http_proxy", saved);

    QCOMPARE(fetched.status, 200);
    QVERIFY(fetched.body == touchPage);
    QCOMPARE(shop->requests().size(), 1);
    QVERIFY(shop->requests().first().target.startsWith("http://www.sakuvo.example/"));
}

void tst_TestShop::keepsConnectionsAndLogsTimes()
{
    QNetworkAccessManager manager;
    const QUrl url(shop->baseUrl() +
                   TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000001")));
    const qint64 before = TestShop::clockMs();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(fetch(manager, url).status, 200);

    const QList<TestShop::LoggedRequest> requests = shop->requests();
    QCOMPARE(requests.size(), 3);
    for (int i = 0; i < requests.size(); ++i) {
        const TestShop::LoggedRequest &request = requests.at(i);
        QCOMPARE(request.target, url.path(QUrl::FullyEncoded).toUtf8());
        QCOMPARE(request.connection, requests.first().connection);
        QVERIFY(request.receivedMs >= before);
        QVERIFY(request.answeredMs >= request.receivedMs);
        if (i > 0) {
            QCOMPARE(request.id, requests.at(i - 1).id + 1);
            QVERIFY(request.receivedMs >= requests.at(i - 1).answeredMs);
        }
    }
    shop->clearRequests();
    QVERIFY(shop->requests().isEmpty());
}

void tst_TestShop::servesWhileCallerBlocks()
{
    const QString path = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ000001"));
    shop->setSlow(path, 300, 3);
    FetchThread thread(
        QUrl(TestShop::productUrl(QStringLiteral("home"), QStringLiteral("RJ000001"))),
        proxyOf(*shop));
    thread.start();
    // This thread runs no event loop while it waits.
    QVERIFY(thread.wait(waitLimitMs));
    QCOMPARE(thread.result.status, 200);
    QVERIFY(thread.result.body == pcPage);
}

void tst_TestShop::standaloneProgram()
{
    // The demo serves the fixture catalogue; a page of it must come back as it is.
    const QDir fixtures(TestPaths::dataFile(QStringLiteral("pages/touch")));
    const QStringList fixturePages =
        fixtures.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QProcess program;
    program.start(TestPaths::binDir() + QStringLiteral("/zorv-test-shop"),
                  {QStringLiteral("--catalogue"), catalogue.path(), QStringLiteral("--catalogue"),
                   TestPaths::dataFile(QStringLiteral("pages"))});
    QVERIFY2(program.waitForStarted(waitLimitMs), qPrintable(program.errorString()));
    QVERIFY(program.waitForReadyRead(waitLimitMs));
    const QByteArray line = program.readLine().trimmed();
    QVERIFY2(line.startsWith("listening http://127.0.0.1:"), line.constData());
    const QUrl proxy(QString::fromLatin1(line.mid(int(qstrlen("listening ")))));

    QNetworkAccessManager manager;
    manager.setProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, proxy.host(), static_cast<quint16>(proxy.port())));
    const Fetched own = fetch(
        manager, QUrl(TestShop::productUrl(QStringLiteral("home"), QStringLiteral("RJ000001"))));
    QCOMPARE(own.status, 200);
    QVERIFY(own.body == pcPage);
    if (!fixturePages.isEmpty()) {
        const QString id = fixturePages.first().chopped(int(qstrlen(".html")));
        QFile page(fixtures.filePath(fixturePages.first()));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const Fetched fixture =
            fetch(manager, QUrl(TestShop::productUrl(QStringLiteral("books-touch"), id)));
        QCOMPARE(fixture.status, 200);
        QVERIFY(fixture.body == page.readAll());
    }

    program.terminate();
    QVERIFY(program.waitForFinished(waitLimitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_TestShop)
#include "tst_testshop.moc"
