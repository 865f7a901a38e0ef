#include "utility/FileRename.h"

#include <QFile>

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

#ifndef Q_OS_WIN
FileRename::Result fromErrno(int code, QString *error)
{
    if (code == EEXIST || code == ENOTEMPTY)
        return FileRename::TargetExists;
    if (code == ENOENT)
        return FileRename::SourceMissing;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
    return FileRename::Failed;
}

bool exists(const QByteArray &path)
{
    struct stat info;
    // lstat: a dangling link still holds its name.
    return ::lstat(path.constData(), &info) == 0;
}
#endif

} // namespace

FileRename::Result FileRename::renameNoReplace(const QString &from, const QString &to,
                                               QString *error)
{
#ifdef Q_OS_WIN
    // Without MOVEFILE_REPLACE_EXISTING and MOVEFILE_COPY_ALLOWED the move
    // neither replaces nor copies.
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                    reinterpret_cast<const wchar_t *>(to.utf16()), 0))
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
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return Renamed;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return fromErrno(errno, error);
#endif
    // File systems without an atomic no-replace rename: a hard link refuses
    // an existing name just as well, and the old name is dropped only once
    // the new one holds the file.
    if (::link(source.constData(), target.constData()) != 0)
        return fromErrno(errno, error);
    if (::unlink(source.constData()) != 0) {
        const int code = errno;
        ::unlink(target.constData());
        return fromErrno(code, error);
    }
    return Renamed;
#endif
}

} // namespace zorv
