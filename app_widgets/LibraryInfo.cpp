#include "LibraryInfo.h"

#include <QtGlobal>

#include <tidy/tidy.h>

namespace zorv {

LibraryInfo LibraryInfo::fromIndex(int index)
{
    LibraryInfo info;
    switch (index) {
    case QtIndex:
        info.name = libraryName(index);
        // The versions are the ones the running program is linked with, not
        // the ones it was once written against.
        info.version = QString::fromLatin1(qVersion());
        info.homeUrl = QStringLiteral("https://www.qt.io/");
        info.licenseName = QStringLiteral("LGPL v3");
        info.licenseUrl = QStringLiteral("https://doc.qt.io/qt-5/lgpl.html");
        info.copyright =
            QStringLiteral("Copyright (C) The Qt Company Ltd. and other contributors.");
        break;
    case HtmlTidyIndex:
        info.name = libraryName(index);
        info.version = QString::fromLatin1(tidyLibraryVersion());
        info.homeUrl = QStringLiteral("https://www.html-tidy.org/");
        // HTML Tidy is under its own permissive licence, which its
        // distribution calls "tidy".
        info.licenseName = QStringLiteral("tidy");
        info.licenseUrl =
            QStringLiteral("https://github.com/htacg/tidy-html5/blob/next/README/LICENSE.md");
        info.copyright = QStringLiteral(
            "Copyright (c) 1998-2016 World Wide Web Consortium (Massachusetts Institute of "
            "Technology, European Research Consortium for Informatics and Mathematics, Keio "
            "University). All Rights Reserved.");
        break;
    default:
        break;
    }
    return info;
}

QString libraryName(int index)
{
    switch (index) {
    case LibraryInfo::QtIndex:
        return QStringLiteral("Qt");
    case LibraryInfo::HtmlTidyIndex:
        return QStringLiteral("HTML Tidy");
    default:
        return QString();
    }
}

} // namespace zorv
