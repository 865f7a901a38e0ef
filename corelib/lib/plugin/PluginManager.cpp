#include "plugin/PluginManager.h"

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

QString PluginManager::defaultDirectory()
{
    return QStringLiteral("plugins");
}

bool PluginManager::load()
{
    return loadFrom(defaultDirectory(), Q_FUNC_INFO);
}

bool PluginManager::load(const QString &directory)
{
    return loadFrom(directory, Q_FUNC_INFO);
}

bool PluginManager::loadFrom(const QString &directory, const char *signature)
{
    QMutexLocker lock(&mutex);
    if (loaded)
        return true;

    bool result = false;
    try {
        const QDir dir(directory);
        if (dir.exists()) {
            const QStringList names =
                dir.entryList(QStringList(libraryPattern()), QDir::NoFilter, QDir::Unsorted);
            for (const QString &name : names) {
                // The loader is not unloaded: the plug-in object lives until
                // the process ends.
                QPluginLoader loader(dir.absoluteFilePath(name));
                QObject *instance = loader.instance();
                if (!instance)
                    throw QStringLiteral("plugin instance failed. #%1").arg(name);
                PluginInterface *plugin = qobject_cast<PluginInterface *>(instance);
                if (!plugin)
                    throw QStringLiteral("plugin cast failed. #%1").arg(name);
                loadedPlugins.append(plugin);
                qDebug().noquote() << QStringLiteral("%1 {plugin loaded. #%2}")
                                          .arg(QLatin1String(signature), name);
            }
        }
        if (loadedPlugins.isEmpty()) {
            qDebug().noquote() << QStringLiteral("%1 {no error, but not exists plugins.}")
                                      .arg(QLatin1String(signature));
        } else {
            loaded = true;
            result = true;
        }
    } catch (const QString &error) {
        qDebug().noquote() << QStringLiteral("%1 {error: %2}").arg(QLatin1String(signature), error);
    }
    return result;
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
