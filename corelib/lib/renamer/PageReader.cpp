#include "renamer/PageReader.h"

#include "renamer/NetworkFailure.h"
#include "renamer/RenamerText.h"
#include "utility/XmlUtility.h"

#include <QNetworkReply>
#include <QRegularExpression>
#include <QTextCodec>

namespace zorv {

namespace {
const char *const timedOutMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ショップが時間内に応答しませんでした。'");
const char *const pageTooLargeMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ページが大きすぎるので読み込みを中止しました。'");
const char *const nestedTooDeeplyMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ページの入れ子が深すぎるので読めません。'");
const char *const unknownCharsetMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'文字コード「%1」に対応していません。'");
const char *const repairFailedMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ページを修復できませんでした。'");
const char *const helperMissingMessage = QT_TRANSLATE_NOOP(
    "zorv::Renamer", "'ページを修復するプログラム「%1」がインストールされていません。'");

// The charset the page declares, in its Content-Type header or else in a
// meta tag near its top, when Qt knows it; null otherwise.
QTextCodec *declaredCodec(const QNetworkReply *reply, const QByteArray &bytes)
{
    static const QRegularExpression header(QStringLiteral("charset\\s*=\\s*[\"']?([\\w.:-]+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression meta(
        QStringLiteral("<meta\\b[^>]*charset\\s*=\\s*[\"']?([\\w.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch declared[] = {
        header.match(reply->header(QNetworkRequest::ContentTypeHeader).toString()),
        meta.match(QString::fromLatin1(bytes.left(4096)))};
    for (const QRegularExpressionMatch &match : declared) {
        QTextCodec *codec =
            match.hasMatch() ? QTextCodec::codecForName(match.captured(1).toLatin1()) : nullptr;
        if (codec)
            return codec;
    }
    return nullptr;
}

// The text cut to the length kept, never between the halves of a character
// outside the Basic Multilingual Plane.
QString capped(const QString &text)
{
    if (text.size() <= PageReader::MaxFieldLength)
        return text;
    const int length = PageReader::MaxFieldLength;
    return text.left(text.at(length - 1).isHighSurrogate() ? length - 1 : length);
}

void capFields(PageMemory::Page *page)
{
    WorkInfo &work = page->work;
    for (QString *text : {&work.id, &work.title, &work.date, &work.age, &page->message})
        *text = capped(*text);
    if (work.makers.size() > PageReader::MaxMakers)
        work.makers.erase(work.makers.begin() + PageReader::MaxMakers, work.makers.end());
    for (QString &maker : work.makers)
        maker = capped(maker);
}
} // namespace

PageReader::PageReader(std::function<bool()> cancelled)
    : cancelled(std::move(cancelled))
{
}

void PageReader::setRepairMemoryLimit(int mebibytes)
{
    repair.setMemoryLimit(mebibytes);
}

bool PageReader::timedOut(const QNetworkReply *reply, WebDownloader::Limit limit)
{
    return limit == WebDownloader::DeadlinePassed ||
           (limit == WebDownloader::NoLimit &&
            reply->error() == QNetworkReply::OperationCanceledError);
}

PageReader::Reading PageReader::read(PluginInterface *plugin, const QNetworkReply *reply,
                                     const QByteArray &bytes, WebDownloader::Limit limit,
                                     const QDeadlineTimer &deadline)
{
    Reading reading;
    QString &message = reading.page.message;
    if (timedOut(reply, limit)) {
        message = said(timedOutMessage);
        // Past the file's deadline no other candidate has time left.
        reading.nextAllowed = limit != WebDownloader::DeadlinePassed;
    } else if (limit == WebDownloader::PageTooLarge) {
        message = said(pageTooLargeMessage);
    } else if (reply->error() != QNetworkReply::NoError) {
        message = NetworkFailure::describe(reply);
        reading.detail = NetworkFailure::technicalText(reply);
        reading.notFound = reply->error() == QNetworkReply::ContentNotFoundError ||
                           reply->error() == QNetworkReply::ContentGoneError;
    } else {
        readPage(plugin, reply, bytes, deadline, &reading);
    }
    // A shop that sent any answer was reached, however the page then failed.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    reading.unreachable =
        !answered && (timedOut(reply, limit) || NetworkFailure::isUnreachable(reply->error()));
    return reading;
}

void PageReader::readPage(PluginInterface *plugin, const QNetworkReply *reply,
                          const QByteArray &bytes, const QDeadlineTimer &deadline, Reading *reading)
{
    const QString charset = plugin->information()->charset;
    QTextCodec *codec = declaredCodec(reply, bytes);
    if (!codec)
        codec = QTextCodec::codecForName(charset.toLatin1());
    if (!codec) {
        // Every candidate page comes in the same charset: trying the next
        // one would fail the same way.
        reading->page.message = said(unknownCharsetMessage).arg(charset);
        reading->nextAllowed = false;
        return;
    }
    QDomDocument document;
    if (!load(codec->toUnicode(bytes).toUtf8(), deadline, &document, reading))
        return;
    reading->page.found =
        plugin->parse(reply->url(), document, reading->page.work, reading->page.message);
    capFields(&reading->page);
}

bool PageReader::load(const QByteArray &html, const QDeadlineTimer &deadline,
                      QDomDocument *document, Reading *reading)
{
    const RepairProcess::Result repaired = repair.repair(html, deadline, cancelled);
    QString &message = reading->page.message;
    switch (repaired.outcome) {
    case RepairProcess::Repaired:
        break;
    case RepairProcess::TimedOut:
        // The file's time is up, for this page and any other.
        message = said(timedOutMessage);
        reading->nextAllowed = false;
        return false;
    case RepairProcess::TooLarge:
        message = said(pageTooLargeMessage);
        return false;
    case RepairProcess::Missing:
        // No page can be read until the program is installed whole.
        message = said(helperMissingMessage).arg(QLatin1String(RepairProcess::HelperName));
        reading->nextAllowed = false;
        return false;
    case RepairProcess::Failed:
    case RepairProcess::Cancelled:
        message = said(repairFailedMessage);
        return false;
    }
    switch (XmlUtility::loadRepairedPage(repaired.xml, document)) {
    case XmlUtility::Loaded:
        return true;
    case XmlUtility::NotWellFormed:
        // Not the plug-in's "no title, no ID, ..." of an empty document:
        // the page has them, the repair did not make XML of it.
        message = said(repairFailedMessage);
        return false;
    case XmlUtility::TooDeep:
        message = said(nestedTooDeeplyMessage);
        return false;
    case XmlUtility::TooLarge:
        message = said(pageTooLargeMessage);
        return false;
    }
    return false;
}

} // namespace zorv
