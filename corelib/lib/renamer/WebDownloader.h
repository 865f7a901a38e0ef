#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace zorv {

// Fetches one page at a time and hands over the reply with its whole body.
class WebDownloader : public QObject
{
    Q_OBJECT
public:
    // Redirect hops a download follows before it fails.
    static constexpr int MaxRedirects = 5;
    // Real product pages are under 1 MB; a page that grows past this (after
    // decompression) is broken or hostile and would only eat the memory.
    static constexpr qint64 DefaultMaxPageBytes = 8 * 1024 * 1024;

    // What ended a download before the shop did.
    enum Limit { NoLimit, PageTooLarge, DeadlinePassed };

    explicit WebDownloader(QNetworkAccessManager *manager, QObject *parent = nullptr);

    // For the next downloads; tests use small pages.
    void setMaxPageBytes(qint64 bytes);
    // False while a download is in flight; the request is not queued. A
    // download still running at the deadline is aborted.
    bool download(const QUrl &url,
                  QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // The limit that stopped the last download, which then hands over no
    // bytes; valid from `finished` until the next download.
    Limit limitReached() const;

signals:
    void finished(const QNetworkReply *reply, const QByteArray &bytes);

private slots:
    void onReadyRead();
    void onFinished();
    void onDeadline();

private:
    void take();
    void stop(Limit limit);

    QNetworkAccessManager *const manager;
    QNetworkReply *reply = nullptr;
    QByteArray buffer;
    qint64 maxPageBytes = DefaultMaxPageBytes;
    Limit limit = NoLimit;
    QTimer deadlineTimer;
};

} // namespace zorv
