#include "data/Request.h"

namespace zorv {

Request::Request(const QString &id, const QUrl &url)
    : id_(id)
{
    const QByteArray bytes = url.toEncoded();
    if (!bytes.isEmpty() && QUrl::fromEncoded(bytes) == url)
        encoded = bytes;
    else
        url_ = url;
}

QUrl Request::url() const
{
    return encoded.isEmpty() ? url_ : QUrl::fromEncoded(encoded);
}

} // namespace zorv
