#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>

// The local web shop of the tests (tests/shop.py) as a process of its own on
// 127.0.0.1, driven through control requests; callable from any thread. A
// program whose http_proxy names proxyUrl() reaches it with the store's URLs.
class TestShop
{
public:
    // clang-format off
    enum Behaviour { Serve, NotFound, ServerError, Redirect, EmptyBody, NeverAnswer, CloseMidBody,
                     Slow };
    // clang-format on

    // What the shop answers for one path; what a rule leaves as it is keeps
    // the normal answer (200 with the page, 404 without one).
    struct Rule
    {
        int status = 0;
        QList<QPair<QByteArray, QByteArray>> headers; // e.g. Location, Retry-After, Content-Type
        qint64 fillerBytes = -1; // a body of so many filler bytes instead of the page
        bool endless = false;    // a filler body that never ends
        bool gzip = false;       // the body sent gzip-compressed
        bool cutMidBody = false; // the whole body announced, half of it sent, then closed
        bool neverAnswer = false;
        bool held = false;  // answered once release() is called for the path
        int durationMs = 0; // the body spread over this time ...
        int chunks = 1;     // ... in so many pieces
        int times = -1;     // answers so many requests, then the path is served as usual
    };

    struct LoggedRequest
    {
        QByteArray target; // as on the request line: a path, or a whole URL sent to a proxy
        QString path;      // the target's path, percent-decoded
        qint64 receivedMs, answeredMs; // when it came, when the answer's last byte left (or -1)
        int status;
    };

    TestShop();
    ~TestShop() { process.kill(), process.waitForFinished(); }

    bool isListening() const { return port != 0; }
    QString errorString() const { return error; }
    // "http://127.0.0.1:PORT": the shop as a proxy, and its origin for direct requests.
    QString proxyUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

    // A folder with pc/<ID>.html and touch/<ID>.html, searched in the order added.
    void addCatalogue(const QString &dir) { control("catalogue", QString(), dir.toUtf8()); }
    // An explicit page; it wins over the catalogues.
    void setPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = "text/html; charset=utf-8")
    {
        control("page", path, body, contentType);
    }
    void clearPages() { control("clear?what=pages"); }

    void setRule(const QString &path, const Rule &rule);
    // Redirect goes to "/", Slow takes 1 s in 10 pieces; Serve removes the rule.
    void setBehaviour(const QString &path, Behaviour behaviour);
    void setRedirect(const QString &path, const QString &location, int status = 302);
    void setSlow(const QString &path, int durationMs, int chunks = 10);
    void clearBehaviours() { control("clear?what=rules"); }

    void release(const QString &path) { control("release", path); }

    QList<LoggedRequest> requests() const;
    void clearRequests() { control("clear?what=requests"); }

    // "/<category>/work/=/product_id/<id>.html" and the store's whole URL of it
    static QString productPath(const QString &category, const QString &id)
    {
        return QStringLiteral("/%1/work/=/product_id/%2.html").arg(category, id);
    }
    static QString productUrl(const QString &category, const QString &id)
    {
        return QStringLiteral("http://www.sakuvo.example") + productPath(category, id);
    }

private:
    QByteArray control(const QByteArray &command, const QString &path = QString(),
                       const QByteArray &body = QByteArray(),
                       const QByteArray &contentType = "text/plain") const;

    QProcess process;
    quint16 port = 0;
    QString error;
};
