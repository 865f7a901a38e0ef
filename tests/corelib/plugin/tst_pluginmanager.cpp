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
    // Entries "<folder>/<name>": folders "a" and "b" are given in order, "rel"
    // relative (the working directory's, never read). "Other*" is a plug-in of
    // another interface, "broken*" a text file, any other the store plug-in.
    void load_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("log");
        QTest::addRow("libraries that do not load are skipped")
            << QStringList{"a/Other.so", "a/Sakuvo.so", "a/broken.so", "a/broken.txt",
                           "b/broken.dll"}
            << QStringList{"error: plugin cast failed. #Other.so", "plugin loaded. #Sakuvo.so",
                           "error: plugin instance failed. #broken.so"};
        QTest::addRow("a name loaded from an earlier folder is not loaded again")
            << QStringList{"a/Sakuvo.so", "b/Sakuvo.so", "b/Second.so"}
            << QStringList{"plugin loaded. #Sakuvo.so", "plugin loaded. #Second.so"};
        QTest::addRow("relative folder never read")
            << QStringList{"rel/Sakuvo.so"} << QStringList{"no error, but not exists plugins."};
    }

    void load()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, log);
        QTemporaryDir root;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root.path());
        const QString store = TestPaths::pluginBuildDir() + "/" + TestPaths::storePluginFile();
        for (const QString &entry : qAsConst(entries)) {
            QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
            if (entry.contains("broken"))
                QVERIFY(QFile(entry).open(QIODevice::WriteOnly));
            else
                QVERIFY(
                    QFile::copy(entry.contains("Other") ? ZORV_OTHER_PLUGIN_FILE : store, entry));
        }
        PluginManager manager;
        LogCapture capture;
        const bool loaded = manager.load(
            QStringList{root.filePath("a"), root.filePath("b"), QStringLiteral("rel")});
        QDir::setCurrent(previous);
        const int count = log.filter("plugin loaded.").size();
        QCOMPARE(loaded, count > 0);
        QCOMPARE(manager.plugins().size(), count);
        QStringList lines = capture.lines();
        QCOMPARE(lines.replaceInStrings(QRegularExpression("^.*\\{(.*)\\}$"), "\\1"), log);
    }
};

ZORV_TEST_GUILESS_MAIN(TestPluginManager)
#include "tst_pluginmanager.moc"
