#include "renamer/PageScheduler.h"
#include "utility/LogCategory.h"

#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QNetworkReply>

namespace zorv {

namespace {
// Times a page is asked again after the shop said it is too busy.
const int maxRetries = 2;
// The wait when a busy shop does not say how long.
const qint64 defaultRetryWaitMs = 1000;

// How long a Retry-After value asks to wait: seconds, or an HTTP date.
qint64 retryAfterMs(const QByteArray &value, int capMs)
{
    const QString text = QString::fromLatin1(value).simplified();
    qint64 waitMs = defaultRetryWaitMs;
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    if (isNumber) {
        waitMs = seconds > capMs / 1000 ? capMs : seconds * 1000;
    } else if (!text.isEmpty()) {
        // The preferred form and the two older ones HTTP still allows. The
        // weekday of the second is not read: Qt takes its two-digit year for
        // 19yy, whose weekdays do not match a date to come.
        static const char *const formats[] = {"ddd, dd MMM yyyy hh:mm:ss 'GMT'",
                                              "dd-MMM-yy hh:mm:ss 'GMT'",
                                              "ddd MMM d hh:mm:ss yyyy"};
        for (const char *format : formats) {
            const bool twoDigitYear = format == formats[1];
            QDateTime when = QLocale::c().toDateTime(
                twoDigitYear ? text.section(QLatin1String(", "), 1) : text, QLatin1String(format));
            if (!when.isValid())
                continue;
            when.setTimeSpec(Qt::UTC);
            // Such a year is the latest with its two digits that is not more
            // than 50 years ahead.
            const int thisYear = QDateTime::currentDateTimeUtc().date().year();
            if (twoDigitYear && when.date().year() + 100 <= thisYear + 50)
                when = when.addYears(100);
            waitMs = QDateTime::currentDateTimeUtc().msecsTo(when);
            break;
        }
    }
    return qBound<qint64>(0, waitMs, capMs);
}

// A page's category as the renamer can tell it: its address without the ID.
QString categoryOf(const RequestPtr &request)
{
    return request->url().toString().remove(request->id());
}

// Products of one plug-in whose IDs begin alike tend to live in one category.
QString categoryKey(const EntryPtr &entry)
{
    const QString id = entry->id();
    int letters = 0;
    while (letters < id.size() && !id.at(letters).isDigit())
        ++letters;
    return QString::number(quintptr(entry->plugin()), 16) + QLatin1Char('/') + id.left(letters);
}
} // namespace

void PageScheduler::setRetryWaitCap(int milliseconds)
{
    retryWaitCapMs = qMax(0, milliseconds);
}

void PageScheduler::setFileDeadline(int milliseconds, int silentShopMilliseconds)
{
    fileDeadlineMs = milliseconds;
    silentShopDeadlineMs = silentShopMilliseconds;
}

void PageScheduler::startEntry()
{
    orderedEntry = -1;
    deadlineEntry = -1;
}

RequestPtr PageScheduler::next(const EntryPtr &entry)
{
    if (entry->number() != orderedEntry) {
        orderedEntry = entry->number();
        order = candidateOrder(entry);
        attempt = 0;
        tellingFailure.clear();
        entry->setRequestIndex(order.first());
    }
    return entry->requests().at(entry->requestIndex());
}

QList<int> PageScheduler::candidateOrder(const EntryPtr &entry) const
{
    // The category where this run last found a product of the same prefix
    // comes first, the others follow in the plug-in's order.
    const QString preferred = lastFoundCategory.value(categoryKey(entry));
    const QList<RequestPtr> &requests = entry->requests();
    QList<int> result;
    for (int i = 0; !preferred.isEmpty() && i < requests.size(); ++i) {
        if (categoryOf(requests.at(i)) == preferred) {
            result.append(i);
            break;
        }
    }
    for (int i = 0; i < requests.size(); ++i) {
        if (!result.contains(i))
            result.append(i);
    }
    return result;
}

void PageScheduler::setPageCache(QSharedPointer<PageCache> cache, PageMemory::CacheMode mode)
{
    pages.setCache(cache, mode);
}

bool PageScheduler::recall(const EntryPtr &entry, const RequestPtr &request, PageMemory::Page *page)
{
    return pages.recall(request->url(), page, *entry->plugin()->information());
}

QDeadlineTimer PageScheduler::startFetch(const EntryPtr &entry)
{
    retriesLeft = maxRetries;
    // The silence limit alone would let a shop that trickles a byte now and
    // then, or six silent candidates, hold a file for minutes: one deadline
    // covers all of a file's candidates. Once a file has run out of time the
    // shop is taken as silent, and the files after it get only a short
    // deadline until it answers again, so a dead shop does not cost the full
    // time for every file.
    if (entry->number() != deadlineEntry) {
        deadlineEntry = entry->number();
        const int deadlineMs = shopSilent ? silentShopDeadlineMs : fileDeadlineMs;
        fileDeadline.setRemainingTime(deadlineMs);
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {deadline: %2 ms}")
                                         .arg(QLatin1String(Q_FUNC_INFO))
                                         .arg(deadlineMs);
    }
    return fileDeadline;
}

qint64 PageScheduler::retryWait(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if ((status != 429 && status != 503) || retriesLeft <= 0)
        return -1;
    // A busy shop answers: it is not a silent one.
    shopSilent = false;
    const qint64 waitMs = retryAfterMs(reply->rawHeader("Retry-After"), retryWaitCapMs);
    // A wait past the file's deadline would end as a time-out that blames a
    // shop that did answer: the page fails now, as busy.
    if (!fileDeadline.isForever() && waitMs >= fileDeadline.remainingTime())
        return -1;
    --retriesLeft;
    qCDebug(lcZorv).noquote() << QStringLiteral("page busy, asked again in %1 ms. %2")
                                     .arg(waitMs)
                                     .arg(reply->url().toString());
    return waitMs;
}

void PageScheduler::noteAnswer(bool timedOut, bool answered)
{
    if (timedOut)
        shopSilent = true;
    else if (answered)
        shopSilent = false;
}

void PageScheduler::remember(const EntryPtr &entry, const RequestPtr &request,
                             const PageMemory::Page &page)
{
    pages.remember(request->url(), page, *entry->plugin()->information());
}

void PageScheduler::noteFound(const EntryPtr &entry, const RequestPtr &request)
{
    lastFoundCategory.insert(categoryKey(entry), categoryOf(request));
}

bool PageScheduler::moveOn(const EntryPtr &entry, int outcome, bool nextAllowed, bool notFound,
                           QString *message)
{
    const bool failed = outcome == Entry::Error;
    // A product missing from one category is no news; the first other
    // failure (time-out, busy shop, unreadable page) tells why none was had.
    if (failed && !notFound && tellingFailure.isEmpty())
        tellingFailure = *message;
    if (!failed || !nextAllowed)
        return false;
    if (attempt + 1 < order.size()) {
        entry->setRequestIndex(order.at(++attempt));
        return true;
    }
    if (!tellingFailure.isEmpty())
        *message = tellingFailure;
    return false;
}

} // namespace zorv
