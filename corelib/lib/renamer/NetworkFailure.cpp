#include "renamer/NetworkFailure.h"
#include "utility/LogCategory.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkRequest>

namespace zorv {

namespace {

QString said(const char *text)
{
    return QCoreApplication::translate("zorv::NetworkFailure", text);
}

} // namespace

QString NetworkFailure::describe(QNetworkReply::NetworkError error, int httpStatus)
{
    // A redirect loop ends with the status of its last hop (301, say): only
    // a status that is a failure itself names the failure.
    if (httpStatus >= 400)
        return describeStatus(httpStatus);
    return describeError(error);
}

QString NetworkFailure::describe(const QNetworkReply *reply)
{
    qCDebug(lcZorv).noquote() << QStringLiteral("%1 {%2}").arg(QLatin1String(Q_FUNC_INFO),
                                                               technicalText(reply));
    return describe(reply->error(),
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

QString NetworkFailure::technicalText(const QNetworkReply *reply)
{
    return QStringLiteral("%1: %2").arg(reply->url().toString(), reply->errorString());
}

bool NetworkFailure::isUnreachable(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return true;
    default:
        return false;
    }
}

QString NetworkFailure::describeStatus(int httpStatus)
{
    const char *text = nullptr;
    switch (httpStatus) {
    case 401:
    case 403:
        text = QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページを見る許可がありません (%1)");
        break;
    case 404:
        text = QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページが見つかりません (%1)");
        break;
    case 410:
        text = QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページは削除されました (%1)");
        break;
    case 429:
    case 503:
        text = QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ショップが混み合っています (%1)");
        break;
    default:
        text = httpStatus >= 500
                   ? QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ショップでエラーが起きました (%1)")
                   : QT_TRANSLATE_NOOP("zorv::NetworkFailure",
                                       "ショップがページの要求を断りました (%1)");
        break;
    }
    return said(text).arg(httpStatus);
}

QString NetworkFailure::describeError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "接続が拒否されました"));
    case QNetworkReply::HostNotFoundError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ショップの名前を引けません"));
    case QNetworkReply::RemoteHostClosedError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ショップが接続を切りました"));
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "接続が時間切れになりました"));
    case QNetworkReply::SslHandshakeFailedError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "安全な接続を確立できません"));
    case QNetworkReply::TooManyRedirectsError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページの転送が多すぎます"));
    case QNetworkReply::InsecureRedirectError:
        return said(
            QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページが安全でない場所へ転送されました"));
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "プロキシに接続できません"));
    case QNetworkReply::ProxyNotFoundError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "プロキシの名前を引けません"));
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "プロキシが認証を求めています"));
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ネットワークに接続できません"));
    case QNetworkReply::OperationCanceledError:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "読み込みを中止しました"));
    default:
        return said(QT_TRANSLATE_NOOP("zorv::NetworkFailure", "ページを読み込めませんでした"));
    }
}

} // namespace zorv
