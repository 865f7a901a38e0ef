#pragma once

#include <QByteArray>
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

    // Far deeper than real pages nest; the DOM parser recurses once per level
    // and would overflow the stack on pages tens of thousands deep.
    static constexpr int MaxNestingDepth = 500;

    // A hundred times the elements of a large product page; each costs a
    // few hundred bytes in the DOM, so a page the repair blew up to millions
    // would take gigabytes.
    static constexpr int MaxElements = 500000;

    enum Load { Loaded, NotWellFormed, TooDeep, TooLarge };
    // Loads a repaired page into a DOM, without namespace processing, only
    // after one pass of the stream reader (which does not recurse) has found
    // it well-formed as the DOM reads it, without a document type
    // declaration, nested at most MaxNestingDepth deep and with at most
    // MaxElements elements. Control characters XML does not allow are
    // dropped first. The document stays empty unless the page is Loaded.
    static Load loadRepairedPage(QByteArray xml, QDomDocument *document);
};

} // namespace zorv
