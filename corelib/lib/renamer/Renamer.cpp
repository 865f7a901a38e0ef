#include "renamer/Renamer.h"
#include "utility/LogCategory.h"

#include "data/Journal.h"
#include "plugin/PluginManager.h"
#include "renamer/NameComposition.h"
#include "renamer/PageCache.h"
#include "renamer/WebDownloader.h"
#include "utility/FileRename.h"
#include "utility/XmlUtility.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QLocale>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTextCodec>
#include <QThread>
#include <QTimer>

namespace zorv {

namespace {
const unsigned long pollIntervalMs = 100;
// The messages for the user are kept untranslated here: a translator is
// installed only after these are made, so each is translated when said.
const char *const invalidCharactersNote =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'無効な文字を修正しました。'");
const char *const duplicateNote =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ファイルが重複するので名前を修正しました。'");
const char *const shortenedNote =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'名前が長すぎるため短縮しました。'");
const char *const alreadyNamedNote = QT_TRANSLATE_NOOP("zorv::Renamer", "'既に変更済みです。'");
const char *const sourceMissingMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ソースファイルが見つかりません。'");
const char *const renameFailedMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'リネームに失敗しました。'");
const char *const emptyNameMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'新しい名前が空になりました。'");
// Numbers tried after the name itself before the rename gives up.
const int maxDuplicateNumber = 1000;
const char *const unknownCharsetMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'文字コード「%1」に対応していません。'");
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
        // The preferred form and the two older ones HTTP still allows.
        static const char *const formats[] = {"ddd, dd MMM yyyy hh:mm:ss 'GMT'",
                                              "dddd, dd-MMM-yy hh:mm:ss 'GMT'",
                                              "ddd MMM d hh:mm:ss yyyy"};
        for (const char *format : formats) {
            QDateTime when = QLocale::c().toDateTime(text, QLatin1String(format));
            if (!when.isValid())
                continue;
            when.setTimeSpec(Qt::UTC);
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

const char *const timedOutMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ショップが時間内に応答しませんでした。'");
const char *const pageTooLargeMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ページが大きすぎるので読み込みを中止しました。'");
const char *const nestedTooDeeplyMessage =
    QT_TRANSLATE_NOOP("zorv::Renamer", "'ページの入れ子が深すぎるので読めません。'");
const char *const offlineMessage = QT_TRANSLATE_NOOP(
    "zorv::Renamer", "'ページがキャッシュにありません（オフラインのため取得しませんでした）。'");

QString said(const char *message)
{
    return QCoreApplication::translate("zorv::Renamer", message);
}

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
} // namespace

Renamer::Renamer(QSharedPointer<Option> option, QObject *parent)
    : QObject(parent)
    , option(option)
{
}

Renamer::~Renamer() = default;

void Renamer::setTransferTimeout(int milliseconds)
{
    transferTimeoutMs = milliseconds;
}

void Renamer::setRetryWaitCap(int milliseconds)
{
    retryWaitCapMs = qMax(0, milliseconds);
}

void Renamer::setJournal(QSharedPointer<Journal> journal)
{
    this->journal = journal;
}

void Renamer::setDryRun(bool dryRun)
{
    this->dryRun = dryRun;
}

FileRename::Result Renamer::moveFile(const EntryPtr &entry, const QString &from, const QString &to,
                                     QString *error)
{
    if (dryRun) {
        // The folder as the real run would have left it so far: names the
        // preview handed out are taken, and names it moved files away from
        // are free, so its " (n)" are those the real run gives.
        const QFileInfo target(to);
        const bool onDisk = (target.exists() || target.isSymLink()) && !previewedAway.contains(to);
        if (onDisk || previewedPaths.contains(to))
            return FileRename::TargetExists;
        if (!QFileInfo::exists(from) || previewedAway.contains(from))
            return FileRename::SourceMissing;
        previewedPaths.insert(to);
        previewedPaths.remove(from);
        previewedAway.insert(from);
        previewedAway.remove(to);
        return FileRename::Renamed;
    }
    const QFileInfo target(to);
    const int seq = journal
                        ? journal->intent(target.absolutePath(), QFileInfo(from).fileName(),
                                          target.fileName(), {{QStringLiteral("id"), entry->id()}})
                        : 0;
    const FileRename::Result result = FileRename::renameNoReplace(from, to, error);
    if (journal)
        journal->outcome(seq, result == FileRename::Renamed);
    return result;
}

void Renamer::setFileDeadline(int milliseconds, int silentShopMilliseconds)
{
    fileDeadlineMs = milliseconds;
    silentShopDeadlineMs = silentShopMilliseconds;
}

void Renamer::setMaxPageBytes(qint64 bytes)
{
    maxPageBytes = bytes;
}

void Renamer::setPageCache(QSharedPointer<PageCache> cache, PageMemory::CacheMode mode)
{
    pages.setCache(cache, mode);
}

void Renamer::add(const QList<QFileInfo> &files)
{
    if (files.isEmpty())
        return;

    QList<EntryPtr> entries;
    PluginManager *pluginManager = Singleton<PluginManager>::instance();
    const QList<PluginInterface *> plugins =
        pluginManager ? pluginManager->plugins() : QList<PluginInterface *>();
    for (PluginInterface *plugin : plugins) {
        for (const QFileInfo &file : files) {
            QString id;
            if (!plugin->findId(file.fileName(), id))
                continue;
            const QList<QUrl> urls = plugin->urls(id);
            if (urls.isEmpty())
                continue;
            QList<RequestPtr> requests;
            for (const QUrl &url : urls)
                requests.append(RequestPtr(new Request(id, url)));
            entries.append(EntryPtr(new Entry(id, plugin, file, requests)));
        }
    }

    {
        QMutexLocker lock(&mutex);
        queue.append(entries);
    }
    emit created(entries);
}

void Renamer::abort()
{
    QMutexLocker lock(&mutex);
    if (abortRequested)
        return;
    abortRequested = true;
    emit aborted();
}

void Renamer::stop(Renamer *&renamer, QThread *&thread)
{
    disconnect(thread, SIGNAL(started()), renamer, SLOT(doWork()));
    renamer->abort();
    thread->quit();
    thread->wait();
    delete thread;
    thread = nullptr;
    delete renamer;
    renamer = nullptr;
}

int Renamer::finishedCount() const
{
    QMutexLocker lock(&mutex);
    return finishedEntries.size();
}

void Renamer::counts(int *total, int *pending, int *succeeded, int *failed) const
{
    QMutexLocker lock(&mutex);
    if (total)
        *total = queue.size() + finishedEntries.size();
    if (pending)
        *pending = queue.size();
    if (!succeeded && !failed)
        return;
    if (succeeded)
        *succeeded = 0;
    if (failed)
        *failed = 0;
    for (const EntryPtr &entry : finishedEntries) {
        const int status = entry->status();
        if (succeeded && (status == Entry::Done || status == Entry::Preview))
            ++*succeeded;
        if (failed && status == Entry::Error)
            ++*failed;
    }
}

void Renamer::doWork()
{
    // Users behind a proxy need it, and http_proxy is how the system names it.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager = new QNetworkAccessManager;
    // Shops move pages, also from http to https; a hop that would make the
    // connection less safe is not followed.
    manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    // A page that stops arriving must not hold up every later file.
    manager->setTransferTimeout(transferTimeoutMs);
    downloader = new WebDownloader(manager);
    downloader->setMaxPageBytes(maxPageBytes);
    connect(downloader, SIGNAL(finished(const QNetworkReply *, QByteArray)), this,
            SLOT(downloadFinished(const QNetworkReply *, QByteArray)));
    retryTimer = new QTimer;
    retryTimer->setSingleShot(true);
    // A coarse timer may fire a twentieth early: sooner than the shop asked.
    retryTimer->setTimerType(Qt::PreciseTimer);
    connect(retryTimer, SIGNAL(timeout()), this, SLOT(retryPage()));

    forever
    {
        EntryPtr entry;
        {
            QMutexLocker lock(&mutex);
            if (abortRequested)
                break;
            if (!current && !queue.isEmpty())
                current = queue.first();
            entry = current;
        }
        if (entry && entry->status() == Entry::Waiting) {
            // A page this run has seen needs neither a request nor a pause.
            if (useRememberedPage(entry))
                continue;
            QEventLoop loop;
            connect(this, SIGNAL(finished(EntryPtr, RequestPtr)), &loop, SLOT(quit()));
            connect(this, SIGNAL(aborted()), &loop, SLOT(quit()));
            startRequest(entry);
            bool abortSeen;
            {
                QMutexLocker lock(&mutex);
                abortSeen = abortRequested;
            }
            // An abort between the check above and this point has already
            // fired its signal, so the loop would never hear it.
            if (!abortSeen)
                loop.exec();
            disconnect(this, SIGNAL(finished(EntryPtr, RequestPtr)), &loop, SLOT(quit()));
            disconnect(this, SIGNAL(aborted()), &loop, SLOT(quit()));
            // Handled replies were released with deleteLater; free them now
            // so memory does not grow with the number of pages.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QThread::msleep(pollIntervalMs);
    }

    qCDebug(lcZorv) << "renamer thread cleanup.";
    pages.closeCache();
    delete retryTimer;
    retryTimer = nullptr;
    disconnect(downloader, nullptr, this, nullptr);
    delete downloader;
    downloader = nullptr;
    delete manager;
    manager = nullptr;
}

void Renamer::startRequest(const EntryPtr &entry)
{
    const RequestPtr request = nextRequest(entry);
    retriesLeft = maxRetries;
    QNetworkCookieJar *jar = new QNetworkCookieJar(manager);
    jar->setCookiesFromUrl(entry->plugin()->information()->cookies, request->url());
    manager->setCookieJar(jar);
    entry->setStatus(Entry::Processing);
    entry->setMessage(QString());
    emit started(entry, request);
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
    downloader->download(request->url(), fileDeadline);
}

void Renamer::downloadFinished(const QNetworkReply *reply, const QByteArray &bytes)
{
    qCDebug(lcZorv).noquote() << QStringLiteral("finidhed downlaod. ") + reply->url().toString();

    EntryPtr entry;
    {
        QMutexLocker lock(&mutex);
        entry = current;
    }
    // The reply is ours to release once it has been handled.
    const_cast<QNetworkReply *>(reply)->deleteLater();
    if (!entry)
        return;

    // A shop under load asks to come back later: the same page is asked again.
    if (retryLater(reply))
        return;

    QString message;
    int outcome = Entry::Error;
    bool nextAllowed = true;
    const QUrl pageUrl = entry->requests().at(entry->requestIndex())->url();
    // Only a definite "no such page" is remembered among the failures.
    const bool notFound = reply->error() == QNetworkReply::ContentNotFoundError ||
                          reply->error() == QNetworkReply::ContentGoneError;

    // Qt cancels a reply that stays silent for the transfer time-out.
    const WebDownloader::Limit limit = downloader->limitReached();
    const bool timedOut = limit == WebDownloader::DeadlinePassed ||
                          (limit == WebDownloader::NoLimit &&
                           reply->error() == QNetworkReply::OperationCanceledError);
    if (timedOut)
        shopSilent = true;
    else if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        shopSilent = false;

    if (timedOut) {
        message = said(timedOutMessage);
        nextAllowed = limit != WebDownloader::DeadlinePassed;
    } else if (limit == WebDownloader::PageTooLarge) {
        message = said(pageTooLargeMessage);
    } else if (reply->error() != QNetworkReply::NoError) {
        message = reply->errorString();
        if (notFound)
            pages.remember(pageUrl, {false, WorkInfo(), message}, *entry->plugin()->information());
    } else {
        PluginInterface *plugin = entry->plugin();
        const QString charset = plugin->information()->charset;
        QTextCodec *codec = declaredCodec(reply, bytes);
        if (!codec)
            codec = QTextCodec::codecForName(charset.toLatin1());
        if (!codec) {
            // Every candidate page comes in the same charset: trying the
            // next one would fail the same way.
            message = said(unknownCharsetMessage).arg(charset);
            nextAllowed = false;
        } else {
            const QString html = codec->toUnicode(bytes);
            const bool tooDeep = XmlUtility::nestedTooDeeply(html);
            const QDomDocument document = tooDeep ? QDomDocument() : XmlUtility::htmlToXml(html);
            WorkInfo work;
            if (tooDeep) {
                message = said(nestedTooDeeplyMessage);
            } else if (plugin->parse(reply->url(), document, work, message)) {
                pages.remember(pageUrl, {true, work, message}, *plugin->information());
                noteCategory(entry, entry->requests().at(entry->requestIndex()));
                outcome = renameFile(entry, work, message, nextAllowed);
            }
        }
    }
    finishPage(entry, outcome, message, nextAllowed, notFound);
}

int Renamer::renameFile(const EntryPtr &entry, const WorkInfo &work, QString &message,
                        bool &nextAllowed)
{
    const RenameOption renameOption = option->copyRenameOption();
    const QString baseName = composeBaseName(renameOption, entry->id(), work);
    const QString safeName = sanitizeFileName(baseName);
    if (safeName != baseName)
        message += said(invalidCharactersNote);
    // Any failure below ends the entry: another page of the same product
    // would give the same name.
    nextAllowed = false;
    if (safeName.trimmed().isEmpty()) {
        // Only an extension, or blanks: a name that hides or vanishes in a
        // listing is no name.
        message += said(emptyNameMessage);
        return Entry::Error;
    }
    const QFileInfo fileInfo = entry->fileInfo();
    const QDir folder = fileInfo.absoluteDir();
    const QString suffix = fileExtension(fileInfo.fileName());
    const int maxBytes = fileNameMaxBytes(folder.absolutePath());
    // No look before the leap: another process may take a name between a
    // look and the rename. The rename itself refuses any name that is taken
    // (by a file, a folder or a link, dangling or not), and the next number
    // is tried.
    FileRename::Result result = FileRename::TargetExists;
    QString candidate;
    QString error;
    bool shortened = false;
    int n = 0;
    for (; n <= maxDuplicateNumber; ++n) {
        candidate =
            composeFileName(renameOption, entry->id(), work, suffix, n, maxBytes, &shortened);
        // A file that bears its name already (a second run over a folder),
        // numbered or not, must not be moved away from it to the next number.
        if (candidate == fileInfo.fileName()) {
            if (!QFileInfo::exists(fileInfo.absoluteFilePath()) && !fileInfo.isSymLink()) {
                result = FileRename::SourceMissing;
                break;
            }
            entry->setNewName(candidate);
            entry->setAlreadyNamed(true);
            message = said(alreadyNamedNote);
            return Entry::Done;
        }
        result = moveFile(entry, fileInfo.absoluteFilePath(), folder.filePath(candidate), &error);
        if (result != FileRename::TargetExists)
            break;
    }
    entry->setNewName(candidate);
    switch (result) {
    case FileRename::Renamed:
        if (shortened)
            message += said(shortenedNote);
        if (n > 0)
            message += said(duplicateNote);
        qCDebug(lcZorv).noquote() << fileInfo.fileName() + QStringLiteral(" -> ") + candidate;
        return dryRun ? Entry::Preview : Entry::Done;
    case FileRename::SourceMissing:
        message = said(sourceMissingMessage);
        return Entry::Error;
    default:
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error: %2 -> %3: %4}")
                                         .arg(QLatin1String(Q_FUNC_INFO), fileInfo.fileName(),
                                              candidate,
                                              result == FileRename::TargetExists
                                                  ? QStringLiteral("every numbered name is taken")
                                                  : error);
        message = said(renameFailedMessage);
        return Entry::Error;
    }
}

void Renamer::finishPage(const EntryPtr &entry, int outcome, QString message, bool nextAllowed,
                         bool notFound)
{
    const RequestPtr request = entry->requests().at(entry->requestIndex());
    // A product missing from one category is no news; the first other
    // failure (time-out, busy shop, unreadable page) tells why none was had.
    if (outcome == Entry::Error && !notFound && tellingFailure.isEmpty())
        tellingFailure = message;
    bool queueEmpty;
    {
        QMutexLocker lock(&mutex);
        if (outcome == Entry::Error && nextAllowed && attempt + 1 < order.size()) {
            ++attempt;
            entry->setRequestIndex(order.at(attempt));
            outcome = Entry::Waiting;
        } else {
            if (outcome == Entry::Error && nextAllowed && !tellingFailure.isEmpty())
                message = tellingFailure;
            finishedEntries.append(current);
            queue.removeFirst();
            current.clear();
        }
        entry->setStatus(outcome);
        entry->setMessage(message);
        queueEmpty = queue.isEmpty();
    }
    emit finished(entry, request);
    if (queueEmpty)
        emit allFinished();
}

RequestPtr Renamer::nextRequest(const EntryPtr &entry)
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

QList<int> Renamer::candidateOrder(const EntryPtr &entry) const
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

void Renamer::noteCategory(const EntryPtr &entry, const RequestPtr &request)
{
    lastFoundCategory.insert(categoryKey(entry), categoryOf(request));
}

bool Renamer::useRememberedPage(const EntryPtr &entry)
{
    const RequestPtr request = nextRequest(entry);
    PageMemory::Page page;
    const bool remembered = pages.recall(request->url(), &page, *entry->plugin()->information());
    // Offline, a page neither remembered nor cached fails without a request.
    if (!remembered && !pages.isOffline())
        return false;
    qCDebug(lcZorv).noquote() << QLatin1String(remembered ? "remembered page. " : "offline. ") +
                                     request->url().toString();
    entry->setStatus(Entry::Processing);
    entry->setMessage(QString());
    emit started(entry, request);
    QString message = remembered ? page.message : said(offlineMessage);
    bool nextAllowed = true;
    int outcome = Entry::Error;
    if (page.found) {
        noteCategory(entry, request);
        outcome = renameFile(entry, page.work, message, nextAllowed);
    }
    finishPage(entry, outcome, message, nextAllowed, remembered && !page.found);
    return true;
}

bool Renamer::retryLater(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if ((status != 429 && status != 503) || retriesLeft <= 0)
        return false;
    // A busy shop answers: it is not a silent one.
    shopSilent = false;
    const qint64 waitMs = retryAfterMs(reply->rawHeader("Retry-After"), retryWaitCapMs);
    // A wait past the file's deadline would end as a time-out that blames a
    // shop that did answer: the page fails now, as busy.
    if (!fileDeadline.isForever() && waitMs >= fileDeadline.remainingTime())
        return false;
    --retriesLeft;
    qCDebug(lcZorv).noquote() << QStringLiteral("page busy, asked again in %1 ms. %2")
                                     .arg(waitMs)
                                     .arg(reply->url().toString());
    retryTimer->start(int(waitMs));
    return true;
}

void Renamer::retryPage()
{
    EntryPtr entry;
    {
        QMutexLocker lock(&mutex);
        entry = current;
    }
    if (entry && downloader)
        downloader->download(entry->requests().at(entry->requestIndex())->url(), fileDeadline);
}

} // namespace zorv
