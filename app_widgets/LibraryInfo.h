#pragma once

#include <QString>

namespace zorv {

// One row of the libraries the program is built on, as the library dialogs
// show it.
struct LibraryInfo
{
    // Row 0 is Qt, row 1 HTML Tidy; LibraryCount is also "no library".
    enum Index { QtIndex = 0, HtmlTidyIndex = 1, LibraryCount = 2 };

    QString name;
    QString version;
    QString homeUrl;
    QString licenseName;
    QString licenseUrl;
    QString copyright;

    // The row of a library index; six empty texts for any index but 0 and 1.
    static LibraryInfo fromIndex(int index);
};

// "Qt" for 0, "HTML Tidy" for 1, empty for any other index.
QString libraryName(int index);

} // namespace zorv
