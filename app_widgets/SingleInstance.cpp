#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace zorv {

namespace {

// A hand-over is a count and that many paths, each ended by a NUL byte (a
// byte no path holds); the window answers "ok" once it has added them.
const QByteArray acknowledgement("ok");
const char separator = '\0';
const int maxFiles = 100000;
const qint64 maxMessageSize = 64 * 1024 * 1024;
// How long a later start waits for a window that is still starting up or
// busy, and how long the window waits for a connected start to send.
const int handOverTimeout = 15000;

QString userId()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString displayName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("none");
    return display.replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
    , name(serverName())
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName()
{
    // The runtime folder is the user's own (mode 0700): nobody else can
    // take the name or connect to it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("zorv-%1-%2.socket").arg(userId(), displayName()));
}

SingleInstance::Outcome SingleInstance::claim(const QStringList &files)
{
    lock.reset(new QLockFile(name + QStringLiteral(".lock")));
    // Never stale by age: a window runs for days. A lock whose process is
    // gone (killed, crashed) is stale and taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return Owner;
    if (lock->error() == QLockFile::LockFailedError)
        return handOver(files);
    error = QStringLiteral("cannot write the lock file %1; files of a later start are not "
                           "handed over to this window")
                .arg(name + QStringLiteral(".lock"));
    lock.reset();
    return Owner;
}

SingleInstance::Outcome SingleInstance::handOver(const QStringList &files)
{
    QByteArray message = QByteArray::number(files.size()) + separator;
    for (const QString &file : files)
        message += QFile::encodeName(QFileInfo(file).absoluteFilePath()) + separator;

    // The window may still be starting up (loading its plug-ins) before it
    // listens: try again until the deadline.
    const QDeadlineTimer deadline(handOverTimeout);
    QLocalSocket socket;
    do {
        socket.connectToServer(name);
        if (socket.waitForConnected(1000))
            break;
        socket.abort();
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    if (socket.state() != QLocalSocket::ConnectedState) {
        error = QStringLiteral("a zorv window of this user runs but does not answer at %1 (%2)")
                    .arg(name, socket.errorString());
        return Failed;
    }
    socket.write(message);
    const auto remaining = [&deadline] {
        return int(qBound<qint64>(1, deadline.remainingTime(), handOverTimeout));
    };
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired() &&
           socket.waitForBytesWritten(remaining())) {
    }
    QByteArray answer;
    while (answer.size() < acknowledgement.size()) {
        if (socket.bytesAvailable() == 0 &&
            (deadline.hasExpired() || !socket.waitForReadyRead(remaining())))
            break;
        answer += socket.read(acknowledgement.size() - answer.size());
    }
    if (answer != acknowledgement) {
        error = QStringLiteral("the running zorv window did not take the files (%1)")
                    .arg(socket.errorString());
        return Failed;
    }
    return HandedOver;
}

bool SingleInstance::listen()
{
    if (!lock)
        return false;
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket there is a crashed window's.
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        error = QStringLiteral("cannot listen at %1: %2").arg(name, server->errorString());
        return false;
    }
    connect(server, SIGNAL(newConnection()), this, SLOT(onNewConnection()));
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, SIGNAL(disconnected()), socket, SLOT(deleteLater()));
        connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
        QTimer::singleShot(handOverTimeout, socket, SLOT(abort()));
    }
}

void SingleInstance::onReadyRead()
{
    auto *socket = qobject_cast<QLocalSocket *>(sender());
    if (!socket)
        return;
    QByteArray buffer = socket->property("message").toByteArray() + socket->readAll();
    const QList<QByteArray> parts = buffer.split(separator);
    bool countRead = false;
    const int count = parts.first().toInt(&countRead);
    if (buffer.size() > maxMessageSize ||
        (parts.size() > 1 && (!countRead || count < 0 || count > maxFiles))) {
        socket->abort();
        return;
    }
    // Complete parts are the ones before the last separator.
    if (parts.size() - 1 < count + 1) {
        socket->setProperty("message", buffer);
        return;
    }
    socket->setProperty("message", QByteArray());
    QStringList files;
    for (int i = 1; i <= count; ++i)
        files.append(QFile::decodeName(parts.at(i)));
    emit received(files);
    socket->write(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
}

} // namespace zorv
