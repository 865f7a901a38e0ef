#include "utility/XmlUtility.h"
#include "utility/LogCategory.h"

#include <QDebug>
#include <QXmlStreamReader>

#include <algorithm>

namespace zorv {

bool XmlUtility::readUntilStartElement(QXmlStreamReader &reader, const QString &name)
{
    // The current token is looked at before reading on, so a reader that
    // already stands on the wanted element finds it at once.
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.isStartElement() && reader.name() == name)
            return true;
        if (reader.isEndElement() && reader.name() == name)
            return false;
        reader.readNext();
    }
    return false;
}

bool XmlUtility::isEndElement(QXmlStreamReader &reader, const QString &name)
{
    return reader.atEnd() || reader.hasError() || (reader.isEndElement() && reader.name() == name);
}

namespace {

// Entities the page uses without declaring them read as nothing, as the DOM
// reads them; the stream reader would stop there and leave the rest of the
// page unchecked.
class UndeclaredEntities : public QXmlStreamEntityResolver
{
public:
    QString resolveUndeclaredEntity(const QString &) override { return QLatin1String(""); }
};

void logError(const char *function, const QString &message, qint64 line, qint64 column)
{
    qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error #%2(%3:%4)")
                                     .arg(QLatin1String(function), message, QString::number(line),
                                          QString::number(column));
}

// Logs which limit the page is over, and says so.
XmlUtility::Load refuse(const char *function, XmlUtility::Load load, const char *what, int limit)
{
    qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error :%2 %3}")
                                     .arg(QLatin1String(function), QLatin1String(what))
                                     .arg(limit);
    return load;
}

// The repair writes a control character the page gave as a reference
// ("&#1;", a character pasted into a review) as the character itself, which
// XML does not allow: the stream reader would refuse the whole page where the
// DOM reads past it. None of them (single bytes in UTF-8, never part of a
// longer character) has a place in a product's fields.
void dropControlCharacters(QByteArray *xml)
{
    const auto notAllowed = [](char c) {
        const uchar byte = uchar(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    };
    xml->resize(int(std::remove_if(xml->begin(), xml->end(), notAllowed) - xml->begin()));
}

// One pass over the page's tokens: its depth, its size, and whether it is
// XML at all.
XmlUtility::Load check(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    // Read as the DOM reads it: the repair keeps attributes with a prefix
    // the page never declares ("xlink:href" of an inline icon, "v-on:click"),
    // which are plain names to the DOM and errors to a namespace check.
    reader.setNamespaceProcessing(false);
    UndeclaredEntities entities;
    reader.setEntityResolver(&entities);
    int depth = 0;
    int elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > XmlUtility::MaxNestingDepth)
                return refuse(Q_FUNC_INFO, XmlUtility::TooDeep, "nested deeper than",
                              XmlUtility::MaxNestingDepth);
            if (++elements > XmlUtility::MaxElements)
                return refuse(Q_FUNC_INFO, XmlUtility::TooLarge, "more elements than",
                              XmlUtility::MaxElements);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::DTD:
            // The repair writes none; one in its output came from the page,
            // and its entities could expand without end in the DOM.
            reader.raiseError(QStringLiteral("document type declaration"));
            break;
        default:
            break;
        }
    }
    if (!reader.hasError())
        return XmlUtility::Loaded;
    logError(Q_FUNC_INFO, reader.errorString(), reader.lineNumber(), reader.columnNumber());
    return XmlUtility::NotWellFormed;
}

} // namespace

XmlUtility::Load XmlUtility::loadRepairedPage(QByteArray xml, QDomDocument *document)
{
    *document = QDomDocument();
    // The repair writes each no-break space as the entity "&nbsp;", which XML
    // does not define: the DOM would keep it as an empty reference and glue
    // the words around it together ("Garden:Night"). The character reference
    // keeps the character.
    xml.replace("&nbsp;", "&#160;");
    dropControlCharacters(&xml);
    const Load checked = check(xml);
    if (checked != Loaded)
        return checked;
    QString message;
    int line = 0;
    int column = 0;
    if (!document->setContent(xml, false, &message, &line, &column)) {
        logError(Q_FUNC_INFO, message, line, column);
        // Qt keeps the part it read before the error. A page cut off there
        // must not be read as a page: it could pass for an error page or
        // yield fields of a page that was never loaded whole.
        *document = QDomDocument();
        return NotWellFormed;
    }
    return Loaded;
}

} // namespace zorv
