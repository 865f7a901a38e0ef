#include "LogCapture.h"
#include "PluginFolder.h"
#include "TestPaths.h"
#include "plugin/PluginManager.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zorv;

class TestPluginFolder : public QObject
{
    Q_OBJECT

private slots:
    // Started in a folder that holds "plugins/Evil.so", the program never
    // loads it; a plug-in the user put in ~/.local/share/zorv/plugins loads.
    void onlyInstalledFoldersAreRead()
    {
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
        const QString store =
            QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile());
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("zorv/plugins")));
        QVERIFY(QFile::copy(store, home.filePath(QStringLiteral("zorv/plugins/UserStore.so"))));
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("plugins")));
        QVERIFY(QFile::copy(store, work.filePath(QStringLiteral("plugins/Evil.so"))));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());

        LogCapture log;
        const QStringList folders = PluginFolder::folders(QStringLiteral("/opt/zorv/bin"));
        PluginManager manager;
        const bool loaded = manager.load(folders);
        QDir::setCurrent(previous);
        QVERIFY(loaded);
        QCOMPARE(folders.first(), QStringLiteral("/opt/zorv/bin/plugins"));
        QVERIFY(folders.at(1).startsWith(QLatin1String("/opt/zorv/")));
        QCOMPARE(folders.last(), home.filePath(QStringLiteral("zorv/plugins")));
        for (const QString &folder : folders)
            QVERIFY2(QDir::isAbsolutePath(folder) && !folder.startsWith(work.path()),
                     qPrintable(folder));
        QCOMPARE(log.matching(QStringLiteral("{plugin folder: ")).size(), folders.size());
        QCOMPARE(log.matching(QStringLiteral("{plugin loaded. #UserStore.so}")).size(), 1);
        QVERIFY(log.matching(QStringLiteral("Evil.so")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPluginFolder)
#include "tst_pluginfolder.moc"
