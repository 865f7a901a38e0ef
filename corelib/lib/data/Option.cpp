#include "data/Option.h"
#include "utility/LogCategory.h"

#include "utility/XmlUtility.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace zorv {

namespace {
const QString optionFileName = QStringLiteral("option.xml");
const QString tagOption = QStringLiteral("option");
const QString tagRenameOption = QStringLiteral("rename_option");
} // namespace

Option::Option() = default;

RenameOption Option::copyRenameOption() const
{
    QMutexLocker lock(&mutex);
    return renameOption_ ? *renameOption_ : RenameOption();
}

void Option::storeRenameOption(const RenameOption &option)
{
    QMutexLocker lock(&mutex);
    if (renameOption_)
        *renameOption_ = option;
    else
        renameOption_.reset(new RenameOption(option));
}

QString Option::fileName()
{
    return optionFileName;
}

QString Option::filePath()
{
    const QFileInfo local(optionFileName);
    if (local.exists())
        return local.absoluteFilePath();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return QDir(folder).filePath(optionFileName);
}

QSharedPointer<Option> Option::createDefault()
{
    QSharedPointer<Option> option(new Option);
    option->renameOption_ = RenameOption::createDefault();
    return option;
}

QSharedPointer<Option> Option::read(QXmlStreamReader &reader)
{
    QSharedPointer<Option> option(new Option);
    try {
        if (!XmlUtility::readUntilStartElement(reader, tagOption))
            throw QStringLiteral("not found tag#%1").arg(tagOption);
        while (!XmlUtility::isEndElement(reader, tagOption)) {
            reader.readNext();
            if (reader.isStartElement() && reader.name() == tagRenameOption)
                option->renameOption_ = RenameOption::read(reader);
        }
        // Everything downstream expects a rename option: an option element
        // without a usable one gives the defaults.
        if (!option->renameOption_)
            option->renameOption_ = RenameOption::createDefault();
        return option;
    } catch (const QString &error) {
        qCDebug(lcZorv).noquote()
            << QStringLiteral("%1 {error:%2}").arg(QLatin1String(Q_FUNC_INFO), error);
        return QSharedPointer<Option>();
    }
}

void Option::write(QXmlStreamWriter &writer, const QSharedPointer<Option> &option)
{
    writer.writeStartElement(tagOption);
    QSharedPointer<RenameOption> renameOption = option->renameOption();
    if (!renameOption)
        renameOption = RenameOption::createDefault();
    RenameOption::write(writer, renameOption);
    writer.writeEndElement();
}

QSharedPointer<Option> Option::loadFromFile(const QString &path)
{
    QSharedPointer<Option> option;
    QFile file(QFileInfo(path).absoluteFilePath());
    bool whole = true;
    QString problem;
    if (file.exists() && file.size() > 0) {
        whole = false;
        if (file.open(QIODevice::ReadOnly)) {
            QXmlStreamReader reader(&file);
            option = read(reader);
            // A typo anywhere, also after the options, means the file says
            // more than was read.
            while (!reader.atEnd() && !reader.hasError())
                reader.readNext();
            whole = option && !reader.hasError();
            problem = reader.hasError() ? QStringLiteral("%1 at line %2")
                                              .arg(reader.errorString())
                                              .arg(reader.lineNumber())
                                        : QStringLiteral("no options in it");
        } else {
            problem = file.errorString();
        }
    }
    if (!option)
        option = createDefault();
    if (!whole) {
        option->fileReadWhole = false;
        qCDebug(lcZorv).noquote() << QStringLiteral(
                                         "%1 {error:%2 could not be read whole (%3); it is kept "
                                         "as it is and never overwritten}")
                                         .arg(QLatin1String(Q_FUNC_INFO), file.fileName(), problem);
    }
    return option;
}

void Option::saveToFile(const QSharedPointer<Option> &option, const QString &path)
{
    QByteArray document;
    {
        QXmlStreamWriter writer(&document);
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(4);
        writer.writeStartDocument();
        QSharedPointer<Option> snapshot(new Option);
        snapshot->renameOption_.reset(new RenameOption(option->copyRenameOption()));
        write(writer, snapshot);
        writer.writeEndDocument();
    }
    // A file that could not be read whole still holds the user's settings
    // (a typo drops everything after it): the running options go beside it.
    if (!option->fileReadWhole)
        qCDebug(lcZorv).noquote() << QStringLiteral(
                                         "%1 {option file kept, options saved to %2.new}")
                                         .arg(QLatin1String(Q_FUNC_INFO),
                                              QFileInfo(path).absoluteFilePath());
    // Written beside the old file and renamed over it only when every byte
    // is on disk, so a failed save (a full disk, say) leaves the user's
    // previous settings intact. Unbuffered, so a short write shows at once.
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return;
    QSaveFile file(target.absoluteFilePath() +
                   (option->fileReadWhole ? QString() : QStringLiteral(".new")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    if (file.write(document) != document.size() || !file.flush()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

} // namespace zorv
