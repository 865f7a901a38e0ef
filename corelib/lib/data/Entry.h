#pragma once

#include "data/Request.h"

#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>
#include <QString>

namespace zorv {

class PluginInterface;

// One handed-over file on its way from its old name to its new one.
// The worker thread writes status, name and message while the GUI thread
// reads them, so those fields are guarded by the entry's own lock.
class Entry : public QObject
{
public:
    // Preview: a dry run's entry that would be renamed to newName().
    // Stopped: a waiting entry the user stopped; it waits to be tried again.
    enum Status { Waiting = 0, Processing = 1, Error = 2, Done = 3, Preview = 4, Stopped = 5 };

    Entry(const QString &id, PluginInterface *plugin, const QFileInfo &fileInfo,
          const QList<RequestPtr> &requests);

    int number() const { return number_; }
    int requestIndex() const;
    QString id() const { return id_; }
    int status() const;
    QString newName() const;
    QString message() const;
    // Qt's own words for the failed downloads of the entry's pages, one line
    // a page: the technical side of message(), for a tool tip and the log.
    QString detail() const;
    const QList<RequestPtr> &requests() const { return requests_; }
    PluginInterface *plugin() const { return plugin_; }
    QFileInfo fileInfo() const { return fileInfo_; }
    // Done without a rename: the file bore its new name already.
    bool isAlreadyNamed() const;
    // Looked up as in a dry run, to be reviewed before it is renamed.
    bool isReviewOnly() const;

    void setRequestIndex(int index);
    void setStatus(int status);
    void setNewName(const QString &name);
    void setMessage(const QString &message);
    void appendDetail(const QString &line);
    void clearDetail();
    void setAlreadyNamed(bool alreadyNamed);
    void setReviewOnly(bool reviewOnly);

    // The text the result table shows for a status code.
    static QString statusLabel(int status);
    // Registers "EntryPtr", "RequestPtr" and "QList<EntryPtr>" for queued signals.
    static void registerMetaTypes();

private:
    const int number_;
    int requestIndex_ = 0;
    const QString id_;
    int status_ = Waiting;
    QString newName_;
    QString message_;
    QString detail_;
    bool alreadyNamed_ = false;
    bool reviewOnly_ = false;
    const QList<RequestPtr> requests_;
    PluginInterface *const plugin_;
    const QFileInfo fileInfo_;
    mutable QMutex mutex;
};

typedef QSharedPointer<Entry> EntryPtr;

} // namespace zorv

Q_DECLARE_METATYPE(zorv::EntryPtr)
