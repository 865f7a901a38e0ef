#include "data/Journal.h"
#include "utility/LogCategory.h"

#include "utility/FileIdentity.h"
#include "utility/FileRename.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QMutexLocker>
#include <QStandardPaths>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorv {

namespace {

// How long a run waits for another process holding the journal's lock.
const int lockWaitMs = 5000;
// A record is far shorter; a longer line is skipped, never held whole.
const qint64 maxLineBytes = 1024 * 1024;
// Run numbers stay exact as JSON numbers.
const qint64 maxRunNumber = (qint64(1) << 53) - 1;

// Only run records are needed to number a new run; the other lines are not parsed.
const QByteArray runMarker = QByteArrayLiteral("\"type\":\"run\"");

bool syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Opens the journal only when it is a regular file: opening a FIFO would
// wait for a writer forever, so it is opened without blocking and looked at
// before anything is read or written. False with *problem (when given) set;
// a file that is not there sets none.
bool openRegular(QFile &file, QIODevice::OpenMode mode, QString *problem = nullptr)
{
#ifdef Q_OS_WIN
    const bool opened = file.open(mode);
    if (!opened && problem && file.exists())
        *problem = file.errorString();
    return opened;
#else
    const int flags = (mode & QIODevice::WriteOnly) ? O_RDWR | O_APPEND | O_CREAT : O_RDONLY;
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          flags | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat info;
    QString why;
    if (fd < 0)
        why = errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    else if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        why = QStringLiteral("not a regular file");
    if (fd >= 0 && why.isEmpty() && ::fcntl(fd, F_SETFL, flags & ~O_CREAT) == 0 &&
        file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0 && !file.isOpen())
        ::close(fd);
    if (problem)
        *problem = why.isEmpty() && fd >= 0 ? file.errorString() : why;
    return false;
#endif
}

// The records of the open file from the offset from on, or, when from is
// negative, of its last limit bytes; read as a stream, and no line longer
// than a record can be. Returns the offset after the last whole line: a last
// line still being written is taken if it reads, and is read again from there.
qint64 readOpen(QFile &file, qint64 from, qint64 limit, const QByteArray &marker,
                const std::function<void(const QJsonObject &)> &take)
{
    // One buffer for every line: a line of its own would be as long as the
    // longest a line may be, and a journal has many thousands.
    QByteArray buffer(int(maxLineBytes) + 1, Qt::Uninitialized);
    const auto readLine = [&file, &buffer] {
        const qint64 length = file.readLine(buffer.data(), buffer.size());
        return QByteArray(buffer.constData(), int(qMax<qint64>(length, 0)));
    };
    if (from >= 0)
        file.seek(from);
    else if (file.size() > limit && file.seek(file.size() - limit))
        readLine(); // the rest of a cut line
    qint64 end = file.pos();
    while (!file.atEnd()) {
        const QByteArray line = readLine();
        if (!line.endsWith('\n') && !file.atEnd()) {
            while (!file.atEnd() && !readLine().endsWith('\n')) {
            }
            end = file.pos();
            continue;
        }
        if (line.endsWith('\n'))
            end = file.pos();
        if (!marker.isEmpty() && !line.contains(marker))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            take(document.object());
    }
    return end;
}

void readLines(const QString &path, qint64 limit, const QByteArray &marker,
               const std::function<void(const QJsonObject &)> &take)
{
    QFile file(path);
    if (openRegular(file, QIODevice::ReadOnly))
        readOpen(file, -1, limit, marker, take);
}

} // namespace

Journal::Journal(const QString &path, qint64 sizeLimit)
    : path_(path)
    , sizeLimit(sizeLimit)
{
}

QString Journal::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("journal.jsonl"));
}

qint64 Journal::runNumber(const QJsonObject &record)
{
    const double number = record.value(QStringLiteral("run")).toDouble();
    return number >= 1 && number <= maxRunNumber && number == std::floor(number) ? qint64(number)
                                                                                 : 0;
}

qint64 Journal::beginRun(const QString &mode, const QJsonObject &extra)
{
    // A window and batch runs beside it share the journal: the next run
    // number is read and written under the lock file, so no two runs get
    // one number. Without the lock (an unwritable folder) the run goes on.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QLockFile lockFile(path_ + QStringLiteral(".lock"));
    lockFile.tryLock(lockWaitMs);
    rotateIfOver(true);
    qint64 highest = 0;
    const auto note = [&highest](const QJsonObject &record) {
        highest = qMax(highest, runNumber(record));
    };
    for (const QString &file : {path_ + QStringLiteral(".1"), path_})
        readLines(file, sizeLimit, runMarker, note);
    // The run records may lie before what is read of a very large file: the
    // other records carry the run number too.
    if (highest == 0) {
        for (const QString &file : {path_ + QStringLiteral(".1"), path_})
            readLines(file, sizeLimit, QByteArray(), note);
    }
    QMutexLocker lock(&mutex);
    if (highest >= maxRunNumber) {
        fail(QStringLiteral("its run numbers are used up"));
        return 0;
    }
    QJsonObject record = extra;
    record.insert(QStringLiteral("type"), QStringLiteral("run"));
    record.insert(QStringLiteral("run"), highest + 1);
    record.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    record.insert(QStringLiteral("mode"), mode);
    run_ = highest + 1;
    lastSeq = 0;
    runRecord = record;
    append(record, false, true);
    return run_;
}

qint64 Journal::run() const
{
    QMutexLocker lock(&mutex);
    return run_;
}

int Journal::lastSequence() const
{
    QMutexLocker lock(&mutex);
    return lastSeq;
}

int Journal::intent(const QString &folder, const QString &oldName, const QString &newName,
                    const QJsonObject &extra)
{
    QMutexLocker lock(&mutex);
    QJsonObject record = extra;
    record.insert(QStringLiteral("type"), QStringLiteral("intent"));
    record.insert(QStringLiteral("run"), run_);
    record.insert(QStringLiteral("seq"), ++lastSeq);
    record.insert(QStringLiteral("folder"), folder);
    record.insert(QStringLiteral("old"), oldName);
    record.insert(QStringLiteral("new"), newName);
    FileIdentity::of(QDir(folder).filePath(oldName)).addTo(record);
    // On the disk before the rename: a crash after it must find the intent.
    append(record, true);
    return lastSeq;
}

void Journal::outcome(int seq, bool renamed)
{
    QMutexLocker lock(&mutex);
    append(QJsonObject{{QStringLiteral("type"), QStringLiteral("outcome")},
                       {QStringLiteral("run"), run_},
                       {QStringLiteral("seq"), seq},
                       {QStringLiteral("renamed"), renamed}},
           false);
}

void Journal::unfinished(const QString &folder, const QStringList &names)
{
    QMutexLocker lock(&mutex);
    append(QJsonObject{{QStringLiteral("type"), QStringLiteral("unfinished")},
                       {QStringLiteral("run"), run_},
                       {QStringLiteral("folder"), folder},
                       {QStringLiteral("names"), QJsonArray::fromStringList(names)}},
           false);
}

QList<QJsonObject> Journal::records() const
{
    QList<QJsonObject> result;
    const auto take = [&result](const QJsonObject &record) { result.append(record); };
    readLines(path_ + QStringLiteral(".1"), sizeLimit, QByteArray(), take);
    readLines(path_, sizeLimit, QByteArray(), take);
    return result;
}

void Journal::recordsSince(Position &position, bool *fromStart,
                           const std::function<void(const QJsonObject &)> &take) const
{
    QFile file(path_);
    struct stat info;
    const bool open = openRegular(file, QIODevice::ReadOnly) && ::fstat(file.handle(), &info) == 0;
    // Rotated (or made anew) since: its records are in the older file now.
    *fromStart = !open || quint64(info.st_ino) != position.inode || info.st_size < position.offset;
    if (*fromStart)
        readLines(path_ + QStringLiteral(".1"), sizeLimit, QByteArray(), take);
    position.inode = open ? quint64(info.st_ino) : 0;
    position.offset =
        open ? readOpen(file, *fromStart ? -1 : position.offset, sizeLimit, QByteArray(), take) : 0;
}

QString Journal::readProblem() const
{
    QString problem;
    for (const QString &path : {path_ + QStringLiteral(".1"), path_}) {
        QFile file(path);
        if (problem.isEmpty() && !openRegular(file, QIODevice::ReadOnly, &problem) &&
            !problem.isEmpty())
            problem = QStringLiteral("%1: %2").arg(path, problem);
    }
    return problem;
}

void Journal::rotateIfOver(bool locked)
{
    if (QFileInfo(path_).size() <= sizeLimit)
        return;
    // Another process may rotate at the same moment: under the lock, and
    // only while the file is still the large one.
    QLockFile lockFile(path_ + QStringLiteral(".lock"));
    if (!locked)
        lockFile.tryLock(lockWaitMs);
    if (QFileInfo(path_).size() <= sizeLimit)
        return;
    const QString old = path_ + QStringLiteral(".1");
    QFile::remove(old);
    QString error;
    if (FileRename::renameNoReplace(path_, old, &error) != FileRename::Renamed)
        qCWarning(lcZorv).noquote()
            << QStringLiteral("the journal %1 could not be rotated: %2").arg(path_, error);
}

void Journal::append(const QJsonObject &record, bool sync, bool locked)
{
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    rotateIfOver(locked);
    QFile file(path_);
    // One write per line in append mode: lines of a window and a batch run
    // beside it do not mix.
    QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    QString problem;
    if (!openRegular(file, QIODevice::ReadWrite | QIODevice::Append, &problem))
        return fail(problem);
    // A run that lasts (a watch, a window left open) outlives rotations:
    // when the file is smaller than this run left it, it is a new one (made
    // by this process or another), and it gets the run's record again, or
    // the run's later renames would belong to no run once the older file is
    // gone.
    if (file.size() < writtenSize && record != runRecord && !runRecord.isEmpty())
        line.prepend(QJsonDocument(runRecord).toJson(QJsonDocument::Compact) + '\n');
    // A crash in the middle of a line leaves it unfinished; the next record
    // starts on a line of its own instead of being lost with it.
    char last = '\n';
    if (file.size() > 0 && file.seek(file.size() - 1))
        file.getChar(&last);
    if (last != '\n')
        line.prepend('\n');
    if (file.write(line) != line.size() || (sync ? !syncToDisk(file) : !file.flush()))
        return fail(file.errorString());
    writtenSize = file.size();
}

QString Journal::failure() const
{
    QMutexLocker lock(&mutex);
    return failure_;
}

void Journal::fail(const QString &reason)
{
    if (failureReported)
        return;
    failureReported = true;
    failure_ = reason;
    qCWarning(lcZorv).noquote()
        << QStringLiteral("the journal %1 cannot be written (%2); renames go on unrecorded "
                          "and cannot be undone")
               .arg(path_, reason);
}

} // namespace zorv
