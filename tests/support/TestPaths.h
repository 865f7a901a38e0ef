#pragma once

#include <QDir>
#include <QString>

// Where the tests find their data and the built program.
namespace TestPaths {

inline QString dataDir()
{
    return QStringLiteral(ZORV_TEST_DATA_DIR);
}
inline QString dataFile(const QString &relative)
{
    return QDir(dataDir()).filePath(relative);
}
inline QString pluginBuildDir()
{
    return QStringLiteral(ZORV_PLUGIN_BUILD_DIR);
}
inline QString binDir()
{
    return QStringLiteral(ZORV_BIN_DIR);
}
inline QString testBinDir()
{
    return QStringLiteral(ZORV_TEST_BIN_DIR);
}

#ifdef Q_OS_WIN
inline QString storePluginFile()
{
    return QStringLiteral("Sakuvo.dll");
}
#else
inline QString storePluginFile()
{
    return QStringLiteral("Sakuvo.so");
}
#endif

} // namespace TestPaths
