#pragma once

#include <QDomDocument>
#include <QString>

class QXmlStreamReader;

namespace zorv {

class XmlUtility
{
public:
    // Stream-reader helpers for the option file.
    static bool readUntilStartElement(QXmlStreamReader &reader, const QString &name);
    static bool isEndElement(QXmlStreamReader &reader, const QString &name);

    // Repairs a downloaded page into XML text (empty on failure).
    static QString htmlToXmlString(const QString &html);
    // The repaired page as a DOM (empty when it cannot be parsed).
    static QDomDocument htmlToXml(const QString &html);
};

} // namespace zorv
