#pragma once

#include <QByteArray>
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
    QUrl url() const;

private:
    QString id_;
    // Every entry keeps its candidate pages for the life of the program, so
    // the address is held in its encoded form, a third of a parsed URL's
    // memory; a URL that would not survive that round trip is kept as it is.
    QByteArray encoded;
    QUrl url_;
};

typedef QSharedPointer<Request> RequestPtr;

} // namespace zorv

Q_DECLARE_METATYPE(zorv::RequestPtr)
