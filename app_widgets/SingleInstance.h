#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace zorv {

// One window per user and display. The first start holds a lock file in the
// user's runtime folder and, once its window exists, listens on a local
// socket beside it; a later start of the same user on the same display hands
// its files over that socket and ends. The lock names the process that holds
// it, so a window that was killed leaves nothing that blocks the next start.
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
    // displays never share one.
    static QString serverName();

    // Takes the lock or hands the files (paths as given on the command line)
    // to the window that holds it. Needs the application object. When the
    // lock cannot be written at all, the process is the owner and
    // errorString() says why there is no hand-over.
    Outcome claim(const QStringList &files);
    // Accepts the files of later starts; call once the window can take them.
    bool listen();
    QString errorString() const { return error; }

signals:
    // Paths, absolute, as the later start named them; emitted before the
    // later start is told that the window has them.
    void received(QStringList files);

private slots:
    void onNewConnection();
    void onReadyRead();

private:
    Outcome handOver(const QStringList &files);

    QString name;
    QScopedPointer<QLockFile> lock;
    QLocalServer *server = nullptr;
    QString error;
};

} // namespace zorv
