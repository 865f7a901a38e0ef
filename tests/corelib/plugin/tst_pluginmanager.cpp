#include "LogCapture.h"
#include "TestPaths.h"
#include "plugin/PluginManager.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zorv;

class TestPluginManager : public QObject
{
    Q_OBJECT

private slots:
    // Entries "<folder>/<kind>:<name>": folders "a" and "b" are given in
    // that order, "rel" as a relative path (resolved against the working
    // directory, which must never be read); kinds: the built store plug-in,
    // a Qt plug-in of another interface, a text file, a folder.
    void load_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("log");
        QTest::addRow("store plug-in")
            << QStringList{"a/store:Sakuvo.so"} << 1 << QStringList{"plugin loaded. #Sakuvo.so"};
        QTest::addRow("libraries that do not load are skipped")
            << QStringList{"a/other:Other.so",  "a/text:broken.so", "a/folder:lib.so",
                           "a/store:Sakuvo.so", "a/text:notes.txt", "b/text:x.dll"}
            << 1
            << QStringList{"error: plugin cast failed. #Other.so", "plugin loaded. #Sakuvo.so",
                           "error: plugin instance failed. #broken.so",
                           "error: plugin instance failed. #lib.so"};
        QTest::addRow("nothing loads") << QStringList{"b/text:broken.so"} << 0
                                       << QStringList{"error: plugin instance failed. #broken.so",
                                                      "no error, but not exists plugins."};
        QTest::addRow("a name loaded from an earlier folder is not loaded again")
            << QStringList{"a/store:Sakuvo.so", "b/store:Sakuvo.so", "b/store:Second.so"} << 2
            << QStringList{"plugin loaded. #Sakuvo.so", "plugin loaded. #Second.so"};
        QTest::addRow("relative folder never read")
            << QStringList{"rel/store:Sakuvo.so"} << 0
            << QStringList{"no error, but not exists plugins."};
    }

    void load()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, count);
        QFETCH(QStringList, log);
        QTemporaryDir root;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root.path());
        for (const QString &entry : qAsConst(entries)) {
            const QString folder = root.filePath(entry.section(QLatin1Char('/'), 0, 0));
            const QString kind = entry.section(QLatin1Char('/'), 1).section(QLatin1Char(':'), 0, 0);
            const QString name = QDir(folder).filePath(entry.section(QLatin1Char(':'), 1));
            QVERIFY(QDir().mkpath(folder));
            if (kind == QLatin1String("store"))
                QVERIFY(QFile::copy(
                    QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile()),
                    name));
            else if (kind == QLatin1String("other"))
                QVERIFY(QFile::copy(QStringLiteral(ZORV_OTHER_PLUGIN_FILE), name));
            else if (kind == QLatin1String("folder"))
                QVERIFY(QDir().mkdir(name));
            else
                QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        }
        PluginManager manager;
        LogCapture capture;
        const bool loaded =
            manager.load(QStringList{root.filePath(QStringLiteral("a")),
                                     root.filePath(QStringLiteral("b")), QStringLiteral("rel")});
        QDir::setCurrent(previous);
        QCOMPARE(loaded, count > 0);
        QCOMPARE(manager.plugins().size(), count);
        for (PluginInterface *plugin : manager.plugins())
            QCOMPARE(plugin->information()->name, QStringLiteral("Sakuvo"));
        QStringList expected;
        for (const QString &line : qAsConst(log))
            expected.append(QStringLiteral("bool zorv::PluginManager::load(const QStringList&) {") +
                            line + QLatin1Char('}'));
        QCOMPARE(capture.lines(), expected);
        QCOMPARE(Singleton<PluginManager>::instance(), &manager);
    }
};

QTEST_GUILESS_MAIN(TestPluginManager)
#include "tst_pluginmanager.moc"
