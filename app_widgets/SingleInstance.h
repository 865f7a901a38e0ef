#pragma once

#include <QByteArray>
#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace zorv {

// One window per user and display. The first start holds a lock file in a
// folder only the user can enter (the runtime folder, else a private one in
// the temporary folder) and, once its window exists, listens on a local
// socket beside it; a later start of the same user on the same display hands
// its files over that socket and ends. The lock names the process that holds
// it, so a window that was killed leaves nothing that blocks the next start.
// Without such a folder every start opens a window of its own.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum Outcome {
        Owner,      // this process opens the window
        HandedOver, // the running window has the files: end quietly
        Failed      // another window runs but did not take them: errorString()
    };

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket's path: it holds the user's id and the display, so users and
    // displays never share one. Empty, with *problem set, when no private
    // folder can be had.
    static QString serverName(QString *problem = nullptr);

    // Takes the lock or hands the files (paths as given on the command line)
    // to the window that holds it. Needs the application object. When the
    // lock cannot be written at all, the process is the owner and
    // errorString() says why there is no hand-over.
    Outcome claim(const QStringList &files);
    // Accepts the files of later starts; call once the window can take them.
    bool listen();
    QString errorString() const { return error; }

signals:
    // Paths, absolute, as the later start named them; emitted once the later
    // start has been told that the window has them.
    void received(QStringList files);

private slots:
    void onNewConnection();
    void onReadyRead();
    void onTimedOut();
    void onDisconnected();

private:
    // A message under way: the bytes so far, how far they were searched for
    // separators, how many were found, and the count once it is read.
    struct Pending
    {
        QByteArray message;
        int searched = 0;
        int separators = 0;
        int count = -1;
    };

    Outcome handOver(const QStringList &files);
    void drop(QLocalSocket *socket);
    void deliver(QLocalSocket *socket, const QByteArray &message, int count);

    QString name;
    QString folderProblem;
    QHash<QLocalSocket *, Pending> pending;
    QScopedPointer<QLockFile> lock;
    QLocalServer *server = nullptr;
    QString error;
};

} // namespace zorv
