#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace zorv {

WebDownloader::WebDownloader(QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent)
    , manager(manager)
{
}

bool WebDownloader::download(const QUrl &url)
{
    if (reply != nullptr)
        return false;

    // A plain GET: whatever else goes out (cookies, the redirect policy)
    // comes from the manager. Moved pages are followed only a few hops, so a
    // redirect loop ends as an error instead of fifty requests.
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    reply = manager->get(request);
    connect(reply, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
    connect(reply, SIGNAL(finished()), this, SLOT(onFinished()));
    return true;
}

void WebDownloader::onReadyRead()
{
    buffer.append(reply->readAll());
}

void WebDownloader::onFinished()
{
    QNetworkReply *const done = reply;
    // Bytes still unread when the reply ends belong to the body as well.
    buffer.append(done->readAll());
    const QByteArray bytes = buffer;

    // Back to idle before the receiver runs, so that it may start the next
    // download from inside its handler. The reply stays valid during the
    // emission: it belongs to the manager, and releasing it is the
    // receiver's business.
    disconnect(done, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
    disconnect(done, SIGNAL(finished()), this, SLOT(onFinished()));
    reply = nullptr;
    buffer.clear();

    emit finished(done, bytes);
}

} // namespace zorv
