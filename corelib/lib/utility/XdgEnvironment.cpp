#include "utility/XdgEnvironment.h"

#include <QDir>
#include <QString>
#include <QtGlobal>

namespace zorv {

void XdgEnvironment::dropRelativeFolders()
{
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty() && QDir::isRelativePath(value))
            qunsetenv(name);
    }
}

} // namespace zorv
