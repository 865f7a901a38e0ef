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

    // Loads every plug-in of the folders, in their order, once; true when
    // at least one loaded. A library that does not load is logged and
    // skipped. The caller names the folders: code is loaded only from where
    // the user installed it, never from the working directory.
    bool load(const QStringList &directories);
    bool load(const QString &directory);
    QList<PluginInterface *> plugins() const;
    void clear();

    // File pattern of loadable libraries on this platform.
    static QString libraryPattern();

private:
    // signature: the calling operation's, for the log lines.
    bool loadFrom(const QStringList &directories, const char *signature);

    bool loaded;
    QList<PluginInterface *> loadedPlugins;
    mutable QMutex mutex;
};

} // namespace zorv
