#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

namespace zorv {

// Which file a name stands for: its device and inode, and its size and
// modification time. Two names with one device and inode are one file (a
// folder named through a link, say); a name that holds another file now,
// or the same file changed, differs in one of the four.
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

    // Device and inode alone: the same file under any name.
    QString key() const;
    bool operator==(const FileIdentity &other) const;

    // As the journal keeps it (decimal texts: JSON numbers lose the low
    // digits of 64-bit values), and back; invalid when the record has none.
    void addTo(QJsonObject &record) const;
    static FileIdentity from(const QJsonObject &record);
};

} // namespace zorv
