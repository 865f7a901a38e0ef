#include "utility/XmlUtility.h"

#include <QXmlStreamReader>

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

// HTML repair: placeholder until the page pipeline lands.
QString XmlUtility::htmlToXmlString(const QString &)
{
    return QString();
}

QDomDocument XmlUtility::htmlToXml(const QString &html)
{
    QDomDocument document;
    document.setContent(htmlToXmlString(html));
    return document;
}

} // namespace zorv
