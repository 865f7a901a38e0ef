#include "utility/XmlUtility.h"
#include "utility/LogCategory.h"

#include <QDebug>
#include <QXmlStreamReader>

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

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

// Sets an option to a yes/no or enumerated value with the setter its type
// needs. Releases of the library differ in the type of some options (one
// release keeps "fix-bad-comments" as an enumeration whose value 1 means
// "yes"), and using the boolean setter on an enumeration aborts the process.
bool setOption(TidyDoc doc, TidyOptionId id, ulong value, ctmbstr text)
{
    switch (tidyOptGetType(tidyGetOption(doc, id))) {
    case TidyBoolean:
        return tidyOptSetBool(doc, id, value != 0 ? yes : no) == yes;
    case TidyInteger:
        return tidyOptSetInt(doc, id, value) == yes;
    case TidyString:
        return tidyOptSetValue(doc, id, text) == yes;
    }
    return false;
}

struct RepairOption
{
    TidyOptionId id;
    ulong value;
    ctmbstr text;
};

// How a shop page is repaired into XML, in the order the options are set.
// clang-format off
const RepairOption repairOptions[] = {
    {TidyXmlOut,         TidyYesState,    "yes"},
    {TidyXmlDecl,        TidyYesState,    "yes"},
    {TidyDropEmptyParas, TidyYesState,    "yes"},
    {TidyQuoteAmpersand, TidyYesState,    "yes"},
    {TidyQuoteNbsp,      TidyYesState,    "yes"},
    {TidyFixBackslash,   TidyYesState,    "yes"},
    {TidyFixComments,    TidyYesState,    "yes"},
    {TidyFixUri,         TidyYesState,    "yes"},
    {TidyDoctypeMode,    TidyDoctypeOmit, "omit"},
};
// clang-format on

// Elements that never hold others (void elements) or that the repair closes
// by itself at the next of their kind (optional end tags): they add no depth.
const std::unordered_set<std::string> flatElements = {
    "area",  "base",   "br",       "col",   "embed", "hr",    "img",      "input", "link", "meta",
    "param", "source", "track",    "wbr",   "p",     "li",    "dt",       "dd",    "tr",   "td",
    "th",    "option", "optgroup", "thead", "tbody", "tfoot", "colgroup", "rb",    "rt",   "rp"};

QString bufferText(const TidyBuffer &buffer)
{
    if (!buffer.bp)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(buffer.bp), int(buffer.size));
}

} // namespace

bool XmlUtility::nestedTooDeeply(const QString &html)
{
    std::vector<std::string> open;
    const int size = html.size();
    for (int at = html.indexOf(QLatin1Char('<')); at >= 0 && at + 1 < size;
         at = html.indexOf(QLatin1Char('<'), at + 1)) {
        if (html.midRef(at, 4) == QLatin1String("<!--")) {
            at = html.indexOf(QLatin1String("-->"), at);
            if (at < 0)
                break;
            continue;
        }
        const bool closing = html.at(at + 1) == QLatin1Char('/');
        const int start = at + (closing ? 2 : 1);
        int end = start;
        std::string name;
        for (; end < size && end - start < 16 && html.at(end).unicode() < 128 &&
               html.at(end).isLetterOrNumber();
             ++end)
            name += char(html.at(end).toLower().unicode());
        // "<!DOCTYPE", "<?xml", "a < b" and the like are no elements.
        if (name.empty() || flatElements.count(name) != 0)
            continue;
        if (!closing && (name == "script" || name == "style")) {
            // Their text may hold anything that looks like a tag: on past their end tag.
            at = html.indexOf(QStringLiteral("</%1").arg(QLatin1String(name.c_str())), end,
                              Qt::CaseInsensitive);
            at = at < 0 ? -1 : html.indexOf(QLatin1Char('>'), at);
            if (at < 0)
                break;
            continue;
        }
        const int close = html.indexOf(QLatin1Char('>'), end);
        if (close < 0)
            break;
        if (closing) {
            // The repair drops an end tag that closes nothing, so only one
            // that matches an open element (and the ones it implies closed)
            // makes the page shallower: "<div>x</span>" over and over nests.
            const auto match = std::find(open.rbegin(), open.rend(), name);
            if (match != open.rend())
                open.erase(std::next(match).base(), open.end());
        } else if (html.at(close - 1) != QLatin1Char('/')) {
            open.push_back(name);
            if (int(open.size()) > MaxNestingDepth)
                return true;
        }
        at = close;
    }
    return false;
}

QString XmlUtility::htmlToXmlString(const QString &html)
{
    if (nestedTooDeeply(html)) {
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error :nested deeper than %2}")
                                         .arg(QLatin1String(Q_FUNC_INFO))
                                         .arg(MaxNestingDepth);
        return QString();
    }
    QString result;
    TidyDoc doc = tidyCreate();
    TidyBuffer output;
    TidyBuffer diagnostics;
    tidyBufInit(&output);
    tidyBufInit(&diagnostics);

    // The first option that cannot be set ends the run; the page is still
    // converted with whatever was set before it.
    for (const RepairOption &option : repairOptions) {
        if (!setOption(doc, option.id, option.value, option.text))
            break;
    }

    if (setOption(doc, TidyWrapLen, 0, "0") && tidyOptSetValue(doc, TidyCharEncoding, "utf8")) {
        const QByteArray bytes = html.toUtf8();
        int status = tidySetErrorBuffer(doc, &diagnostics);
        if (status >= 0)
            status = tidyParseString(doc, bytes.constData());
        if (status >= 0)
            status = tidyCleanAndRepair(doc);
        if (status >= 0)
            status = tidyRunDiagnostics(doc);
        // Shop pages are rarely free of errors; their repaired form is still
        // what the plug-ins read.
        if (status > 1)
            setOption(doc, TidyForceOutput, TidyYesState, "yes");
        if (status >= 0) {
            status = tidySaveBuffer(doc, &output);
            if (status > 0)
                qCDebug(lcZorv).noquote()
                    << QStringLiteral("%1 {warning :%2")
                           .arg(QLatin1String(Q_FUNC_INFO), bufferText(diagnostics));
            if (status >= 0)
                result = bufferText(output);
        }
        if (status < 0)
            qCDebug(lcZorv).noquote()
                << QStringLiteral("%1 {error :%2")
                       .arg(QLatin1String(Q_FUNC_INFO), QString::number(status));
    }

    if (output.bp)
        tidyBufFree(&output);
    if (diagnostics.bp)
        tidyBufFree(&diagnostics);
    tidyRelease(doc);
    return result;
}

QDomDocument XmlUtility::htmlToXml(const QString &html)
{
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    // Tidy writes each no-break space as the entity "&nbsp;", which XML does
    // not define: the DOM would keep it as an empty reference and glue the
    // words around it together ("Garden:Night"). The character reference
    // keeps the character.
    QString xml = htmlToXmlString(html);
    xml.replace(QLatin1String("&nbsp;"), QLatin1String("&#160;"));
    if (!document.setContent(xml, false, &message, &line, &column)) {
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error #%2(%3:%4)")
                                         .arg(QLatin1String(Q_FUNC_INFO), message,
                                              QString::number(line), QString::number(column));
        // Qt keeps the part it read before the error. A page cut off there
        // must not be read as a page: it could pass for an error page or
        // yield fields of a page that was never loaded whole.
        return QDomDocument();
    }
    return document;
}

} // namespace zorv
