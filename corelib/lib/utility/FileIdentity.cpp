#include "utility/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace zorv {

namespace {
const char *const fields[] = {"dev", "ino", "size", "mtime_ns"};
}

FileIdentity FileIdentity::of(const QString &path)
{
    FileIdentity identity;
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return identity;
    identity.device = quint64(info.st_dev);
    identity.inode = quint64(info.st_ino);
    identity.size = qint64(info.st_size);
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.valid = true;
    return identity;
}

QString FileIdentity::key() const
{
    return QStringLiteral("%1:%2").arg(device).arg(inode);
}

bool FileIdentity::isStill(const FileIdentity &recorded, const QString &folder) const
{
    // The folder as named, also through a link: the file is on its file system.
    struct stat info;
    return valid && recorded.valid && inode == recorded.inode && size == recorded.size &&
           modifiedNs == recorded.modifiedNs &&
           ::stat(QFile::encodeName(folder).constData(), &info) == 0 &&
           quint64(info.st_dev) == device;
}

void FileIdentity::addTo(QJsonObject &record) const
{
    if (!valid)
        return;
    const QString values[] = {QString::number(device), QString::number(inode),
                              QString::number(size), QString::number(modifiedNs)};
    for (int i = 0; i < 4; ++i)
        record.insert(QLatin1String(fields[i]), values[i]);
}

FileIdentity FileIdentity::from(const QJsonObject &record)
{
    FileIdentity identity;
    bool ok[4] = {false, false, false, false};
    const QString text[] = {record.value(QLatin1String(fields[0])).toString(),
                            record.value(QLatin1String(fields[1])).toString(),
                            record.value(QLatin1String(fields[2])).toString(),
                            record.value(QLatin1String(fields[3])).toString()};
    identity.device = text[0].toULongLong(&ok[0]);
    identity.inode = text[1].toULongLong(&ok[1]);
    identity.size = text[2].toLongLong(&ok[2]);
    identity.modifiedNs = text[3].toLongLong(&ok[3]);
    identity.valid = ok[0] && ok[1] && ok[2] && ok[3];
    return identity;
}

} // namespace zorv
