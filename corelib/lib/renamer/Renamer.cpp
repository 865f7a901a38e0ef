#include "renamer/Renamer.h"

#include "plugin/PluginManager.h"
#include "renamer/NameComposition.h"
#include "renamer/WebDownloader.h"
#include "utility/FileRename.h"
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
#include <QTextCodec>
#include <QThread>

namespace zorv {

namespace {
const unsigned long pollIntervalMs = 100;
const QString invalidCharactersNote = QStringLiteral("'無効な文字を修正しました。'");
const QString duplicateNote = QStringLiteral("'ファイルが重複するので名前を修正しました。'");
const QString shortenedNote = QStringLiteral("'名前が長すぎるため短縮しました。'");
const QString alreadyNamedNote = QStringLiteral("'既に変更済みです。'");
const QString sourceMissingMessage = QStringLiteral("'ソースファイルが見つかりません。'");
const QString renameFailedMessage = QStringLiteral("'リネームに失敗しました。'");
const QString emptyNameMessage = QStringLiteral("'新しい名前が空になりました。'");
// Numbers tried after the name itself before the rename gives up.
const int maxDuplicateNumber = 1000;
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
                const RenameOption renameOption = option->copyRenameOption();
                const QString baseName = composeBaseName(renameOption, entry->id(), work);
                const QString safeName = sanitizeFileName(baseName);
                if (safeName != baseName)
                    message += invalidCharactersNote;
                if (safeName.trimmed().isEmpty()) {
                    // Only an extension, or blanks: a name that hides or
                    // vanishes in a listing is no name.
                    message += emptyNameMessage;
                    nextAllowed = false;
                } else if (renameFile(entry, renameOption, work, message)) {
                    outcome = Entry::Done;
                } else {
                    nextAllowed = false;
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

bool Renamer::renameFile(const EntryPtr &entry, const RenameOption &renameOption,
                         const WorkInfo &work, QString &message)
{
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
        // A file that bears its name already (a second run over a folder)
        // must not be moved away from it to " (1)".
        if (n == 0 && candidate == fileInfo.fileName()) {
            if (!QFileInfo::exists(fileInfo.absoluteFilePath()) && !fileInfo.isSymLink()) {
                result = FileRename::SourceMissing;
                break;
            }
            entry->setNewName(candidate);
            entry->setAlreadyNamed(true);
            message = alreadyNamedNote;
            return true;
        }
        result = FileRename::renameNoReplace(fileInfo.absoluteFilePath(),
                                             folder.filePath(candidate), &error);
        if (result != FileRename::TargetExists)
            break;
    }
    entry->setNewName(candidate);
    switch (result) {
    case FileRename::Renamed:
        if (shortened)
            message += shortenedNote;
        if (n > 0)
            message += duplicateNote;
        qDebug().noquote() << fileInfo.fileName() + QStringLiteral(" -> ") + candidate;
        return true;
    case FileRename::SourceMissing:
        message = sourceMissingMessage;
        return false;
    default:
        qDebug().noquote() << QStringLiteral("%1 {error: %2 -> %3: %4}")
                                  .arg(QLatin1String(Q_FUNC_INFO), fileInfo.fileName(), candidate,
                                       result == FileRename::TargetExists
                                           ? QStringLiteral("every numbered name is taken")
                                           : error);
        message = renameFailedMessage;
        return false;
    }
}

} // namespace zorv
