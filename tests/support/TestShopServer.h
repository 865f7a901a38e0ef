#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>

class QTcpServer;
class QTcpSocket;
class QTimer;
class TestShop;

// The test shop's network side. It lives on the shop's own thread and is
// only ever touched there; what to answer it asks the shop, which guards its
// settings and its request log with a lock.
class TestShopServer : public QObject
{
    Q_OBJECT
public:
    explicit TestShopServer(TestShop *shop);
    ~TestShopServer() override;

public slots:
    // Called on the shop's thread; fills the port or the error text.
    bool listen(int port);
    quint16 serverPort() const;
    QString errorString() const;

private slots:
    void onNewConnection();
    void onReadyRead();
    void onBytesWritten();
    void onDisconnected();
    void onSlowTick();
    void onCloseRequested();

private:
    struct Connection
    {
        int number = 0;
        QByteArray input;
        bool busy = false;       // a slow answer is still being sent
        bool silent = false;     // never answers again (and ignores what follows)
        bool closeAfter = false; // the client asked to close after the answer
        QTimer *timer = nullptr;
        QByteArray pending; // the rest of a slow body
        int chunkSize = 0;
        int slowId = 0;     // request whose slow body is being sent
        QList<int> leaving; // requests whose answers are still leaving the socket
    };

    void processInput(QTcpSocket *socket);
    // Handles one complete request at the head of the input; false when the
    // input does not hold a complete request yet.
    bool handleRequest(QTcpSocket *socket, Connection &connection);
    void answer(QTcpSocket *socket, Connection &connection, int id, const QByteArray &method,
                const QString &path);
    void send(QTcpSocket *socket, Connection &connection, int id, int status,
              const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body,
              bool headOnly);
    void finishAnswer(QTcpSocket *socket, Connection &connection, int id);
    void closeLater(QTcpSocket *socket);
    void badRequest(QTcpSocket *socket, Connection &connection, int id, int status);

    TestShop *const shop;
    QTcpServer *server = nullptr;
    QHash<QTcpSocket *, Connection> connections;
    QList<QPointer<QTcpSocket>> closing;
    int nextConnection = 1;
};
