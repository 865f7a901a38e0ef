#include "SingleInstance.h"
#include "utility/FileRename.h"
#include "utility/LogCategory.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorv {

namespace {

// A hand-over is a count and that many paths, each ended by a NUL byte (a
// byte no path holds); the window answers "ok" once it has added them.
const QByteArray acknowledgement("ok");
const char separator = '\0';
const int maxFiles = 100000;
const int maxCountDigits = 6;
// What one connection may send: as many files with paths of a usual length.
const qint64 maxMessageSize = 16 * 1024 * 1024;
// Connections heard at once; with the limit above, what the window holds for
// them stays bounded however many a process opens.
const int maxPendingConnections = 8;
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

// The count of files that starts a message: decimal digits only, within
// the limit; -1 for anything else.
int parsedCount(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > maxCountDigits)
        return -1;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
    }
    const int count = text.toInt();
    return count <= maxFiles ? count : -1;
}

#ifdef Q_OS_UNIX
// A folder nobody but this user can enter or change: owned by the user, no
// rights for group or others, not a link. Empty, or why not.
QString privacyProblem(const QString &folder)
{
    struct stat info;
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("not a folder");
    if (info.st_uid != ::getuid())
        return QStringLiteral("owned by another user");
    if (info.st_mode & 077)
        return QStringLiteral("open to other users");
    return QString();
}
#endif

// The runtime folder when it is private, else a private folder of this
// user's own in the temporary folder; empty when neither can be had.
QString endpointFolder(QString *problem)
{
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && privacyProblem(runtime).isEmpty())
        return runtime;
    // Where Qt programs put a runtime folder of their own.
    const struct passwd *user = ::getpwuid(::getuid());
    const QString own = QDir(QDir::tempPath())
                            .filePath(QStringLiteral("runtime-") +
                                      (user ? QFile::decodeName(user->pw_name) : userId()));
    // Made private at once; one that is there already is looked at as closely.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    *problem = privacyProblem(own);
    if (problem->isEmpty())
        return own;
    *problem = QStringLiteral("%1: %2").arg(own, *problem);
    return QString();
#else
    Q_UNUSED(problem);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
#endif
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    name = serverName(&folderProblem);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(QString *problem)
{
    QString why;
    const QString folder = endpointFolder(&why);
    if (problem)
        *problem = why;
    if (folder.isEmpty())
        return QString();
    return QDir(folder).filePath(QStringLiteral("zorv-%1-%2.socket").arg(userId(), displayName()));
}

SingleInstance::Outcome SingleInstance::claim(const QStringList &files)
{
    // Another user could listen in a folder open to them, or hold it: this
    // window goes its own way.
    if (name.isEmpty()) {
        error = tr("no private folder for the hand-over to a running window (%1); this window "
                   "opens on its own and takes no files of later starts")
                    .arg(folderProblem);
        return Owner;
    }
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
        // Later starts are a few, each done in a moment: more at once are
        // dropped unanswered (their start says the window did not take them).
        if (pending.size() >= maxPendingConnections) {
            drop(socket);
            continue;
        }
        pending.insert(socket, Pending());
        connect(socket, SIGNAL(disconnected()), this, SLOT(onDisconnected()));
        connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
        // A start that has not finished its message in time is dropped.
        QTimer *timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, SIGNAL(timeout()), this, SLOT(onTimedOut()));
        timer->start(handOverTimeout);
    }
}

void SingleInstance::onTimedOut()
{
    if (auto *socket = qobject_cast<QLocalSocket *>(sender() ? sender()->parent() : nullptr))
        drop(socket);
}

void SingleInstance::onDisconnected()
{
    if (auto *socket = qobject_cast<QLocalSocket *>(sender())) {
        pending.remove(socket);
        socket->deleteLater();
    }
}

void SingleInstance::drop(QLocalSocket *socket)
{
    pending.remove(socket);
    socket->abort();
    socket->deleteLater();
}

// The message is searched once, as it comes: a count, then that many paths,
// each ended by the separator, and nothing after them. Anything else, or
// more than one connection may send, drops the connection.
void SingleInstance::onReadyRead()
{
    auto *socket = qobject_cast<QLocalSocket *>(sender());
    const auto it = pending.find(socket);
    if (it == pending.end()) {
        if (socket)
            socket->readAll();
        return;
    }
    Pending &message = *it;
    message.message += socket->readAll();
    if (message.message.size() > maxMessageSize)
        return drop(socket);
    for (int at; (at = message.message.indexOf(separator, message.searched)) >= 0;) {
        if (message.count < 0 && (message.count = parsedCount(message.message.left(at))) < 0)
            return drop(socket);
        message.searched = at + 1;
        if (++message.separators == message.count + 1)
            break;
    }
    const bool whole = message.count >= 0 && message.separators == message.count + 1;
    if ((whole && message.searched != message.message.size()) ||
        (message.count < 0 && message.message.size() > maxCountDigits))
        return drop(socket);
    if (!whole)
        return;
    const Pending complete = pending.take(socket);
    deliver(socket, complete.message, complete.count);
}

// The later start is answered as soon as the list is whole; the window adds
// the files afterwards.
void SingleInstance::deliver(QLocalSocket *socket, const QByteArray &message, int count)
{
    socket->write(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    const QList<QByteArray> parts = message.split(separator);
    QStringList files;
    for (int i = 1; i <= count; ++i) {
        // Bytes that do not come back through decoding would name another file.
        if (FileRename::survivesDecoding(parts.at(i)))
            files.append(QFile::decodeName(parts.at(i)));
        else
            qCDebug(lcZorv).noquote()
                << QStringLiteral("%1 {file name not valid in the system's "
                                  "encoding, skipped: %2}")
                       .arg(QLatin1String(Q_FUNC_INFO), QFile::decodeName(parts.at(i)));
    }
    emit received(files);
}

} // namespace zorv
