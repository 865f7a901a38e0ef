#include "data/RenameOption.h"
#include "utility/LogCategory.h"

#include "utility/XmlUtility.h"

#include <QDebug>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace zorv {

namespace {
const QString tagRenameOption = QStringLiteral("rename_option");
const QString tagOrders = QStringLiteral("orders");
const QString tagOrder = QStringLiteral("order");
const QString tagSpaceSize = QStringLiteral("space_size");
const QString tagBeginDelimiter = QStringLiteral("begin_delimiter");
const QString tagEndDelimiter = QStringLiteral("end_delimiter");
const QString tagBeginDelimiterEnabled = QStringLiteral("begin_delimiter_enabled");
const QString tagEndDelimiterEnabled = QStringLiteral("end_delimiter_enabled");
const QString tagIdEnabled = QStringLiteral("id_enabled");
const QString tagMakerEnabled = QStringLiteral("maker_enabled");
const QString tagDateEnabled = QStringLiteral("date_enabled");
const QString tagAgeEnabled = QStringLiteral("age_enabled");

const int defaultOrders[RenameOption::OrderCount] = {Maker, Title, Id, Age, Date};

int readNumber(QXmlStreamReader &reader)
{
    return reader.readElementText().toInt(nullptr, 10);
}

QString flagText(bool flag)
{
    return QString::number(flag ? 1 : 0, 10);
}
} // namespace

RenameOption::RenameOption()
    : beginDelimiterEnabled(true)
    , endDelimiterEnabled(true)
    , idEnabled(true)
    , makerEnabled(true)
    , dateEnabled(true)
    , ageEnabled(true)
    , spaceSize_(1)
    , beginDelimiter_(QStringLiteral("["))
    , endDelimiter_(QStringLiteral("]"))
{
    // Slots a file leaves unset keep the default order's value, so every
    // slot always holds one of the five elements.
    for (int i = 0; i < OrderCount; ++i)
        orders[i] = defaultOrders[i];
}

bool RenameOption::operator==(const RenameOption &other) const
{
    for (int i = 0; i < OrderCount; ++i) {
        if (orders[i] != other.orders[i])
            return false;
    }
    return beginDelimiterEnabled == other.beginDelimiterEnabled &&
           endDelimiterEnabled == other.endDelimiterEnabled && idEnabled == other.idEnabled &&
           makerEnabled == other.makerEnabled && dateEnabled == other.dateEnabled &&
           ageEnabled == other.ageEnabled && spaceSize_ == other.spaceSize_ &&
           beginDelimiter_ == other.beginDelimiter_ && endDelimiter_ == other.endDelimiter_;
}

QSharedPointer<RenameOption> RenameOption::createDefault()
{
    return QSharedPointer<RenameOption>(new RenameOption);
}

QSharedPointer<RenameOption> RenameOption::read(QXmlStreamReader &reader)
{
    QSharedPointer<RenameOption> option(new RenameOption);
    try {
        if (!XmlUtility::readUntilStartElement(reader, tagRenameOption))
            throw QStringLiteral("not found tag#%1").arg(tagRenameOption);
        while (!XmlUtility::isEndElement(reader, tagRenameOption)) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const QStringRef name = reader.name();
            if (name == tagOrders) {
                int slot = 0;
                while (!XmlUtility::isEndElement(reader, tagOrders)) {
                    reader.readNext();
                    if (reader.isStartElement() && reader.name() == tagOrder) {
                        const int value = readNumber(reader);
                        // A sixth and later order has no slot to go to.
                        if (slot < OrderCount)
                            option->orders[slot] = value;
                        ++slot;
                    }
                }
            } else if (name == tagSpaceSize) {
                option->spaceSize_ = readNumber(reader);
            } else if (name == tagBeginDelimiter) {
                option->beginDelimiter_ = reader.readElementText();
            } else if (name == tagEndDelimiter) {
                option->endDelimiter_ = reader.readElementText();
            } else if (name == tagBeginDelimiterEnabled) {
                option->beginDelimiterEnabled = readNumber(reader) != 0;
            } else if (name == tagEndDelimiterEnabled) {
                option->endDelimiterEnabled = readNumber(reader) != 0;
            } else if (name == tagIdEnabled) {
                option->idEnabled = readNumber(reader) != 0;
            } else if (name == tagMakerEnabled) {
                option->makerEnabled = readNumber(reader) != 0;
            } else if (name == tagDateEnabled) {
                option->dateEnabled = readNumber(reader) != 0;
            } else if (name == tagAgeEnabled) {
                option->ageEnabled = readNumber(reader) != 0;
            }
        }
        return option;
    } catch (const QString &error) {
        qCDebug(lcZorv).noquote()
            << QStringLiteral("%1 {error:%2}").arg(QLatin1String(Q_FUNC_INFO), error);
        return QSharedPointer<RenameOption>();
    }
}

// A carriage return written as it is reads back as a line feed (XML folds
// line ends): it is written as a character reference.
void RenameOption::writeText(QXmlStreamWriter &writer, const QString &element, const QString &text)
{
    writer.writeStartElement(element);
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        writer.writeCharacters(pieces.at(i));
    }
    writer.writeEndElement();
}

void RenameOption::write(QXmlStreamWriter &writer, const QSharedPointer<RenameOption> &option)
{
    writer.writeStartElement(tagRenameOption);
    writer.writeStartElement(tagOrders);
    for (int i = 0; i < OrderCount; ++i)
        writer.writeTextElement(tagOrder, QString::number(option->orders[i], 10));
    writer.writeEndElement();
    writer.writeTextElement(tagSpaceSize, QString::number(option->spaceSize_, 10));
    writeText(writer, tagBeginDelimiter, option->beginDelimiter_);
    writeText(writer, tagEndDelimiter, option->endDelimiter_);
    writer.writeTextElement(tagBeginDelimiterEnabled, flagText(option->beginDelimiterEnabled));
    writer.writeTextElement(tagEndDelimiterEnabled, flagText(option->endDelimiterEnabled));
    writer.writeTextElement(tagIdEnabled, flagText(option->idEnabled));
    writer.writeTextElement(tagMakerEnabled, flagText(option->makerEnabled));
    writer.writeTextElement(tagDateEnabled, flagText(option->dateEnabled));
    writer.writeTextElement(tagAgeEnabled, flagText(option->ageEnabled));
    writer.writeEndElement();
}

} // namespace zorv
