#include "renamer/Renamer.h"
#include "utility/LogCategory.h"

#include "plugin/PluginManager.h"
#include "renamer/PageCache.h"
#include "renamer/PageReader.h"
#include "renamer/RenamerText.h"
#include "renamer/RepairProtocol.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

namespace zorv {

namespace {
// Between two requests, so that a burst of files does not flood the shop.
const unsigned long requestPauseMs = 100;
// Every change that gives an idle worker work wakes it at once; it looks
// again after this long only as a safeguard. Each wake-up of an idle
// process counts: a watch waits for days.
const unsigned long idleWaitMs = 60000;
// The message of a file that an offline run cannot serve from the cache.
const char *const offlineMessage = QT_TRANSLATE_NOOP(
    "zorv::Renamer", "'ページがキャッシュにありません（オフラインのため取得しませんでした）。'");
} // namespace

Renamer::Renamer(QSharedPointer<Option> option, QObject *parent)
    : QObject(parent)
    , repairMemoryMiB(RepairProtocol::DefaultMemoryMiB)
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
    scheduler.setRetryWaitCap(milliseconds);
}

void Renamer::setJournal(QSharedPointer<Journal> journal)
{
    mover.setJournal(journal);
}

void Renamer::setDryRun(bool dryRun)
{
    mover.setDryRun(dryRun);
}

void Renamer::setFileDeadline(int milliseconds, int silentShopMilliseconds)
{
    scheduler.setFileDeadline(milliseconds, silentShopMilliseconds);
}

void Renamer::setMaxPageBytes(qint64 bytes)
{
    maxPageBytes = bytes;
}

void Renamer::setRepairMemoryLimit(int mebibytes)
{
    repairMemoryMiB = mebibytes;
}

void Renamer::setPageCache(QSharedPointer<PageCache> cache, PageMemory::CacheMode mode)
{
    scheduler.setPageCache(cache, mode);
}

void Renamer::setPauseWhenUnreachable(bool pause)
{
    pauseWhenUnreachable = pause;
}

void Renamer::add(const QList<QFileInfo> &files, bool reviewFirst)
{
    if (files.isEmpty())
        return;

    QList<EntryPtr> made;
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
            const EntryPtr entry(new Entry(id, plugin, file, requests));
            entry->setReviewOnly(reviewFirst);
            made.append(entry);
        }
    }

    entries.append(made);
    emit created(made);
}

QList<EntryPtr> Renamer::stopWaiting()
{
    return entries.stopWaiting();
}

QList<EntryPtr> Renamer::requeue(const QList<EntryPtr> &list, bool rename)
{
    return entries.requeue(list, rename);
}

QList<EntryPtr> Renamer::remove(const QList<EntryPtr> &list)
{
    return entries.remove(list);
}

void Renamer::resume()
{
    entries.resume();
}

void Renamer::abort()
{
    QMutexLocker lock(&mutex);
    if (abortRequested)
        return;
    abortRequested = true;
    entries.wake();
    emit aborted();
}

bool Renamer::isAborting() const
{
    QMutexLocker lock(&mutex);
    return abortRequested;
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
    return entries.finishedCount();
}

void Renamer::forgetFinished()
{
    // A dry run's view of the folder, too: a file that comes again is no
    // longer "moved away" to it.
    for (const EntryPtr &entry : entries.forgetFinished())
        mover.forgetPreviewed({entry->fileInfo().absoluteFilePath(),
                               entry->fileInfo().absoluteDir().filePath(entry->newName())});
}

void Renamer::counts(int *total, int *pending, int *succeeded, int *failed) const
{
    entries.counts(total, pending, succeeded, failed);
}

void Renamer::doWork()
{
    startWorker();
    forever
    {
        if (isAborting())
            break;
        const EntryPtr entry = takeNext();
        if (!entry) {
            // Nothing to do: sleep until files come or the renamer stops,
            // instead of looking ten times a second, for a window left open
            // or a watch that waits for days.
            entries.waitForWork(idleWaitMs);
            continue;
        }
        // A page this run has seen needs neither a request nor a pause.
        if (useRememberedPage(entry))
            continue;
        fetchPage(entry);
        // The shop is asked at most once per pause.
        QThread::msleep(requestPauseMs);
    }
    stopWorker();
}

void Renamer::startWorker()
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
    // A repair still running when the renamer is told to stop is given up.
    reader.reset(new PageReader([this] { return isAborting(); }));
    reader->setRepairMemoryLimit(repairMemoryMiB);
}

void Renamer::stopWorker()
{
    qCDebug(lcZorv) << "renamer thread cleanup.";
    reader.reset();
    scheduler.closeCache();
    delete retryTimer;
    retryTimer = nullptr;
    disconnect(downloader, nullptr, this, nullptr);
    delete downloader;
    downloader = nullptr;
    delete manager;
    manager = nullptr;
}

EntryPtr Renamer::takeNext()
{
    bool fresh = false;
    const EntryPtr entry = entries.takeNext(&fresh);
    if (fresh) {
        scheduler.startEntry();
        reach.startFile();
    }
    return entry;
}

void Renamer::fetchPage(const EntryPtr &entry)
{
    QEventLoop loop;
    connect(this, SIGNAL(finished(EntryPtr, RequestPtr)), &loop, SLOT(quit()));
    connect(this, SIGNAL(aborted()), &loop, SLOT(quit()));
    startRequest(entry);
    // An abort between the worker loop's check and this point has already
    // fired its signal, so the loop would never hear it.
    if (!isAborting())
        loop.exec();
    disconnect(this, SIGNAL(finished(EntryPtr, RequestPtr)), &loop, SLOT(quit()));
    disconnect(this, SIGNAL(aborted()), &loop, SLOT(quit()));
    // Handled replies were released with deleteLater; free them now so
    // memory does not grow with the number of pages.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Renamer::startRequest(const EntryPtr &entry)
{
    const RequestPtr request = scheduler.next(entry);
    QNetworkCookieJar *jar = new QNetworkCookieJar(manager);
    jar->setCookiesFromUrl(entry->plugin()->information()->cookies, request->url());
    manager->setCookieJar(jar);
    entry->setStatus(Entry::Processing);
    entry->setMessage(QString());
    emit started(entry, request);
    downloader->download(request->url(), scheduler.startFetch(entry));
}

void Renamer::downloadFinished(const QNetworkReply *reply, const QByteArray &bytes)
{
    qCDebug(lcZorv).noquote() << QStringLiteral("finidhed downlaod. ") + reply->url().toString();
    const EntryPtr entry = entries.current();
    // The reply is ours to release once it has been handled.
    const_cast<QNetworkReply *>(reply)->deleteLater();
    if (!entry)
        return;

    // A shop under load asks to come back later: the same page is asked again.
    const qint64 retryWaitMs = scheduler.retryWait(reply);
    if (retryWaitMs >= 0) {
        retryTimer->start(int(retryWaitMs));
        return;
    }
    const WebDownloader::Limit limit = downloader->limitReached();
    scheduler.noteAnswer(PageReader::timedOut(reply, limit),
                         reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
    const RequestPtr request = entry->requests().at(entry->requestIndex());
    const PageReader::Reading reading =
        reader->read(entry->plugin(), reply, bytes, limit, scheduler.deadline());
    // A repair given up for the abort says nothing about the page.
    if (isAborting())
        return;
    if (!reading.detail.isEmpty())
        entry->appendDetail(reading.detail);
    reach.notePage(request->url(), reading.unreachable, reading.page.message);
    if (reading.page.found || reading.notFound)
        scheduler.remember(entry, request, reading.page);
    settlePage(entry, request, reading.page, reading.nextAllowed, reading.notFound);
}

bool Renamer::useRememberedPage(const EntryPtr &entry)
{
    const RequestPtr request = scheduler.next(entry);
    PageMemory::Page page;
    const bool remembered = scheduler.recall(entry, request, &page);
    // Offline, a page neither remembered nor cached fails without a request.
    if (!remembered && !scheduler.isOffline())
        return false;
    qCDebug(lcZorv).noquote() << QLatin1String(remembered ? "remembered page. " : "offline. ") +
                                     request->url().toString();
    entry->setStatus(Entry::Processing);
    entry->setMessage(QString());
    emit started(entry, request);
    if (!remembered)
        page.message = said(offlineMessage);
    settlePage(entry, request, page, true, remembered && !page.found);
    return true;
}

void Renamer::settlePage(const EntryPtr &entry, const RequestPtr &request,
                         const PageMemory::Page &page, bool nextAllowed, bool notFound)
{
    QString message = page.message;
    int outcome = Entry::Error;
    if (page.found) {
        scheduler.noteFound(entry, request);
        outcome = mover.rename(entry, option->copyRenameOption(), page.work, message);
        // Any failure of the rename ends the entry: another page of the same
        // product would give the same name.
        nextAllowed = false;
    }
    finishPage(entry, outcome, message, nextAllowed, notFound);
}

void Renamer::finishPage(const EntryPtr &entry, int outcome, QString message, bool nextAllowed,
                         bool notFound)
{
    const RequestPtr request = entry->requests().at(entry->requestIndex());
    const bool goesOn = scheduler.moveOn(entry, outcome, nextAllowed, notFound, &message);
    const bool unreachable = !goesOn && reach.fileEnded(outcome == Entry::Error);
    // Held before the worker can take the next file; told once per pause.
    if (unreachable && pauseWhenUnreachable) {
        entries.pause();
        reach.restartCount();
    }
    const bool queueEmpty = entries.settle(entry, outcome, message, goesOn);
    emit finished(entry, request);
    if (unreachable)
        emit shopUnreachable(reach.host(), reach.proxy(), reach.reason());
    if (queueEmpty)
        emit allFinished();
}

void Renamer::retryPage()
{
    const EntryPtr entry = entries.current();
    if (entry && downloader)
        downloader->download(entry->requests().at(entry->requestIndex())->url(),
                             scheduler.deadline());
}

} // namespace zorv
