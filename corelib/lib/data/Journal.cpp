#include "data/Journal.h"
#include "utility/LogCategory.h"

#include "utility/FileRename.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QMutexLocker>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zorv {

namespace {

// How long a run waits for another process holding the journal's lock.
const int lockWaitMs = 5000;

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

QList<QJsonObject> readLines(const QString &path, const QByteArray &marker)
{
    QList<QJsonObject> result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!marker.isEmpty() && !line.contains(marker))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            result.append(document.object());
    }
    return result;
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

int Journal::beginRun(const QString &mode, const QJsonObject &extra)
{
    // A window and batch runs beside it share the journal: the next run
    // number is read and written under the lock file, so no two runs get
    // one number. Without the lock (an unwritable folder) the run goes on.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QLockFile lockFile(path_ + QStringLiteral(".lock"));
    lockFile.tryLock(lockWaitMs);
    int highest = 0;
    const QString old = path_ + QStringLiteral(".1");
    for (const QString &file : {old, path_}) {
        for (const QJsonObject &record : readLines(file, runMarker))
            highest = qMax(highest, record.value(QStringLiteral("run")).toInt());
    }
    QJsonObject record = extra;
    record.insert(QStringLiteral("type"), QStringLiteral("run"));
    record.insert(QStringLiteral("run"), highest + 1);
    record.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    record.insert(QStringLiteral("mode"), mode);
    QMutexLocker lock(&mutex);
    run_ = highest + 1;
    lastSeq = 0;
    runRecord = record;
    append(record, false, true);
    return run_;
}

int Journal::run() const
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

QList<QJsonObject> Journal::records() const
{
    return readLines(path_ + QStringLiteral(".1"), QByteArray()) + readLines(path_, QByteArray());
}

void Journal::append(const QJsonObject &record, bool sync, bool locked)
{
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    if (info.size() > sizeLimit) {
        // Another process may rotate at the same moment: under the lock, and
        // only while the file is still the large one.
        QLockFile lockFile(path_ + QStringLiteral(".lock"));
        if (!locked)
            lockFile.tryLock(lockWaitMs);
        if (QFileInfo(path_).size() > sizeLimit) {
            const QString old = path_ + QStringLiteral(".1");
            QFile::remove(old);
            QString error;
            if (FileRename::renameNoReplace(path_, old, &error) != FileRename::Renamed)
                qCWarning(lcZorv).noquote()
                    << QStringLiteral("zorv: the journal %1 could not be rotated: %2")
                           .arg(path_, error);
        }
    }
    QFile file(path_);
    // One write per line in append mode: lines of a window and a batch run
    // beside it do not mix.
    QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return fail(file.errorString());
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

void Journal::fail(const QString &reason)
{
    if (failureReported)
        return;
    failureReported = true;
    qCWarning(lcZorv).noquote()
        << QStringLiteral("zorv: the journal %1 cannot be written (%2); renames go on unrecorded "
                          "and cannot be undone")
               .arg(path_, reason);
}

} // namespace zorv
