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

    // Loads every plug-in of the "plugins" folder once; true when at least one loaded.
    bool load();
    QList<PluginInterface *> plugins() const;
    void clear();

    // File pattern of loadable libraries on this platform.
    static QString libraryPattern();

private:
    bool loaded;
    QList<PluginInterface *> loadedPlugins;
    mutable QMutex mutex;
};

} // namespace zorv
