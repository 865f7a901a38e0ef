#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QThread;
class TestShopServer;

// A small HTTP/1.1 web shop on 127.0.0.1 for the tests and the demo. It
// answers on a thread of its own, so a test may block its own thread (for
// example in QThread::wait) while another thread downloads from it. Every
// public function may be called from any thread.
//
// It understands both origin-form requests ("GET /home/work/... HTTP/1.1")
// and absolute-form requests as a proxy receives them ("GET
// http://www.sakuvo.example/home/work/... HTTP/1.1"), so a program pointed at
// it through the http_proxy setting keeps the shop's real URLs.
class TestShop
{
public:
    // What the shop does with a request for one path. CloseMidBody and Slow
    // send the path's page, or a 4 KB filler page when it has none.
    enum Behaviour {
        Serve,        // 200 with the page; 404 when there is no page
        NotFound,     // 404
        ServerError,  // 500
        Redirect,     // 301/302 with a Location header (see setRedirect)
        EmptyBody,    // 200 with Content-Length 0
        NeverAnswer,  // reads the request and stays silent, connection open
        CloseMidBody, // announces the whole body, sends half of it and closes
        Slow          // sends the body in chunks spread over a time (see setSlow)
    };

    // One request as the shop received it.
    struct LoggedRequest
    {
        // 1, 2, 3, ... in order of arrival (clearRequests does not restart it)
        int id = 0;
        // 1, 2, 3, ... per accepted connection, so reused connections show
        int connection = 0;
        QByteArray method;
        // As on the request line: a path, or a whole URL when sent to a proxy
        QByteArray target;
        // The target's path, percent-decoded, without query: the same for both forms
        QString path;
        // Names in lower case
        QHash<QByteArray, QByteArray> headers;
        // clockMs() when the request's head was complete
        qint64 receivedMs = -1;
        // clockMs() when the answer's last byte left the shop; -1 while it has not
        qint64 answeredMs = -1;
        // Status of the answer; 0 while none was sent
        int status = 0;
    };

    // Listens on 127.0.0.1 at the port (0: any free port) before returning.
    explicit TestShop(quint16 port = 0);
    ~TestShop();
    TestShop(const TestShop &) = delete;
    TestShop &operator=(const TestShop &) = delete;

    bool isListening() const;
    QString errorString() const;
    quint16 port() const;
    // "http://127.0.0.1:PORT": the shop as a proxy, and its origin for direct requests.
    QString proxyUrl() const;
    QString baseUrl() const;

    // A folder with pc/<ID>.html and touch/<ID>.html, served at
    // /<category>/work/=/product_id/<ID>.html (touch pages for categories
    // that end in "-touch"). Folders are searched in the order added; files
    // are read on every request.
    void addCatalogue(const QString &dir);
    // An explicit page; it wins over the catalogues.
    void setPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = defaultContentType());
    void removePage(const QString &path);
    void clearPages();

    // Behaviour for requests of one path (keyed like LoggedRequest::path);
    // Serve removes any set before. Redirect without setRedirect goes to "/",
    // Slow without setSlow takes 1 s in 10 chunks.
    void setBehaviour(const QString &path, Behaviour behaviour);
    // Redirect with the status (301 or 302) to a location sent as given
    // (an absolute URL or a path). The path's page, if any, is the body.
    void setRedirect(const QString &path, const QString &location, int status = 302);
    // Sends the head at once and the body in chunks over durationMs.
    void setSlow(const QString &path, int durationMs, int chunks = 10);
    void clearBehaviours();

    QList<LoggedRequest> requests() const;
    void clearRequests();

    // The monotonic clock of receivedMs and answeredMs, in milliseconds, for
    // tests that stamp their own events.
    static qint64 clockMs();
    static QByteArray defaultContentType();
    // "/<category>/work/=/product_id/<id>.html"
    static QString productPath(const QString &category, const QString &id);
    // "http://www.sakuvo.example/<category>/work/=/product_id/<id>.html"
    static QString productUrl(const QString &category, const QString &id);

private:
    friend class TestShopServer;

    struct Rule
    {
        Behaviour behaviour = Serve;
        QString location;
        int status = 302;
        int durationMs = 0;
        int chunks = 1;
    };
    struct Page
    {
        QByteArray body;
        QByteArray contentType;
    };
    // What the server needs to answer one path; taken in one piece under the lock.
    struct Answer
    {
        Rule rule;
        bool found = false;
        Page page;
    };

    Answer answerFor(const QString &path) const;
    int logRequest(LoggedRequest request);
    void logAnswer(int id, int status);
    void logAnswered(int id);

    mutable QMutex mutex;
    QStringList catalogues;
    QHash<QString, Page> pages;
    QHash<QString, Rule> rules;
    QList<LoggedRequest> log;
    int nextId = 1;

    QThread *thread = nullptr;
    TestShopServer *server = nullptr;
    quint16 listeningPort = 0;
    QString listenError;
};
