#include "PluginFolder.h"
#include "utility/LogCategory.h"

#include <QDebug>
#include <QFileInfo>
#include <QStandardPaths>

namespace zorv {

QString PluginFolder::folderName()
{
    return QStringLiteral("plugins");
}

QStringList PluginFolder::folders(const QString &executableDirectory)
{
    QStringList folders;
    if (!executableDirectory.isEmpty()) {
        const QDir beside(executableDirectory);
        folders.append(beside.absoluteFilePath(folderName()));
        folders.append(
            QDir::cleanPath(beside.absoluteFilePath(QStringLiteral(ZORV_PLUGINDIR_FROM_BINDIR))));
    }
    folders.append(QStringLiteral(ZORV_INSTALLED_PLUGINDIR));
    const QString user = userFolder();
    if (!user.isEmpty())
        folders.append(user);
    folders.removeDuplicates();
    for (const QString &folder : qAsConst(folders))
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {plugin folder: %2}")
                                         .arg(QLatin1String(Q_FUNC_INFO),
                                              QDir::toNativeSeparators(folder));
    return folders;
}

QString PluginFolder::userFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty())
        return QString();
    return QDir(data).absoluteFilePath(folderName());
}

QString PluginFolder::executableDirectory(const char *argv0)
{
#ifdef Q_OS_LINUX
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!self.isEmpty())
        return QFileInfo(self).absolutePath();
#endif
    if (!argv0 || !*argv0)
        return QString();
    QString program = QString::fromLocal8Bit(argv0);
    if (!program.contains(QLatin1Char('/')) && !program.contains(QLatin1Char('\\')))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return QString();
    return QFileInfo(program).canonicalPath();
}

} // namespace zorv
