#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

namespace zorv {

// Where the program looks for its store plug-ins. The working directory's
// "plugins" folder comes first; a program started from a desktop launcher
// runs in the home folder, which has none, so only then do the folder beside
// the executable and the installed plug-in folder get their turn.
class PluginFolder
{
public:
    static QString folderName();

    // The folder to load from: the working directory's "plugins" folder when
    // it exists, else the first existing fallback, else the working
    // directory's "plugins" again (whose absence the loader then reports).
    static QString choose(const QDir &workingDirectory, const QStringList &fallbacks);

    // The fallbacks in the order tried: beside the executable, the installed
    // folder relative to the executable (a relocated install), and the
    // installed folder as configured at build time.
    static QStringList fallbacks(const QString &executableDirectory);

    // The folder of the running executable, found without an application
    // object (the plug-ins are loaded before one exists).
    static QString executableDirectory(const char *argv0);
};

} // namespace zorv
