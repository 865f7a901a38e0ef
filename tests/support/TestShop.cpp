#include "TestShop.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>

namespace {
// A busy machine may take long to start Python or to answer; a healthy one takes milliseconds.
const int waitMs = 60000;
} // namespace

TestShop::TestShop()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The shop ends when this process does, even one that crashed: its stdin closes.
    process.start(QStringLiteral("python3"),
                  {QStringLiteral(ZORV_SHOP_SCRIPT), QStringLiteral("--exit-with-stdin")});
    const QDeadlineTimer deadline(waitMs);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        process.waitForReadyRead(100);
    const QByteArray line = process.readLine().trimmed();
    if (line.startsWith("listening "))
        port = quint16(QUrl(QString::fromLatin1(line.mid(10))).port());
    else
        error = QStringLiteral("the shop did not start: ") + process.errorString();
}

TestShop::~TestShop()
{
    process.kill();
    process.waitForFinished(waitMs);
}

QByteArray TestShop::control(const QByteArray &command, const QString &path, const QByteArray &body,
                             const QByteArray &contentType) const
{
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    const QByteArray query =
        path.isNull() ? QByteArray() : "?path=" + QUrl::toPercentEncoding(path);
    socket.write("POST /_shop/" + command + query +
                 " HTTP/1.1\r\nHost: shop\r\nConnection: close\r\n"
                 "Content-Type: " +
                 contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\n\r\n" + body);
    while (socket.waitForReadyRead(waitMs))
        ;
    const QByteArray answer = socket.readAll();
    if (answer.mid(9, 3) != "200" || !answer.contains("\r\n\r\n"))
        qFatal("the test shop did not take %s: %s", command.constData(), answer.constData());
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

void TestShop::addCatalogue(const QString &dir)
{
    control("catalogue", QString(), dir.toUtf8());
}

void TestShop::setPage(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    control("page", path, body, contentType);
}

void TestShop::removePage(const QString &path)
{
    control("unpage", path);
}

void TestShop::clearPages()
{
    control("clear?what=pages");
}

void TestShop::setRule(const QString &path, const Rule &rule)
{
    QJsonObject json;
    if (rule.status)
        json[QStringLiteral("status")] = rule.status;
    QJsonArray headers;
    for (const auto &header : rule.headers)
        headers.append(
            QJsonArray{QString::fromLatin1(header.first), QString::fromLatin1(header.second)});
    json[QStringLiteral("headers")] = headers;
    if (rule.fillerBytes >= 0 || rule.endless)
        json[QStringLiteral("size")] = rule.endless ? -1.0 : double(rule.fillerBytes);
    json[QStringLiteral("gzip")] = rule.gzip;
    json[QStringLiteral("cut")] = rule.cutMidBody;
    json[QStringLiteral("never")] = rule.neverAnswer;
    json[QStringLiteral("duration_ms")] = rule.durationMs;
    json[QStringLiteral("chunks")] = rule.chunks;
    if (rule.times >= 0)
        json[QStringLiteral("times")] = rule.times;
    control("rule", path, QJsonDocument(json).toJson(QJsonDocument::Compact));
}

void TestShop::setBehaviour(const QString &path, Behaviour behaviour)
{
    Rule rule;
    rule.status = behaviour == NotFound ? 404 : behaviour == ServerError ? 500 : 0;
    rule.fillerBytes = behaviour == EmptyBody ? 0 : -1;
    rule.neverAnswer = behaviour == NeverAnswer;
    rule.cutMidBody = behaviour == CloseMidBody;
    if (behaviour == Redirect)
        return setRedirect(path, QStringLiteral("/"));
    if (behaviour == Slow)
        return setSlow(path, 1000);
    if (behaviour == Serve)
        control("rule", path);
    else
        setRule(path, rule);
}

void TestShop::setRedirect(const QString &path, const QString &location, int status)
{
    Rule rule;
    rule.status = status;
    rule.headers.append({"Location", location.toUtf8()});
    setRule(path, rule);
}

void TestShop::setSlow(const QString &path, int durationMs, int chunks)
{
    Rule rule;
    rule.durationMs = durationMs;
    rule.chunks = chunks;
    setRule(path, rule);
}

void TestShop::clearBehaviours()
{
    control("clear?what=rules");
}

QList<TestShop::LoggedRequest> TestShop::requests() const
{
    QList<LoggedRequest> list;
    const QJsonArray log = QJsonDocument::fromJson(control("requests")).array();
    for (const QJsonValue &value : log) {
        const QJsonObject entry = value.toObject();
        list.append({entry[QStringLiteral("id")].toInt(),
                     entry[QStringLiteral("target")].toString().toUtf8(),
                     entry[QStringLiteral("path")].toString(),
                     qint64(entry[QStringLiteral("received_ms")].toDouble()),
                     qint64(entry[QStringLiteral("answered_ms")].toDouble()),
                     entry[QStringLiteral("status")].toInt()});
    }
    return list;
}

void TestShop::clearRequests()
{
    control("clear?what=requests");
}

QString TestShop::productPath(const QString &category, const QString &id)
{
    return QStringLiteral("/%1/work/=/product_id/%2.html").arg(category, id);
}

QString TestShop::productUrl(const QString &category, const QString &id)
{
    return QStringLiteral("http://www.sakuvo.example") + productPath(category, id);
}
