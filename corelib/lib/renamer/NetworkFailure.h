#pragma once

#include <QNetworkReply>
#include <QString>

namespace zorv {

// A failed download in the user's words. Qt's own error text is technical
// English ("Error transferring http://… - server replied: Not Found"); the
// comment of a row says what happened in the interface's language instead,
// and Qt's text is kept beside it for the tool tip and the log.
class NetworkFailure
{
public:
    // The plain words for a failure. An HTTP answer of 400 or more is named
    // by its status ("ページが見つかりません (404)"); any other failure by
    // Qt's error code (connection refused, unknown host, proxy, redirects).
    static QString describe(QNetworkReply::NetworkError error, int httpStatus);
    // The same for a finished reply; Qt's text goes to the diagnostic log.
    static QString describe(const QNetworkReply *reply);
    // Qt's own text for the reply, with the page it was about.
    static QString technicalText(const QNetworkReply *reply);
    // Whether the failure kept the request from reaching the shop at all:
    // refused, no such host, a proxy failure, a network that is down.
    static bool isUnreachable(QNetworkReply::NetworkError error);

private:
    static QString describeStatus(int httpStatus);
    static QString describeError(QNetworkReply::NetworkError error);
};

} // namespace zorv
