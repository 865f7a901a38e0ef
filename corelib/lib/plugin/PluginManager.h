#pragma once

#include "plugin/PluginInterface.h"
#include "plugin/Singleton.h"

#include <QList>
#include <QMutex>
#include <QString>

namespace zorv {

// The registry of loaded store plug-ins. Plug-in objects belong to Qt's
// plug-in loader and stay loaded until the process ends.
class PluginManager : public Singleton<PluginManager>
{
public:
    PluginManager();
    ~PluginManager() override;

    // Loads every plug-in of the "plugins" folder of the working directory
    // once; true when at least one loaded.
    bool load();
    // The same from a given folder (a program started from a desktop launcher
    // has no "plugins" folder in its working directory).
    bool load(const QString &directory);
    QList<PluginInterface *> plugins() const;
    void clear();

    // File pattern of loadable libraries on this platform.
    static QString libraryPattern();
    // The folder load() scans: "plugins", relative to the working directory.
    static QString defaultDirectory();

private:
    // signature: the calling operation's, for the log lines.
    bool loadFrom(const QString &directory, const char *signature);

    bool loaded;
    QList<PluginInterface *> loadedPlugins;
    mutable QMutex mutex;
};

} // namespace zorv
