#include "HtmlRepair.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

namespace zorv {

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

struct Report
{
    QByteArray text;
    int lines = 0;
};

// Keeps the first lines and drops the rest (the library writes none of them).
Bool TIDY_CALL keepFirstLines(TidyDoc doc, TidyReportLevel, uint, uint, ctmbstr text)
{
    Report *report = static_cast<Report *>(tidyGetAppData(doc));
    if (report->lines++ < HtmlRepair::MaxReportLines)
        report->text += QByteArray(text) + '\n';
    return no;
}

// Whether an element of the tree carries more than MaxAttributes attributes.
// Walked in document order without recursion: the tree may be deep.
bool hasCrowdedElement(TidyDoc doc)
{
    for (TidyNode node = tidyGetRoot(doc); node;) {
        int attributes = 0;
        for (TidyAttr attribute = tidyAttrFirst(node);
             attribute && attributes <= HtmlRepair::MaxAttributes;
             attribute = tidyAttrNext(attribute))
            ++attributes;
        if (attributes > HtmlRepair::MaxAttributes)
            return true;
        TidyNode next = tidyGetChild(node);
        for (; !next && node; node = tidyGetParent(node))
            next = tidyGetNext(node);
        node = next;
    }
    return false;
}

// Parse, repair and write; a negative status skips what follows, and so
// does a tree too large to write.
int run(TidyDoc doc, const QByteArray &html, TidyBuffer *output, bool *tooLarge)
{
    TidyBuffer input;
    tidyBufInit(&input);
    tidyBufAttach(&input, reinterpret_cast<byte *>(const_cast<char *>(html.constData())),
                  uint(html.size()));
    int status = tidyParseBuffer(doc, &input);
    tidyBufDetach(&input);
    if (status >= 0)
        status = tidyCleanAndRepair(doc);
    *tooLarge = status >= 0 && hasCrowdedElement(doc);
    if (*tooLarge)
        return status;
    if (status >= 0)
        status = tidyRunDiagnostics(doc);
    // Shop pages are rarely free of errors; their repaired form is still
    // what the plug-ins read.
    if (status > 1)
        setOption(doc, TidyForceOutput, TidyYesState, "yes");
    if (status >= 0)
        status = tidySaveBuffer(doc, output);
    return status;
}

} // namespace

HtmlRepair::Result HtmlRepair::toXml(const QByteArray &html)
{
    Result result;
    Report report;
    TidyDoc doc = tidyCreate();
    tidySetAppData(doc, &report);
    tidySetReportFilter(doc, keepFirstLines);
    TidyBuffer output;
    TidyBuffer summary; // what the library writes beside the filtered lines
    tidyBufInit(&output);
    tidyBufInit(&summary);
    tidySetErrorBuffer(doc, &summary);

    // The first option that cannot be set ends the run; the page is still
    // converted with whatever was set before it.
    for (const RepairOption &option : repairOptions) {
        if (!setOption(doc, option.id, option.value, option.text))
            break;
    }
    if (setOption(doc, TidyWrapLen, 0, "0") && tidyOptSetValue(doc, TidyCharEncoding, "utf8")) {
        result.status = run(doc, html, &output, &result.tooLarge);
        if (result.status >= 0 && output.bp)
            result.xml = QByteArray(reinterpret_cast<const char *>(output.bp), int(output.size));
    }
    if (report.lines > MaxReportLines)
        report.text += QByteArray::number(report.lines - MaxReportLines) + " more lines\n";
    if (summary.bp)
        report.text += QByteArray(reinterpret_cast<const char *>(summary.bp), int(summary.size));
    result.report = report.text;

    if (output.bp)
        tidyBufFree(&output);
    if (summary.bp)
        tidyBufFree(&summary);
    tidyRelease(doc);
    return result;
}

} // namespace zorv
