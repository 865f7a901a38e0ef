#pragma once

#include <QDir>
#include <QString>

// Where the tests find their data and the built program.
struct TestPaths
{
    static QString dataFile(const QString &relative)
    {
        return QDir(QStringLiteral(ZORV_TEST_DATA_DIR)).filePath(relative);
    }
    static QString pluginBuildDir() { return QStringLiteral(ZORV_PLUGIN_BUILD_DIR); }
    static QString binDir() { return QStringLiteral(ZORV_BIN_DIR); }
    // The page repair helper, which test programs do not have beside them.
    static QString repairHelper() { return binDir() + QStringLiteral("/zorv-repair"); }
#ifdef Q_OS_WIN
    static QString storePluginFile()
    {
        return QStringLiteral("Sakuvo.dll");
    }
#else
    static QString storePluginFile()
    {
        return QStringLiteral("Sakuvo.so");
    }
#endif
};
