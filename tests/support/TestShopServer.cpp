#include "TestShopServer.h"

#include "TestShop.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// Request heads larger than this are refused; no test client sends them.
const int maxHeadSize = 64 * 1024;
// Body size used when a stalling behaviour is set for a path without a page.
const int fillerSize = 4096;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 301:
        return QByteArrayLiteral("Moved Permanently");
    case 302:
        return QByteArrayLiteral("Found");
    case 303:
        return QByteArrayLiteral("See Other");
    case 307:
        return QByteArrayLiteral("Temporary Redirect");
    case 308:
        return QByteArrayLiteral("Permanent Redirect");
    case 400:
        return QByteArrayLiteral("Bad Request");
    case 404:
        return QByteArrayLiteral("Not Found");
    case 405:
        return QByteArrayLiteral("Method Not Allowed");
    case 431:
        return QByteArrayLiteral("Request Header Fields Too Large");
    case 500:
        return QByteArrayLiteral("Internal Server Error");
    case 501:
        return QByteArrayLiteral("Not Implemented");
    default:
        return QByteArrayLiteral("Unknown");
    }
}

QByteArray statusPage(int status)
{
    return "<html><head><title>" + QByteArray::number(status) + ' ' + reasonPhrase(status) +
           "</title></head><body><h1>" + reasonPhrase(status) + "</h1></body></html>\n";
}

QByteArray fillerPage()
{
    QByteArray page = "<html><head><title>filler</title></head><body>\n";
    while (page.size() < fillerSize - 20)
        page += "<p>0123456789</p>\n";
    page += "</body></html>\n";
    return page;
}

// The path of an origin-form target ("/a/b?q") or of an absolute-form one
// ("http://host/a/b?q"), percent-decoded and without query or fragment.
QString pathOfTarget(const QByteArray &target)
{
    QByteArray raw = target;
    const int scheme = raw.indexOf("://");
    if (!raw.startsWith('/') && scheme > 0) {
        const int slash = raw.indexOf('/', scheme + 3);
        raw = slash < 0 ? QByteArrayLiteral("/") : raw.mid(slash);
    }
    const int end = raw.indexOf('?');
    if (end >= 0)
        raw.truncate(end);
    const int fragment = raw.indexOf('#');
    if (fragment >= 0)
        raw.truncate(fragment);
    return QUrl::fromPercentEncoding(raw);
}

bool hasToken(const QByteArray &value, const char *token)
{
    const QList<QByteArray> parts = value.split(',');
    for (const QByteArray &part : parts) {
        if (part.trimmed().toLower() == token)
            return true;
    }
    return false;
}

} // namespace

TestShopServer::TestShopServer(TestShop *shop)
    : shop(shop)
{
}

TestShopServer::~TestShopServer()
{
    // Sockets go first and without telling this half-destroyed object.
    const QList<QTcpSocket *> sockets = connections.keys();
    for (QTcpSocket *socket : sockets) {
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        delete socket;
    }
    connections.clear();
}

bool TestShopServer::listen(int port)
{
    server = new QTcpServer(this);
    connect(server, SIGNAL(newConnection()), this, SLOT(onNewConnection()));
    return server->listen(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
}

quint16 TestShopServer::serverPort() const
{
    return server != nullptr && server->isListening() ? server->serverPort() : 0;
}

QString TestShopServer::errorString() const
{
    return server != nullptr ? server->errorString() : QString();
}

void TestShopServer::onNewConnection()
{
    while (server->hasPendingConnections()) {
        QTcpSocket *socket = server->nextPendingConnection();
        Connection connection;
        connection.number = nextConnection++;
        connections.insert(socket, connection);
        connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
        connect(socket, SIGNAL(bytesWritten(qint64)), this, SLOT(onBytesWritten()));
        connect(socket, SIGNAL(disconnected()), this, SLOT(onDisconnected()));
        // Data may have arrived before the connections were made.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, "onReadyRead", Qt::QueuedConnection);
    }
}

void TestShopServer::onReadyRead()
{
    QTcpSocket *socket = qobject_cast<QTcpSocket *>(sender());
    if (socket == nullptr) {
        // Queued from onNewConnection: look at every socket.
        const QList<QTcpSocket *> sockets = connections.keys();
        for (QTcpSocket *each : sockets) {
            if (connections.contains(each) && each->bytesAvailable() > 0) {
                connections[each].input += each->readAll();
                processInput(each);
            }
        }
        return;
    }
    auto it = connections.find(socket);
    if (it == connections.end())
        return;
    it->input += socket->readAll();
    processInput(socket);
}

void TestShopServer::processInput(QTcpSocket *socket)
{
    // Nothing in here closes the socket synchronously (closing is queued), so
    // the entry stays valid for the whole loop.
    auto it = connections.find(socket);
    if (it == connections.end())
        return;
    while (!it->busy && !it->silent) {
        if (!handleRequest(socket, *it))
            break;
    }
    if (it->silent)
        it->input.clear();
}

bool TestShopServer::handleRequest(QTcpSocket *socket, Connection &connection)
{
    const int headEnd = connection.input.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (connection.input.size() > maxHeadSize) {
            TestShop::LoggedRequest request;
            request.connection = connection.number;
            request.receivedMs = TestShop::clockMs();
            badRequest(socket, connection, shop->logRequest(request), 431);
            return true;
        }
        return false;
    }

    const QList<QByteArray> lines = connection.input.left(headEnd).split('\n');
    TestShop::LoggedRequest request;
    request.connection = connection.number;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(),
                                   line.mid(colon + 1).trimmed());
    }

    int bodySize = 0;
    if (request.headers.contains("content-length")) {
        bool ok = false;
        bodySize = request.headers.value("content-length").toInt(&ok);
        if (!ok || bodySize < 0)
            bodySize = -1;
    }
    if (bodySize > 0 && connection.input.size() < headEnd + 4 + bodySize)
        return false; // the body is still on its way
    connection.input.remove(0, headEnd + 4 + qMax(bodySize, 0));

    if (requestLine.size() == 3) {
        request.method = requestLine.at(0);
        request.target = requestLine.at(1);
        request.path = pathOfTarget(request.target);
    }
    request.receivedMs = TestShop::clockMs();
    const QByteArray method = request.method;
    const QString path = request.path;
    const QByteArray version = requestLine.value(2);
    const QByteArray connectionHeader =
        request.headers.value("connection") + ',' + request.headers.value("proxy-connection");
    const bool chunked = request.headers.contains("transfer-encoding");
    const int id = shop->logRequest(request);

    if (requestLine.size() != 3 || !version.startsWith("HTTP/1.") || bodySize < 0) {
        badRequest(socket, connection, id, 400);
        return true;
    }
    if (chunked) {
        badRequest(socket, connection, id, 501);
        return true;
    }
    connection.closeAfter = hasToken(connectionHeader, "close") ||
                            (version == "HTTP/1.0" && !hasToken(connectionHeader, "keep-alive"));
    if (method != "GET" && method != "HEAD") {
        send(socket, connection, id, 405, {{"Allow", "GET, HEAD"}}, statusPage(405), false);
        return true;
    }
    answer(socket, connection, id, method, path);
    return true;
}

void TestShopServer::answer(QTcpSocket *socket, Connection &connection, int id,
                            const QByteArray &method, const QString &path)
{
    const TestShop::Answer found = shop->answerFor(path);
    const bool headOnly = method == "HEAD";
    const QByteArray contentType =
        found.found ? found.page.contentType : TestShop::defaultContentType();
    const HeaderList typeHeader = {{"Content-Type", contentType}};

    switch (found.rule.behaviour) {
    case TestShop::Serve:
        if (found.found)
            send(socket, connection, id, 200, typeHeader, found.page.body, headOnly);
        else
            send(socket, connection, id, 404, typeHeader, statusPage(404), headOnly);
        return;
    case TestShop::NotFound:
        send(socket, connection, id, 404, typeHeader, statusPage(404), headOnly);
        return;
    case TestShop::ServerError:
        send(socket, connection, id, 500, typeHeader, statusPage(500), headOnly);
        return;
    case TestShop::Redirect: {
        const int status = found.rule.status;
        // The redirect's own body: the path's page when it has one.
        send(socket, connection, id, status,
             {{"Content-Type", contentType}, {"Location", found.rule.location.toUtf8()}},
             found.found ? found.page.body : statusPage(status), headOnly);
        return;
    }
    case TestShop::EmptyBody:
        send(socket, connection, id, 200, typeHeader, QByteArray(), headOnly);
        return;
    case TestShop::NeverAnswer:
        connection.silent = true;
        return;
    case TestShop::CloseMidBody:
    case TestShop::Slow:
        break;
    }

    const QByteArray body =
        found.found && found.page.body.size() >= 2 ? found.page.body : fillerPage();
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
                      (connection.closeAfter ? "Connection: close\r\n" : "") + "\r\n";
    shop->logAnswer(id, 200);

    if (found.rule.behaviour == TestShop::CloseMidBody) {
        // The head promises the whole body; the connection ends halfway.
        socket->write(head + body.left(body.size() / 2));
        connection.silent = true;
        connection.leaving.append(id);
        closeLater(socket);
        return;
    }

    socket->write(head);
    if (headOnly) {
        finishAnswer(socket, connection, id);
        return;
    }
    const int chunks = qMax(1, found.rule.chunks);
    connection.busy = true;
    connection.pending = body;
    connection.chunkSize = (body.size() + chunks - 1) / chunks;
    connection.slowId = id;
    if (connection.timer == nullptr) {
        connection.timer = new QTimer(socket);
        connect(connection.timer, SIGNAL(timeout()), this, SLOT(onSlowTick()));
    }
    connection.timer->start(qMax(1, found.rule.durationMs / chunks));
}

void TestShopServer::send(QTcpSocket *socket, Connection &connection, int id, int status,
                          const HeaderList &headers, const QByteArray &body, bool headOnly)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto &header : headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (connection.closeAfter)
        out += "Connection: close\r\n";
    out += "\r\n";
    if (!headOnly)
        out += body;
    socket->write(out);
    shop->logAnswer(id, status);
    finishAnswer(socket, connection, id);
}

void TestShopServer::finishAnswer(QTcpSocket *socket, Connection &connection, int id)
{
    // Stamped once the socket has handed the last byte to the system.
    connection.leaving.append(id);
    if (connection.closeAfter) {
        connection.silent = true;
        closeLater(socket);
    }
}

void TestShopServer::badRequest(QTcpSocket *socket, Connection &connection, int id, int status)
{
    connection.closeAfter = true;
    send(socket, connection, id, status, {{"Content-Type", TestShop::defaultContentType()}},
         statusPage(status), false);
}

void TestShopServer::closeLater(QTcpSocket *socket)
{
    // Closing can report the disconnection at once, which would drop the
    // connection's entry under the caller's feet: close from the event loop.
    if (closing.isEmpty())
        QMetaObject::invokeMethod(this, "onCloseRequested", Qt::QueuedConnection);
    if (!closing.contains(socket))
        closing.append(socket);
}

void TestShopServer::onCloseRequested()
{
    const QList<QPointer<QTcpSocket>> sockets = closing;
    closing.clear();
    for (const QPointer<QTcpSocket> &socket : sockets) {
        if (!socket.isNull() && connections.contains(socket.data()))
            socket->disconnectFromHost();
    }
}

void TestShopServer::onBytesWritten()
{
    QTcpSocket *socket = qobject_cast<QTcpSocket *>(sender());
    auto it = connections.find(socket);
    if (it == connections.end() || socket->bytesToWrite() > 0)
        return;
    for (int id : qAsConst(it->leaving))
        shop->logAnswered(id);
    it->leaving.clear();
}

void TestShopServer::onDisconnected()
{
    QTcpSocket *socket = qobject_cast<QTcpSocket *>(sender());
    auto it = connections.find(socket);
    if (it == connections.end())
        return;
    if (it->timer != nullptr)
        it->timer->stop();
    // What was written before the close has left (or never will).
    for (int id : qAsConst(it->leaving))
        shop->logAnswered(id);
    connections.erase(it);
    socket->deleteLater();
}

void TestShopServer::onSlowTick()
{
    QTimer *timer = qobject_cast<QTimer *>(sender());
    QTcpSocket *socket = timer != nullptr ? qobject_cast<QTcpSocket *>(timer->parent()) : nullptr;
    auto it = connections.find(socket);
    if (it == connections.end() || !it->busy) {
        if (timer != nullptr)
            timer->stop();
        return;
    }
    socket->write(it->pending.left(it->chunkSize));
    it->pending.remove(0, it->chunkSize);
    if (!it->pending.isEmpty())
        return;
    timer->stop();
    it->busy = false;
    finishAnswer(socket, *it, it->slowId);
    // A request that came while the body was trickling out is answered now.
    processInput(socket);
}
