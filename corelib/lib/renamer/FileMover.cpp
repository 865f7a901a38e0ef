#include "renamer/FileMover.h"

#include "data/Journal.h"
#include "renamer/NameComposition.h"
#include "renamer/RenamerText.h"
#include "utility/LogCategory.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <cerrno>
#include <unistd.h>

namespace zorv {

namespace {
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
} // namespace

void FileMover::setJournal(QSharedPointer<Journal> journal)
{
    this->journal = journal;
}

void FileMover::setDryRun(bool dryRun)
{
    this->dryRun = dryRun;
}

int FileMover::rename(const EntryPtr &entry, const RenameOption &option, const WorkInfo &work,
                      QString &message)
{
    previewing = dryRun || entry->isReviewOnly();
    // A file looked up again (previewed anew, or renamed after its review)
    // gives back the name its preview took and the name it left.
    const QString from = entry->fileInfo().absoluteFilePath();
    {
        QMutexLocker lock(&previewMutex);
        if (previewedMoves.contains(from)) {
            previewedPaths.remove(previewedMoves.take(from));
            previewedAway.remove(from);
        }
    }
    const QString baseName = composeBaseName(option, entry->id(), work);
    const QString safeName = sanitizeFileName(baseName);
    if (safeName != baseName)
        message += said(invalidCharactersNote);
    if (safeName.trimmed().isEmpty()) {
        // Only an extension, or blanks: a name that hides or vanishes in a
        // listing is no name.
        message += said(emptyNameMessage);
        return Entry::Error;
    }
    const Claim claim = claimName(entry, option, work);
    entry->setNewName(claim.name);
    if (!claim.alreadyNamed)
        return settle(entry, claim, message);
    entry->setAlreadyNamed(true);
    message = said(alreadyNamedNote);
    return Entry::Done;
}

FileMover::Claim FileMover::claimName(const EntryPtr &entry, const RenameOption &option,
                                      const WorkInfo &work)
{
    const QFileInfo fileInfo = entry->fileInfo();
    const QDir folder = fileInfo.absoluteDir();
    const QString suffix = fileExtension(fileInfo.fileName());
    const int maxBytes = fileNameMaxBytes(folder.absolutePath());
    // No look before the leap: another process may take a name between a
    // look and the rename. The rename itself refuses any name that is taken
    // (by a file, a folder or a link, dangling or not), and the next number
    // is tried.
    Claim claim;
    for (; claim.number <= maxDuplicateNumber; ++claim.number) {
        claim.name = composeFileName(option, entry->id(), work, suffix, claim.number, maxBytes,
                                     &claim.shortened);
        // A file that bears its name already (a second run over a folder),
        // numbered or not, must not be moved away from it to the next number.
        if (claim.name == fileInfo.fileName()) {
            claim.alreadyNamed =
                QFileInfo::exists(fileInfo.absoluteFilePath()) || fileInfo.isSymLink();
            claim.result = claim.alreadyNamed ? FileRename::Renamed : FileRename::SourceMissing;
            return claim;
        }
        claim.result =
            move(entry, fileInfo.absoluteFilePath(), folder.filePath(claim.name), &claim.error);
        if (claim.result != FileRename::TargetExists)
            return claim;
    }
    return claim;
}

int FileMover::settle(const EntryPtr &entry, const Claim &claim, QString &message) const
{
    const QString oldName = entry->fileInfo().fileName();
    switch (claim.result) {
    case FileRename::Renamed:
        if (claim.shortened)
            message += said(shortenedNote);
        if (claim.number > 0)
            message += said(duplicateNote);
        qCDebug(lcZorv).noquote() << oldName + QStringLiteral(" -> ") + claim.name;
        return previewing ? Entry::Preview : Entry::Done;
    case FileRename::SourceMissing:
        message = said(sourceMissingMessage);
        return Entry::Error;
    default:
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error: %2 -> %3: %4}")
                                         .arg(QLatin1String(Q_FUNC_INFO), oldName, claim.name,
                                              claim.result == FileRename::TargetExists
                                                  ? QStringLiteral("every numbered name is taken")
                                                  : claim.error);
        message = said(renameFailedMessage);
        return Entry::Error;
    }
}

FileRename::Result FileMover::move(const EntryPtr &entry, const QString &from, const QString &to,
                                   QString *error)
{
    if (previewing)
        return preview(from, to, error);
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

FileRename::Result FileMover::preview(const QString &from, const QString &to, QString *error)
{
    const QFileInfo target(to);
    // The system refuses a name longer than the folder takes before it looks
    // for anything: a name no fitting could shorten enough fails as in the run.
    if (fileNameBytes(target.fileName()) > fileNameMaxBytes(target.absolutePath())) {
        *error = qt_error_string(ENAMETOOLONG);
        return FileRename::Failed;
    }
    // The folder as the real run would have left it so far: names the
    // preview handed out are taken, and names it moved files away from are
    // free, so its " (n)" are those the real run gives.
    QMutexLocker lock(&previewMutex);
    const bool onDisk = (target.exists() || target.isSymLink()) && !previewedAway.contains(to);
    if (onDisk || previewedPaths.contains(to))
        return FileRename::TargetExists;
    if (!QFileInfo::exists(from) || previewedAway.contains(from))
        return FileRename::SourceMissing;
    // A folder that takes no new name (no write permission, a read-only
    // mount) fails the run's rename.
    if (::access(QFile::encodeName(target.absolutePath()).constData(), W_OK) != 0) {
        *error = qt_error_string(errno);
        return FileRename::Failed;
    }
    previewedPaths.insert(to);
    previewedMoves.insert(from, to);
    previewedPaths.remove(from);
    previewedAway.insert(from);
    previewedAway.remove(to);
    return FileRename::Renamed;
}

void FileMover::forgetPreviewed(const QStringList &paths)
{
    QMutexLocker lock(&previewMutex);
    for (const QString &path : paths) {
        previewedPaths.remove(path);
        previewedAway.remove(path);
        previewedMoves.remove(path);
    }
}

} // namespace zorv
