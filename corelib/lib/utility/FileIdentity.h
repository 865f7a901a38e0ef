#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

namespace zorv {

// Which file a name stands for: its device and inode, and its size and
// modification time. Two names with one device and inode are one file (a
// folder named through a link, say); a name that holds another file now,
// or the same file changed, differs in inode, size or time.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool valid = false;

    // The name itself, not what it links to: a link is renamed as a link.
    // Invalid when nothing bears the name.
    static FileIdentity of(const QString &path);

    // Device and inode alone: the same file under any name, while the file
    // system stays mounted.
    QString key() const;
    // Whether this identity, of a name in folder now, is the file recorded
    // then: the same inode, size and modification time, on the file system
    // that holds the folder now. The recorded device number is not compared:
    // a stick plugged in again, a network or FUSE mount mounted anew, gets
    // another one.
    bool isStill(const FileIdentity &recorded, const QString &folder) const;

    // As the journal keeps it (decimal texts: JSON numbers lose the low
    // digits of 64-bit values), and back; invalid when the record has none.
    void addTo(QJsonObject &record) const;
    static FileIdentity from(const QJsonObject &record);
};

} // namespace zorv
