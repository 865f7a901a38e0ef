#include "data/Request.h"

namespace zorv {

Request::Request(const QString &id, const QUrl &url)
    : id_(id)
    , url_(url)
{
}

} // namespace zorv
