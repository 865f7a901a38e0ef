#include "renamer/Undo.h"

#include "data/Journal.h"
#include "utility/FileRename.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QPair>

namespace zorv {

namespace {
// Translated when said: these are made before any translator is installed.
const char *const takenBackMessage = QT_TRANSLATE_NOOP("zorv::Undo", "'元に戻しました。'");
const char *const missingMessage = QT_TRANSLATE_NOOP("zorv::Undo", "'ファイルが見つかりません。'");
const char *const oldNameTakenMessage =
    QT_TRANSLATE_NOOP("zorv::Undo", "'元の名前のファイルが既にあります。'");
const char *const failedMessage = QT_TRANSLATE_NOOP("zorv::Undo", "'元に戻せませんでした。'");
const char *const otherFileMessage = QT_TRANSLATE_NOOP(
    "zorv::Undo", "'名前を変えたファイルとは別のファイルか、変更されたファイルです。'");
const char *const damagedMessage =
    QT_TRANSLATE_NOOP("zorv::Undo", "'記録が壊れているので飛ばしました。'");

QString said(const char *message)
{
    return QCoreApplication::translate("zorv::Undo", message);
}

int field(const QJsonObject &record, const char *name)
{
    return record.value(QLatin1String(name)).toInt();
}
qint64 runField(const QJsonObject &record, const char *name)
{
    return Journal::runNumber({{QStringLiteral("run"), record.value(QLatin1String(name))}});
}
// A name that stays in its folder: no separator, no "." or "..", no NUL.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}
QString text(const QJsonObject &record, const char *name)
{
    return record.value(QLatin1String(name)).toString();
}
} // namespace

Undo::Rename Undo::renameOf(const QJsonObject &intent)
{
    Rename rename;
    rename.run = Journal::runNumber(intent);
    rename.seq = field(intent, "seq");
    rename.id = text(intent, "id");
    rename.folder = text(intent, "folder");
    rename.oldName = text(intent, "old");
    rename.newName = text(intent, "new");
    rename.identity = FileIdentity::from(intent);
    rename.usable = isPlainName(rename.oldName) && isPlainName(rename.newName) &&
                    QDir::isAbsolutePath(rename.folder) && !rename.folder.contains(QChar(0));
    return rename;
}

Undo::Undo(const Journal &journal)
{
    typedef QPair<qint64, int> Key; // run, seq
    QHash<Key, int> intents;        // index into renames
    QHash<Key, Key> undoes;         // undo intent -> the rename it takes back
    QHash<Key, bool> outcomes;
    QHash<qint64, int> runIndex;
    for (const QJsonObject &record : journal.records()) {
        const QString type = text(record, "type");
        const Key key(Journal::runNumber(record), field(record, "seq"));
        if (key.first == 0)
            continue;
        if (type == QLatin1String("run")) {
            Run run;
            run.number = key.first;
            run.time = text(record, "time");
            run.mode = text(record, "mode");
            runIndex.insert(run.number, runs.size());
            runs.append(run);
        } else if (type == QLatin1String("intent")) {
            intents.insert(key, renames.size());
            renames.append(renameOf(record));
            if (record.contains(QStringLiteral("undoes_run")))
                undoes.insert(key,
                              Key(runField(record, "undoes_run"), field(record, "undoes_seq")));
        } else if (type == QLatin1String("outcome")) {
            outcomes.insert(key, record.value(QStringLiteral("renamed")).toBool());
        }
    }
    for (Rename &rename : renames) {
        const Key key(rename.run, rename.seq);
        // An intent without an outcome is a rename cut short by a crash: the
        // rename happened exactly when the old name is gone.
        rename.renamed = outcomes.contains(key)
                             ? outcomes.value(key)
                             : !QFileInfo::exists(QDir(rename.folder).filePath(rename.oldName));
    }
    for (auto it = undoes.constBegin(); it != undoes.constEnd(); ++it) {
        const int undoIndex = intents.value(it.key(), -1);
        const int target = intents.value(it.value(), -1);
        if (undoIndex >= 0 && target >= 0 && renames.at(undoIndex).renamed)
            renames[target].undoneBy = it.key().first;
    }
    for (const Rename &rename : qAsConst(renames)) {
        const int index = runIndex.value(rename.run, -1);
        if (index < 0 || !rename.renamed)
            continue;
        Run &run = runs[index];
        ++(rename.undoneBy ? run.undone : run.renames);
        if (!run.folders.contains(rename.folder))
            run.folders.append(rename.folder);
    }
    for (int i = runs.size() - 1; i >= 0; --i) {
        if (runs.at(i).renames + runs.at(i).undone == 0)
            runs.removeAt(i);
    }
}

QList<Undo::Run> Undo::history() const
{
    return runs;
}

qint64 Undo::latestRun() const
{
    for (int i = runs.size() - 1; i >= 0; --i) {
        if (runs.at(i).mode != QLatin1String("undo") && runs.at(i).renames > 0)
            return runs.at(i).number;
    }
    return 0;
}

QList<Undo::Step> Undo::undo(qint64 run, bool dryRun, const QString &journalPath, int lastSeq) const
{
    QList<Step> steps;
    Journal journal(journalPath);
    for (int i = renames.size() - 1; i >= 0; --i) {
        const Rename &rename = renames.at(i);
        if (rename.run != run || !rename.renamed || rename.undoneBy || rename.seq > lastSeq)
            continue;
        Step step;
        step.id = rename.id;
        step.folder = rename.folder;
        step.from = rename.newName;
        step.to = rename.oldName;
        const QDir folder(rename.folder);
        FileRename::Result result = FileRename::Failed;
        QString error;
        const FileIdentity now = FileIdentity::of(folder.filePath(step.from));
        if (!rename.usable ||
            (now.valid && rename.identity.valid && !now.isStill(rename.identity, rename.folder))) {
            step.message = said(rename.usable ? otherFileMessage : damagedMessage);
            steps.append(step);
            continue;
        }
        if (!now.valid) {
            result = FileRename::SourceMissing;
        } else if (QFileInfo::exists(folder.filePath(step.to))) {
            result = FileRename::TargetExists;
        } else if (dryRun) {
            step.state = Step::Preview;
        } else {
            if (!journal.run())
                journal.beginRun(QStringLiteral("undo"), {{QStringLiteral("undoes"), run}});
            const int seq = journal.intent(rename.folder, step.from, step.to,
                                           {{QStringLiteral("id"), rename.id},
                                            {QStringLiteral("undoes_run"), rename.run},
                                            {QStringLiteral("undoes_seq"), rename.seq}});
            result = FileRename::renameNoReplace(folder.filePath(step.from),
                                                 folder.filePath(step.to), &error);
            journal.outcome(seq, result == FileRename::Renamed);
        }
        switch (step.state == Step::Preview ? FileRename::Renamed : result) {
        case FileRename::Renamed:
            step.message = dryRun ? QString() : said(takenBackMessage);
            step.state = dryRun ? Step::Preview : Step::Done;
            break;
        case FileRename::SourceMissing:
            step.message = said(missingMessage);
            break;
        case FileRename::TargetExists:
            step.message = said(oldNameTakenMessage);
            break;
        case FileRename::Failed:
            step.state = Step::Failed;
            step.message = said(failedMessage) + error;
            break;
        }
        steps.append(step);
    }
    return steps;
}

} // namespace zorv
