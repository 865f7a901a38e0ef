#pragma once

#include <QSharedPointer>
#include <QString>
#include <QUrl>

namespace zorv {

// One candidate product page of an entry. Immutable after creation.
class Request
{
public:
    Request(const QString &id, const QUrl &url);

    QString id() const { return id_; }
    QUrl url() const { return url_; }

private:
    QString id_;
    QUrl url_;
};

typedef QSharedPointer<Request> RequestPtr;

} // namespace zorv

Q_DECLARE_METATYPE(zorv::RequestPtr)
