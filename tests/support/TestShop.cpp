#include "TestShop.h"

#include "TestShopServer.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QThread>

#include <chrono>

namespace {

const QString storeHost = QStringLiteral("www.sakuvo.example");

} // namespace

TestShop::TestShop(quint16 port)
{
    thread = new QThread;
    thread->setObjectName(QStringLiteral("test shop"));
    server = new TestShopServer(this);
    server->moveToThread(thread);
    // The server and its sockets are destroyed on the shop's thread as it ends.
    QObject::connect(thread, SIGNAL(finished()), server, SLOT(deleteLater()));
    thread->start();

    bool listening = false;
    QMetaObject::invokeMethod(server, "listen", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, listening), Q_ARG(int, port));
    quint16 actual = 0;
    QMetaObject::invokeMethod(server, "serverPort", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(quint16, actual));
    QString error;
    if (!listening)
        QMetaObject::invokeMethod(server, "errorString", Qt::BlockingQueuedConnection,
                                  Q_RETURN_ARG(QString, error));
    QMutexLocker lock(&mutex);
    listeningPort = listening ? actual : 0;
    listenError = error;
}

TestShop::~TestShop()
{
    thread->quit();
    thread->wait();
    delete thread;
}

bool TestShop::isListening() const
{
    QMutexLocker lock(&mutex);
    return listeningPort != 0;
}

QString TestShop::errorString() const
{
    QMutexLocker lock(&mutex);
    return listenError;
}

quint16 TestShop::port() const
{
    QMutexLocker lock(&mutex);
    return listeningPort;
}

QString TestShop::proxyUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

QString TestShop::baseUrl() const
{
    return proxyUrl();
}

void TestShop::addCatalogue(const QString &dir)
{
    QMutexLocker lock(&mutex);
    catalogues.append(dir);
}

void TestShop::setPage(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    QMutexLocker lock(&mutex);
    pages.insert(path, Page{body, contentType});
}

void TestShop::removePage(const QString &path)
{
    QMutexLocker lock(&mutex);
    pages.remove(path);
}

void TestShop::clearPages()
{
    QMutexLocker lock(&mutex);
    pages.clear();
}

void TestShop::setBehaviour(const QString &path, Behaviour behaviour)
{
    QMutexLocker lock(&mutex);
    if (behaviour == Serve) {
        rules.remove(path);
        return;
    }
    Rule rule;
    rule.behaviour = behaviour;
    if (behaviour == Redirect)
        rule.location = QStringLiteral("/");
    if (behaviour == Slow) {
        rule.durationMs = 1000;
        rule.chunks = 10;
    }
    rules.insert(path, rule);
}

void TestShop::setRedirect(const QString &path, const QString &location, int status)
{
    QMutexLocker lock(&mutex);
    Rule rule;
    rule.behaviour = Redirect;
    rule.location = location;
    rule.status = status;
    rules.insert(path, rule);
}

void TestShop::setSlow(const QString &path, int durationMs, int chunks)
{
    QMutexLocker lock(&mutex);
    Rule rule;
    rule.behaviour = Slow;
    rule.durationMs = qMax(0, durationMs);
    rule.chunks = qMax(1, chunks);
    rules.insert(path, rule);
}

void TestShop::clearBehaviours()
{
    QMutexLocker lock(&mutex);
    rules.clear();
}

QList<TestShop::LoggedRequest> TestShop::requests() const
{
    QMutexLocker lock(&mutex);
    return log;
}

void TestShop::clearRequests()
{
    QMutexLocker lock(&mutex);
    log.clear();
}

qint64 TestShop::clockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QByteArray TestShop::defaultContentType()
{
    return QByteArrayLiteral("text/html; charset=utf-8");
}

QString TestShop::productPath(const QString &category, const QString &id)
{
    return QStringLiteral("/%1/work/=/product_id/%2.html").arg(category, id);
}

QString TestShop::productUrl(const QString &category, const QString &id)
{
    return QStringLiteral("http://") + storeHost + productPath(category, id);
}

TestShop::Answer TestShop::answerFor(const QString &path) const
{
    Answer answer;
    QStringList dirs;
    {
        QMutexLocker lock(&mutex);
        answer.rule = rules.value(path);
        const auto page = pages.constFind(path);
        if (page != pages.constEnd()) {
            answer.found = true;
            answer.page = *page;
            return answer;
        }
        dirs = catalogues;
    }

    // The product ID becomes part of a file path, so only plain IDs are looked up.
    static const QRegularExpression product(
        QStringLiteral("^/([^/]+)/work/=/product_id/([A-Za-z0-9_-]+)\\.html$"));
    const QRegularExpressionMatch match = product.match(path);
    if (!match.hasMatch())
        return answer;
    const QString layout = match.captured(1).endsWith(QLatin1String("-touch"))
                               ? QStringLiteral("touch")
                               : QStringLiteral("pc");
    const QString name = match.captured(2) + QStringLiteral(".html");
    for (const QString &dir : qAsConst(dirs)) {
        QFile file(QDir(dir).filePath(layout + QLatin1Char('/') + name));
        if (file.open(QIODevice::ReadOnly)) {
            answer.found = true;
            answer.page = Page{file.readAll(), defaultContentType()};
            return answer;
        }
    }
    return answer;
}

int TestShop::logRequest(LoggedRequest request)
{
    QMutexLocker lock(&mutex);
    request.id = nextId++;
    log.append(request);
    return request.id;
}

void TestShop::logAnswer(int id, int status)
{
    QMutexLocker lock(&mutex);
    for (int i = log.size() - 1; i >= 0; --i) {
        if (log.at(i).id == id) {
            log[i].status = status;
            return;
        }
    }
}

void TestShop::logAnswered(int id)
{
    const qint64 now = clockMs();
    QMutexLocker lock(&mutex);
    for (int i = log.size() - 1; i >= 0; --i) {
        if (log.at(i).id == id) {
            if (log.at(i).answeredMs < 0)
                log[i].answeredMs = now;
            return;
        }
    }
}
