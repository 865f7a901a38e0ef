#include "renamer/ShopReach.h"

#include <QList>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>

namespace zorv {

namespace {

// The proxy a request for the address goes through, as the renamer's access
// manager picks it (http_proxy, unless no_proxy names the host).
QString proxyFor(const QUrl &url)
{
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    for (const QNetworkProxy &proxy : proxies) {
        if (proxy.type() != QNetworkProxy::NoProxy && proxy.type() != QNetworkProxy::DefaultProxy)
            return QStringLiteral("%1:%2").arg(proxy.hostName()).arg(proxy.port());
    }
    return QString();
}

} // namespace

void ShopReach::startFile()
{
    pageUnreachable = false;
    pageReached = false;
}

void ShopReach::notePage(const QUrl &url, bool unreachable, const QString &reason)
{
    if (!unreachable) {
        pageReached = true;
        return;
    }
    pageUnreachable = true;
    lastHost = url.host();
    lastProxy = proxyFor(url);
    lastReason = reason;
}

bool ShopReach::fileEnded(bool failed)
{
    filesInARow = failed && pageUnreachable && !pageReached ? filesInARow + 1 : 0;
    return filesInARow == UnreachableFilesInARow;
}

} // namespace zorv
