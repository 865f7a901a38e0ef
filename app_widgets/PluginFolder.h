#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

namespace zorv {

// Where the program looks for its store plug-ins: only where the user
// installed them, never the working directory (starting the program in a
// downloads folder must not run a library that happens to lie there).
class PluginFolder
{
public:
    static QString folderName();

    // The folders to load from, in order: beside the executable (a build
    // tree), the installed folder relative to the executable (a relocated
    // install), the installed folder as configured at build time, and the
    // user's own under the application's data location. Folders that do not
    // exist are left in; the loader skips them. Logs the list.
    static QStringList folders(const QString &executableDirectory);

    // The user's own plug-in folder: "plugins" in the application's local
    // data location (the application name must be set first).
    static QString userFolder();

    // The folder of the running executable, found without an application
    // object (the plug-ins are loaded before one exists).
    static QString executableDirectory(const char *argv0);
};

} // namespace zorv
