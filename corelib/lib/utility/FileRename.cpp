#include "utility/FileRename.h"

#include <QDir>
#include <QFile>

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
bool exists(const QByteArray &path)
{
    struct stat info;
    // lstat: a dangling link still holds its name.
    return ::lstat(path.constData(), &info) == 0;
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
    const int way = forcedWay;
#ifdef Q_OS_LINUX
    if (way != HardLink) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return Renamed;
        if (way == AtomicRename || (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP))
            return failure(errno, source, error);
    }
#endif
    // File systems without an atomic no-replace rename: a hard link refuses
    // an existing name just as well (linkat without flags does not follow a
    // link given as the source), and the old name is dropped only once the
    // new one holds the file.
    if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), 0) != 0)
        return failure(errno, source, error);
    if (::unlink(source.constData()) != 0) {
        const int code = errno;
        // The old name vanished meanwhile (another process moved or deleted
        // it): the new name may now be the file's only one, so it stays.
        if (code == ENOENT)
            return Renamed;
        ::unlink(target.constData());
        return failure(code, source, error);
    }
    return Renamed;
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

} // namespace zorv
