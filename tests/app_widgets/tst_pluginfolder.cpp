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
        QTemporaryDir work;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
        const QString store = TestPaths::pluginBuildDir() + "/" + TestPaths::storePluginFile();
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("zorv/plugins")));
        QVERIFY(QFile::copy(store, home.filePath(QStringLiteral("zorv/plugins/UserStore.so"))));
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("plugins")));
        QVERIFY(QFile::copy(store, work.filePath(QStringLiteral("plugins/Evil.so"))));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        LogCapture log;
        const QStringList folders = PluginFolder::folders(QStringLiteral("/opt/zorv/bin"));
        PluginManager manager;
        QVERIFY(manager.load(folders));
        QDir::setCurrent(previous);
        QCOMPARE(folders.last(), home.filePath(QStringLiteral("zorv/plugins")));
        QCOMPARE(log.matching(QStringLiteral("{plugin folder: /")).size(), folders.size());
        QCOMPARE(log.matching(QStringLiteral("{plugin loaded. #UserStore.so}")).size(), 1);
        QVERIFY(log.matching(QStringLiteral("Evil.so")).isEmpty());
    }
};

ZORV_TEST_GUILESS_MAIN(TestPluginFolder)
#include "tst_pluginfolder.moc"
