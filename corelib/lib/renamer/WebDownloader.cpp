#include "renamer/WebDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <climits>

namespace zorv {

WebDownloader::WebDownloader(QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent)
    , manager(manager)
    , deadlineTimer(this)
{
    deadlineTimer.setSingleShot(true);
    connect(&deadlineTimer, SIGNAL(timeout()), this, SLOT(onDeadline()));
}

void WebDownloader::setMaxPageBytes(qint64 bytes)
{
    maxPageBytes = bytes;
}

WebDownloader::Limit WebDownloader::limitReached() const
{
    return limit;
}

bool WebDownloader::download(const QUrl &url, QDeadlineTimer deadline)
{
    if (reply != nullptr)
        return false;
    limit = NoLimit;

    // A plain GET: whatever else goes out (cookies, the redirect policy)
    // comes from the manager. Moved pages are followed only a few hops, so a
    // redirect loop ends as an error instead of fifty requests.
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    reply = manager->get(request);
    connect(reply, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
    connect(reply, SIGNAL(finished()), this, SLOT(onFinished()));
    if (!deadline.isForever())
        deadlineTimer.start(int(qBound<qint64>(0, deadline.remainingTime(), INT_MAX)));
    return true;
}

void WebDownloader::onReadyRead()
{
    take();
}

void WebDownloader::onDeadline()
{
    if (reply != nullptr)
        stop(DeadlinePassed);
}

// Reads what has arrived (decompressed already), never more than one byte
// past the cap, so a body that never ends or inflates to gigabytes stops here.
void WebDownloader::take()
{
    buffer.append(reply->read(maxPageBytes + 1 - buffer.size()));
    if (buffer.size() > maxPageBytes)
        stop(PageTooLarge);
}

// Aborting makes the reply emit finished at once, so onFinished runs inside.
void WebDownloader::stop(Limit reached)
{
    limit = reached;
    buffer.clear();
    if (!reply->isFinished())
        reply->abort();
}

void WebDownloader::onFinished()
{
    QNetworkReply *const done = reply;
    deadlineTimer.stop();
    // Bytes still unread when the reply ends belong to the body as well.
    if (limit == NoLimit)
        take();
    if (limit != NoLimit)
        buffer.clear();
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
