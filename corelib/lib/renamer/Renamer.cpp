#include "renamer/Renamer.h"

#include "plugin/PluginManager.h"
#include "renamer/NameComposition.h"
#include "renamer/WebDownloader.h"
#include "utility/XmlUtility.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTextCodec>
#include <QThread>

namespace zorv {

namespace {
const unsigned long pollIntervalMs = 100;
const QString invalidCharactersNote = QStringLiteral("'無効な文字を修正しました。'");
const QString duplicateNote = QStringLiteral("'ファイルが重複するので名前を修正しました。'");
const QString sourceMissingMessage = QStringLiteral("'ソースファイルが見つかりません。'");
const QString renameFailedMessage = QStringLiteral("'リネームに失敗しました。'");
const QString unknownCharsetMessage = QStringLiteral("'文字コード「%1」に対応していません。'");
const QString timedOutMessage = QStringLiteral("'ショップが時間内に応答しませんでした。'");
const QString pageTooLargeMessage =
    QStringLiteral("'ページが大きすぎるので読み込みを中止しました。'");
const QString nestedTooDeeplyMessage = QStringLiteral("'ページの入れ子が深すぎるので読めません。'");

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

void Renamer::setFileDeadline(int milliseconds, int silentShopMilliseconds)
{
    fileDeadlineMs = milliseconds;
    silentShopDeadlineMs = silentShopMilliseconds;
}

void Renamer::setMaxPageBytes(qint64 bytes)
{
    maxPageBytes = bytes;
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
        if (succeeded && status == Entry::Done)
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

    qDebug() << "renamer thread cleanup.";
    disconnect(downloader, nullptr, this, nullptr);
    delete downloader;
    downloader = nullptr;
    delete manager;
    manager = nullptr;
}

void Renamer::startRequest(const EntryPtr &entry)
{
    const RequestPtr request = entry->requests().at(entry->requestIndex());
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
        fileDeadline.setRemainingTime(shopSilent ? silentShopDeadlineMs : fileDeadlineMs);
    }
    downloader->download(request->url(), fileDeadline);
}

void Renamer::downloadFinished(const QNetworkReply *reply, const QByteArray &bytes)
{
    qDebug().noquote() << QStringLiteral("finidhed downlaod. ") + reply->url().toString();

    EntryPtr entry;
    {
        QMutexLocker lock(&mutex);
        entry = current;
    }
    // The reply is ours to release once it has been handled.
    const_cast<QNetworkReply *>(reply)->deleteLater();
    if (!entry)
        return;

    QString message;
    int outcome = Entry::Error;
    bool nextAllowed = true;

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
        message = timedOutMessage;
        nextAllowed = limit != WebDownloader::DeadlinePassed;
    } else if (limit == WebDownloader::PageTooLarge) {
        message = pageTooLargeMessage;
    } else if (reply->error() != QNetworkReply::NoError) {
        message = reply->errorString();
    } else {
        PluginInterface *plugin = entry->plugin();
        const QString charset = plugin->information()->charset;
        QTextCodec *codec = declaredCodec(reply, bytes);
        if (!codec)
            codec = QTextCodec::codecForName(charset.toLatin1());
        if (!codec) {
            // Every candidate page comes in the same charset: trying the
            // next one would fail the same way.
            message = unknownCharsetMessage.arg(charset);
            nextAllowed = false;
        } else {
            const QString html = codec->toUnicode(bytes);
            const bool tooDeep = XmlUtility::nestedTooDeeply(html);
            const QDomDocument document = tooDeep ? QDomDocument() : XmlUtility::htmlToXml(html);
            WorkInfo work;
            if (tooDeep) {
                message = nestedTooDeeplyMessage;
            } else if (plugin->parse(reply->url(), document, work, message)) {
                const QString baseName =
                    composeBaseName(option->copyRenameOption(), entry->id(), work);
                const QString safeName = sanitizeFileName(baseName);
                if (safeName != baseName)
                    message += invalidCharactersNote;

                const QFileInfo fileInfo = entry->fileInfo();
                const QDir folder = fileInfo.absoluteDir();
                const QString suffix = fileInfo.suffix();
                QString candidate;
                int n = 0;
                for (;; ++n) {
                    candidate = safeName;
                    if (n > 0)
                        candidate += QStringLiteral(" (%1)").arg(n);
                    if (!suffix.isEmpty())
                        candidate += QLatin1Char('.') + suffix;
                    if (!QFileInfo::exists(folder.filePath(candidate)))
                        break;
                }
                entry->setNewName(candidate);
                if (n > 0)
                    message += duplicateNote;

                if (!QFileInfo::exists(fileInfo.absoluteFilePath())) {
                    message = sourceMissingMessage;
                    nextAllowed = false;
                } else {
                    QFile file(fileInfo.absoluteFilePath());
                    if (file.rename(folder.filePath(candidate))) {
                        qDebug().noquote()
                            << fileInfo.fileName() + QStringLiteral(" -> ") + candidate;
                        outcome = Entry::Done;
                    } else {
                        message = renameFailedMessage;
                        nextAllowed = false;
                    }
                }
            }
        }
    }

    const RequestPtr request = entry->requests().at(entry->requestIndex());
    bool queueEmpty;
    {
        QMutexLocker lock(&mutex);
        if (outcome == Entry::Error && nextAllowed &&
            entry->requestIndex() + 1 < entry->requests().size()) {
            entry->setRequestIndex(entry->requestIndex() + 1);
            outcome = Entry::Waiting;
        } else {
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

} // namespace zorv
