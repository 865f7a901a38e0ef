#pragma once

#include <QByteArray>

namespace zorv {

// Repairs a shop page into well-formed XML with HTML Tidy. It runs only in the
// repair helper, a process of its own: the library can loop, recurse or
// allocate without end on crafted pages, which must cost that process and
// nothing else.
class HtmlRepair
{
public:
    // The diagnostics kept of one page: the log needs the first lines, and a
    // page can make the library report the same line without end.
    static constexpr int MaxReportLines = 20;
    // Far more than an element of a real page carries. The program's check
    // of the XML takes time with the square of one element's attributes,
    // and runs after the page's deadline no longer holds the repair.
    static constexpr int MaxAttributes = 1000;

    struct Result
    {
        int status = -1;       // the library's: negative on failure, 1 warnings, 2 errors
        bool tooLarge = false; // an element of more than MaxAttributes attributes once repaired
        QByteArray xml;        // UTF-8, empty on failure or when too large
        QByteArray report;     // its first diagnostics, a line each
    };

    // The page as UTF-8 bytes, all of them (NUL bytes included).
    static Result toXml(const QByteArray &html);
};

} // namespace zorv
