#include "plugin/PluginManager.h"
#include "utility/LogCategory.h"

#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <QPluginLoader>

namespace zorv {

PluginManager::PluginManager()
    : loaded(false)
{
}

PluginManager::~PluginManager()
{
    clear();
}

QString PluginManager::libraryPattern()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("*.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("*.dylib");
#else
    return QStringLiteral("*.so");
#endif
}

bool PluginManager::load(const QString &directory)
{
    return loadFrom(QStringList(directory), Q_FUNC_INFO);
}

bool PluginManager::load(const QStringList &directories)
{
    return loadFrom(directories, Q_FUNC_INFO);
}

bool PluginManager::loadFrom(const QStringList &directories, const char *signature)
{
    QMutexLocker lock(&mutex);
    if (loaded)
        return true;

    // One broken or foreign library costs only itself. A library of the
    // same file name as one already loaded from an earlier folder (an
    // installed copy beside a newer build, say) is not loaded twice.
    QStringList loadedNames;
    for (const QString &directory : directories) {
        // A relative folder would depend on the working directory.
        const QDir dir(directory);
        if (directory.isEmpty() || dir.isRelative() || !dir.exists())
            continue;
        const QStringList names =
            dir.entryList(QStringList(libraryPattern()), QDir::NoFilter, QDir::Name);
        for (const QString &name : names) {
            if (loadedNames.contains(name))
                continue;
            try {
                // The loader is not unloaded: the plug-in object lives
                // until the process ends.
                QPluginLoader loader(dir.absoluteFilePath(name));
                QObject *instance = loader.instance();
                if (!instance)
                    throw QStringLiteral("plugin instance failed. #%1").arg(name);
                PluginInterface *plugin = qobject_cast<PluginInterface *>(instance);
                if (!plugin)
                    throw QStringLiteral("plugin cast failed. #%1").arg(name);
                loadedPlugins.append(plugin);
                loadedNames.append(name);
                qCDebug(lcZorv).noquote() << QStringLiteral("%1 {plugin loaded. #%2}")
                                                 .arg(QLatin1String(signature), name);
            } catch (const QString &error) {
                qCDebug(lcZorv).noquote()
                    << QStringLiteral("%1 {error: %2}").arg(QLatin1String(signature), error);
            }
        }
    }
    if (loadedPlugins.isEmpty()) {
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {no error, but not exists plugins.}")
                                         .arg(QLatin1String(signature));
        return false;
    }
    loaded = true;
    return true;
}

QList<PluginInterface *> PluginManager::plugins() const
{
    QMutexLocker lock(&mutex);
    return loadedPlugins;
}

void PluginManager::clear()
{
    QMutexLocker lock(&mutex);
    if (loaded) {
        loadedPlugins.clear();
        loaded = false;
    }
}

} // namespace zorv
