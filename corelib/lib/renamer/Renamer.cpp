#include "renamer/Renamer.h"

#include "data/Journal.h"
#include "plugin/PluginManager.h"
#include "renamer/NameComposition.h"
#include "renamer/WebDownloader.h"
#include "utility/FileRename.h"
#include "utility/XmlUtility.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QJsonObject>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
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

void Renamer::setJournal(QSharedPointer<Journal> journal)
{
    this->journal = journal;
}

void Renamer::setDryRun(bool dryRun)
{
    this->dryRun = dryRun;
}

// A dry run counts the names it has proposed as taken, so its " (n)" are
// those the real run gives.
bool Renamer::nameTaken(const QString &path) const
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink() ||
           (dryRun && previewedPaths.contains(path));
}

// The rename itself, between its intent and its outcome in the journal; a dry
// run only reserves the name.
bool Renamer::renameFile(const EntryPtr &entry, const QString &from, const QString &to)
{
    if (dryRun) {
        previewedPaths.insert(to);
        return true;
    }
    const QFileInfo target(to);
    const int seq = journal
                        ? journal->intent(target.absolutePath(), QFileInfo(from).fileName(),
                                          target.fileName(), {{QStringLiteral("id"), entry->id()}})
                        : 0;
    const bool renamed = FileRename::renameNoReplace(from, to) == FileRename::Renamed;
    if (journal)
        journal->outcome(seq, renamed);
    return renamed;
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
    downloader->download(request->url());
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

    if (reply->error() != QNetworkReply::NoError) {
        message = reply->errorString();
    } else {
        PluginInterface *plugin = entry->plugin();
        const QString charset = plugin->information()->charset;
        QTextCodec *codec = QTextCodec::codecForName(charset.toLatin1());
        if (!codec) {
            // Every candidate page comes in the same charset: trying the
            // next one would fail the same way.
            message = unknownCharsetMessage.arg(charset);
            nextAllowed = false;
        } else {
            const QString html = codec->toUnicode(bytes);
            const QDomDocument document = XmlUtility::htmlToXml(html);
            WorkInfo work;
            if (plugin->parse(reply->url(), document, work, message)) {
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
                    if (!nameTaken(folder.filePath(candidate)))
                        break;
                }
                entry->setNewName(candidate);
                if (n > 0)
                    message += duplicateNote;

                if (!QFileInfo::exists(fileInfo.absoluteFilePath())) {
                    message = sourceMissingMessage;
                    nextAllowed = false;
                } else {
                    if (renameFile(entry, fileInfo.absoluteFilePath(),
                                   folder.filePath(candidate))) {
                        qDebug().noquote()
                            << fileInfo.fileName() + QStringLiteral(" -> ") + candidate;
                        outcome = dryRun ? Entry::Preview : Entry::Done;
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
