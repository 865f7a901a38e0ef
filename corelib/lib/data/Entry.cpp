#include "data/Entry.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QMetaType>
#include <QMutexLocker>

namespace zorv {

namespace {
// Running number of every entry ever created; also the entry's table row.
QAtomicInt entryCounter(0);
} // namespace

Entry::Entry(const QString &id, PluginInterface *plugin, const QFileInfo &fileInfo,
             const QList<RequestPtr> &requests)
    : number_(entryCounter.fetchAndAddOrdered(1))
    , id_(id)
    , requests_(requests)
    , plugin_(plugin)
    , fileInfo_(fileInfo)
{
}

int Entry::requestIndex() const
{
    QMutexLocker lock(&mutex);
    return requestIndex_;
}

int Entry::status() const
{
    QMutexLocker lock(&mutex);
    return status_;
}

QString Entry::newName() const
{
    QMutexLocker lock(&mutex);
    return newName_;
}

QString Entry::message() const
{
    QMutexLocker lock(&mutex);
    return message_;
}

QString Entry::detail() const
{
    QMutexLocker lock(&mutex);
    return detail_;
}

void Entry::setRequestIndex(int index)
{
    QMutexLocker lock(&mutex);
    requestIndex_ = index;
}

void Entry::setStatus(int status)
{
    QMutexLocker lock(&mutex);
    status_ = status;
}

void Entry::setNewName(const QString &name)
{
    QMutexLocker lock(&mutex);
    newName_ = name;
}

void Entry::setMessage(const QString &message)
{
    QMutexLocker lock(&mutex);
    message_ = message;
}

void Entry::appendDetail(const QString &line)
{
    QMutexLocker lock(&mutex);
    if (!detail_.isEmpty())
        detail_ += QLatin1Char('\n');
    detail_ += line;
}

void Entry::clearDetail()
{
    QMutexLocker lock(&mutex);
    detail_.clear();
}

bool Entry::isAlreadyNamed() const
{
    QMutexLocker lock(&mutex);
    return alreadyNamed_;
}

void Entry::setAlreadyNamed(bool alreadyNamed)
{
    QMutexLocker lock(&mutex);
    alreadyNamed_ = alreadyNamed;
}

bool Entry::isReviewOnly() const
{
    QMutexLocker lock(&mutex);
    return reviewOnly_;
}

void Entry::setReviewOnly(bool reviewOnly)
{
    QMutexLocker lock(&mutex);
    reviewOnly_ = reviewOnly;
}

QString Entry::statusLabel(int status)
{
    switch (status) {
    case Waiting:
        return QCoreApplication::translate("zorv::Entry", "待機");
    case Processing:
        return QCoreApplication::translate("zorv::Entry", "処理中...");
    case Error:
        return QCoreApplication::translate("zorv::Entry", "エラー");
    case Done:
        return QCoreApplication::translate("zorv::Entry", "完了");
    case Preview:
        return QCoreApplication::translate("zorv::Entry", "プレビュー");
    case Stopped:
        return QCoreApplication::translate("zorv::Entry", "中止");
    default:
        return QString();
    }
}

void Entry::registerMetaTypes()
{
    qRegisterMetaType<EntryPtr>("EntryPtr");
    qRegisterMetaType<RequestPtr>("RequestPtr");
    qRegisterMetaType<QList<EntryPtr>>("QList<EntryPtr>");
}

} // namespace zorv
