#include "TestShop.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>

// A busy machine may take long to start Python or to answer; a quiet one takes milliseconds.
static const int waitMs = 60000;

TestShop::TestShop()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The shop ends when this process does, even one that crashed: its stdin closes.
    process.start("python3", {ZORV_SHOP_SCRIPT, "--exit-with-stdin"});
    const QDeadlineTimer deadline(waitMs);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        process.waitForReadyRead(100);
    const QByteArray line = process.readLine().trimmed();
    if (line.startsWith("listening "))
        port = quint16(QUrl(QString::fromLatin1(line.mid(10))).port());
    else
        error = "the shop did not start: " + process.errorString();
}

QByteArray TestShop::control(const QByteArray &command, const QString &path, const QByteArray &body,
                             const QByteArray &contentType) const
{
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost("127.0.0.1", port);
    socket.write("POST /_shop/" + command +
                 (path.isNull() ? "" : "?path=" + QUrl::toPercentEncoding(path)) +
                 " HTTP/1.1\r\nHost: shop\r\nConnection: close\r\nContent-Type: " + contentType +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    while (socket.waitForReadyRead(waitMs))
        ;
    const QByteArray answer = socket.readAll();
    if (answer.mid(9, 3) != "200")
        qFatal("the test shop did not take %s: %s", command.constData(), answer.constData());
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

void TestShop::setRule(const QString &path, const Rule &rule)
{
    QVariantList headers;
    for (const auto &header : rule.headers)
        headers.append(QVariant(QVariantList{QString(header.first), QString(header.second)}));
    const QVariantMap json{
        {"status", rule.status},     {"headers", headers}, {"size", rule.fillerBytes},
        {"endless", rule.endless},   {"gzip", rule.gzip},  {"cut", rule.cutMidBody},
        {"never", rule.neverAnswer}, {"hold", rule.held},  {"duration_ms", rule.durationMs},
        {"chunks", rule.chunks},     {"times", rule.times}};
    control("rule", path, QJsonDocument::fromVariant(json).toJson(QJsonDocument::Compact));
}

void TestShop::setBehaviour(const QString &path, Behaviour behaviour)
{
    Rule rule;
    rule.status = behaviour == NotFound ? 404 : behaviour == ServerError ? 500 : 0;
    rule.fillerBytes = behaviour == EmptyBody ? 0 : -1;
    rule.neverAnswer = behaviour == NeverAnswer;
    rule.cutMidBody = behaviour == CloseMidBody;
    if (behaviour == Redirect)
        setRedirect(path, "/");
    else if (behaviour == Slow)
        setSlow(path, 1000);
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

QList<TestShop::LoggedRequest> TestShop::requests() const
{
    QList<LoggedRequest> list;
    for (const QVariant &value :
         QJsonDocument::fromJson(control("requests")).toVariant().toList()) {
        const QVariantMap entry = value.toMap();
        list.append({entry["target"].toByteArray(), entry["path"].toString(),
                     entry["received_ms"].toLongLong(), entry["answered_ms"].toLongLong(),
                     entry["status"].toInt()});
    }
    return list;
}
