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

    // Far deeper than real pages nest; the repair recurses once per level
    // and would overflow the stack on pages tens of thousands deep.
    static constexpr int MaxNestingDepth = 500;
    // Whether the page's elements nest deeper than MaxNestingDepth, judged
    // from its tags in one pass, without building anything.
    static bool nestedTooDeeply(const QString &html);

    // Repairs a downloaded page into XML text (empty on failure or when it is
    // nested too deeply).
    static QString htmlToXmlString(const QString &html);
    // The repaired page as a DOM (empty when it cannot be parsed).
    static QDomDocument htmlToXml(const QString &html);
};

} // namespace zorv
