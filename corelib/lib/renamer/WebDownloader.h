#pragma once

#include <QByteArray>
#include <QObject>
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

    explicit WebDownloader(QNetworkAccessManager *manager, QObject *parent = nullptr);

    // False while a download is in flight; the request is not queued.
    bool download(const QUrl &url);

signals:
    void finished(const QNetworkReply *reply, const QByteArray &bytes);

private slots:
    void onReadyRead();
    void onFinished();

private:
    QNetworkAccessManager *const manager;
    QNetworkReply *reply = nullptr;
    QByteArray buffer;
};

} // namespace zorv
