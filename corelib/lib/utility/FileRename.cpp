#include "utility/FileRename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorv {

namespace {

std::atomic<int> forcedWay{FileRename::Automatic};

#ifndef Q_OS_WIN
// File systems without the atomic rename (many FUSE mounts) answer every
// call the same way: the way that worked there, by device, is taken first
// from then on instead of failing twice each time.
QMutex wayMutex;
QHash<quint64, int> wayByDevice;

bool exists(const QByteArray &path)
{
    struct stat info;
    // lstat: a dangling link still holds its name.
    return ::lstat(path.constData(), &info) == 0;
}

// 0 when unknown; devices are counted from 1.
quint64 folderDevice(const QString &target)
{
    struct stat info;
    const QByteArray folder = QFile::encodeName(QFileInfo(target).path());
    return ::stat(folder.constData(), &info) == 0 ? quint64(info.st_dev) + 1 : 0;
}

int knownWay(quint64 device)
{
    QMutexLocker lock(&wayMutex);
    return device ? wayByDevice.value(device, FileRename::AtomicRename)
                  : int(FileRename::AtomicRename);
}

void rememberWay(quint64 device, int way)
{
    QMutexLocker lock(&wayMutex);
    if (device)
        wayByDevice.insert(device, way);
}

bool unsupported(int code)
{
    return code == EINVAL || code == ENOSYS || code == ENOTSUP;
}

FileRename::Result failure(int code, const QByteArray &source, QString *error)
{
    if (code == EEXIST || code == ENOTEMPTY)
        return FileRename::TargetExists;
    // ENOENT also stands for a missing target folder: only a source that is
    // really gone is reported as such.
    if (code == ENOENT && !exists(source))
        return FileRename::SourceMissing;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return FileRename::Failed;
}

// A hard link refuses an existing name just as well (linkat without flags
// does not follow a link given as the source), and the old name is dropped
// only once the new one holds the file. 0, or the errno.
int throughHardLink(const QByteArray &source, const QByteArray &target)
{
    if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), 0) != 0)
        return errno;
    if (::unlink(source.constData()) != 0) {
        const int code = errno;
        // The old name vanished meanwhile (another process moved or deleted
        // it): the new name may now be the file's only one, so it stays.
        if (code == ENOENT)
            return 0;
        ::unlink(target.constData());
        return code;
    }
    return 0;
}

bool sameEntry(const QByteArray &path, const struct stat &made)
{
    struct stat now;
    return ::lstat(path.constData(), &now) == 0 && now.st_dev == made.st_dev &&
           now.st_ino == made.st_ino;
}

// Neither the atomic rename nor hard links (exFAT and others through
// FUSE): the new name is reserved by creating it exclusively, an empty file
// (or folder, for a folder), and the file is renamed onto that placeholder
// of its own. The placeholder is removed again when the rename fails. 0, or
// the errno.
int throughPlaceholder(const QByteArray &source, const QByteArray &target)
{
    struct stat info;
    if (::lstat(source.constData(), &info) != 0)
        return errno;
    const bool folder = S_ISDIR(info.st_mode);
    struct stat made;
    if (folder) {
        if (::mkdir(target.constData(), 0700) != 0 || ::lstat(target.constData(), &made) != 0)
            return errno;
    } else {
        const int fd = ::open(target.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            return errno;
        const bool known = ::fstat(fd, &made) == 0;
        ::close(fd);
        if (!known)
            return EEXIST;
    }
    // Another process may have put its own file there since: only our
    // placeholder is ever replaced.
    if (!sameEntry(target, made))
        return EEXIST;
    if (::rename(source.constData(), target.constData()) == 0)
        return 0;
    const int code = errno;
    if (sameEntry(target, made))
        folder ? ::rmdir(target.constData()) : ::unlink(target.constData());
    return code;
}
#endif

} // namespace

FileRename::Result FileRename::renameNoReplace(const QString &from, const QString &to,
                                               QString *error)
{
#ifdef Q_OS_WIN
    // Without MOVEFILE_REPLACE_EXISTING and MOVEFILE_COPY_ALLOWED the move
    // neither replaces nor copies.
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(source.utf16()),
                    reinterpret_cast<const wchar_t *>(target.utf16()), 0))
        return Renamed;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return TargetExists;
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        return SourceMissing;
    if (error)
        *error = QStringLiteral("error %1").arg(code);
    return Failed;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (!exists(source))
        return SourceMissing;
    const int forced = forcedWay;
    const quint64 device = forced == Automatic ? folderDevice(to) : 0;
    const int first = forced == Automatic ? knownWay(device) : forced;
#ifdef Q_OS_LINUX
    if (first == AtomicRename) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return Renamed;
        if (forced == AtomicRename || !unsupported(errno))
            return failure(errno, source, error);
    }
#endif
    if (first != Placeholder) {
        const int code = throughHardLink(source, target);
        if (code == 0)
            rememberWay(device, HardLink);
        // EPERM: the file system has no hard links.
        if (code == 0 || forced == HardLink || (code != EPERM && !unsupported(code)))
            return code == 0 ? Renamed : failure(code, source, error);
    }
    const int code = throughPlaceholder(source, target);
    if (code == 0)
        rememberWay(device, Placeholder);
    return code == 0 ? Renamed : failure(code, source, error);
#endif
}

void FileRename::forceWay(Way way)
{
    forcedWay = way;
}

bool FileRename::survivesDecoding(const QByteArray &encodedPath)
{
    return QFile::encodeName(QFile::decodeName(encodedPath)) == encodedPath;
}

bool FileRename::absolutePathSurvivesDecoding(const QByteArray &encodedPath)
{
#ifndef Q_OS_WIN
    if (!encodedPath.startsWith('/')) {
        // The working folder as the system has it, not as Qt decoded it.
        QByteArray folder(4096, '\0');
        while (!::getcwd(folder.data(), size_t(folder.size()))) {
            if (errno != ERANGE || folder.size() > (1 << 20))
                return false;
            folder.resize(folder.size() * 2);
        }
        folder.truncate(int(std::strlen(folder.constData())));
        return survivesDecoding(folder + '/' + encodedPath);
    }
#endif
    return survivesDecoding(encodedPath);
}

} // namespace zorv
