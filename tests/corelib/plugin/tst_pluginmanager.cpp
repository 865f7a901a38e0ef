#include "LogCapture.h"
#include "TestPaths.h"
#include "plugin/PluginManager.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zorv;

namespace {

const QString loadSignature = QStringLiteral("bool zorv::PluginManager::load()");

QString otherPluginFile()
{
    return QStringLiteral(ZORV_OTHER_PLUGIN_FILE);
}

QString sakuvoFile()
{
    return QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile());
}

// Places one entry of a test "plugins" folder: a copy of a built plug-in,
// a text file named like a library, or a folder.
void place(const QDir &dir, const QString &entry)
{
    const QString kind = entry.section(QLatin1Char(':'), 0, 0);
    const QString name = entry.section(QLatin1Char(':'), 1);
    if (kind == QLatin1String("store"))
        QVERIFY(QFile::copy(sakuvoFile(), dir.filePath(name)));
    else if (kind == QLatin1String("other"))
        QVERIFY(QFile::copy(otherPluginFile(), dir.filePath(name)));
    else if (kind == QLatin1String("text")) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a library\n");
    } else if (kind == QLatin1String("folder"))
        QVERIFY(dir.mkdir(name));
    else
        QFAIL(qPrintable(QStringLiteral("unknown entry kind ") + kind));
}

class WorkingDirectory
{
public:
    WorkingDirectory()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QDir pluginFolder()
    {
        QDir(dir.path()).mkdir(QStringLiteral("plugins"));
        return QDir(dir.filePath(QStringLiteral("plugins")));
    }

private:
    QTemporaryDir dir;
    QString previous;
};

} // namespace

class TestPluginManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(sakuvoFile()), qPrintable(sakuvoFile()));
        QVERIFY2(QFile::exists(otherPluginFile()), qPrintable(otherPluginFile()));
    }

    void load_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("built store plug-in")
            << QStringList{"store:Sakuvo.so"} << true << 1 << "{plugin loaded. #Sakuvo.so}";
        QTest::newRow("plug-in of another interface") << QStringList{"other:Other.so"} << false << 0
                                                      << "{error: plugin cast failed. #Other.so}";
        QTest::newRow("text named like a library") << QStringList{"text:broken.so"} << false << 0
                                                   << "{error: plugin instance failed. #broken.so}";
        QTest::newRow("folder named like a library") << QStringList{"folder:lib.so"} << false << 0
                                                     << "{error: plugin instance failed. #lib.so}";
        QTest::newRow("other patterns never handed to the loader")
            << QStringList{"store:Sakuvo.so", "text:notes.txt", "text:broken.dll",
                           "text:broken.so.1", "text:so"}
            << true << 1 << "{plugin loaded. #Sakuvo.so}";
        QTest::newRow("only other patterns") << QStringList{"text:broken.dll", "text:readme"}
                                             << false << 0 << "{no error, but not exists plugins.}";
        QTest::newRow("empty folder")
            << QStringList() << false << 0 << "{no error, but not exists plugins.}";
    }

    void load()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, result);
        QFETCH(int, count);
        QFETCH(QString, logLine);
        WorkingDirectory cwd;
        const QDir folder = cwd.pluginFolder();
        for (const QString &entry : entries)
            place(folder, entry);

        PluginManager manager;
        LogCapture log;
        QCOMPARE(manager.load(), result);
        QCOMPARE(manager.plugins().size(), count);
        QCOMPARE(log.lines().size(), 1);
        QCOMPARE(log.lines().first(), loadSignature + QLatin1Char(' ') + logLine);
        QCOMPARE(Singleton<PluginManager>::instance(), &manager);
    }

    void missingFolder()
    {
        WorkingDirectory cwd;
        PluginManager manager;
        LogCapture log;
        QVERIFY(!manager.load());
        QVERIFY(manager.plugins().isEmpty());
        QCOMPARE(log.lines(), QStringList{loadSignature +
                                          QStringLiteral(" {no error, but not exists plugins.}")});
    }

    void loadedPluginAnswersItsInterface()
    {
        WorkingDirectory cwd;
        place(cwd.pluginFolder(), QStringLiteral("store:Sakuvo.so"));
        PluginManager manager;
        QVERIFY(manager.load());
        const QList<PluginInterface *> plugins = manager.plugins();
        QCOMPARE(plugins.size(), 1);
        QCOMPARE(plugins.first()->information()->name, QStringLiteral("Sakuvo"));
    }

    void secondLoadNeitherScansNorLogs()
    {
        WorkingDirectory cwd;
        const QDir folder = cwd.pluginFolder();
        place(folder, QStringLiteral("store:Sakuvo.so"));
        PluginManager manager;
        QVERIFY(manager.load());
        // A broken entry added later would fail a new scan.
        place(folder, QStringLiteral("text:broken.so"));
        LogCapture log;
        QVERIFY(manager.load());
        QCOMPARE(manager.plugins().size(), 1);
        QVERIFY(log.lines().isEmpty());
    }

    void pluginsLoadedBeforeAFailureStay()
    {
        WorkingDirectory cwd;
        QDir folder = cwd.pluginFolder();
        // The scan follows the file system's order; make sure the broken
        // entry is not the first one listed.
        const QStringList stores{"a.so", "b.so", "c.so", "d.so"};
        for (const QString &name : stores)
            place(folder, QStringLiteral("store:") + name);
        QString broken;
        for (int attempt = 0; attempt < 50 && broken.isEmpty(); ++attempt) {
            const QString name = QStringLiteral("broken%1.so").arg(attempt);
            place(folder, QStringLiteral("text:") + name);
            if (folder.entryList({"*.so"}, QDir::NoFilter, QDir::Unsorted).first() != name)
                broken = name;
            else
                QVERIFY(folder.remove(name));
        }
        QVERIFY(!broken.isEmpty());
        const int before =
            folder.entryList({"*.so"}, QDir::NoFilter, QDir::Unsorted).indexOf(broken);
        QVERIFY(before > 0);

        PluginManager manager;
        LogCapture log;
        QVERIFY(!manager.load());
        QCOMPARE(manager.plugins().size(), before);
        QCOMPARE(log.matching(QStringLiteral("plugin loaded.")).size(), before);
        QCOMPARE(log.lines().last(), loadSignature +
                                         QStringLiteral(" {error: plugin instance failed. #") +
                                         broken + QLatin1Char('}'));
    }

    void loadFromAGivenFolder()
    {
        QTemporaryDir dir;
        place(QDir(dir.path()), QStringLiteral("store:Sakuvo.so"));
        PluginManager manager;
        LogCapture log;
        QVERIFY(manager.load(dir.path()));
        QCOMPARE(manager.plugins().size(), 1);
        QCOMPARE(log.lines(),
                 QStringList{QStringLiteral("bool zorv::PluginManager::load(const QString&) "
                                            "{plugin loaded. #Sakuvo.so}")});
    }

    void notLoadedManagerHasNoPlugins()
    {
        PluginManager manager;
        QVERIFY(manager.plugins().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPluginManager)
#include "tst_pluginmanager.moc"
