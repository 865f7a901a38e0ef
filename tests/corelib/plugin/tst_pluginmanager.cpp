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
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("log");
        QTest::addRow("libraries that do not load are skipped")
            << QStringList{"a/Other.so", "a/Sakuvo.so", "a/broken.so", "a/broken.txt",
                           "b/broken.dll"}
            << 1
            << QStringList{"error: plugin cast failed. #Other.so", "plugin loaded. #Sakuvo.so",
                           "error: plugin instance failed. #broken.so"};
        QTest::addRow("nothing loads") << QStringList{"b/broken.so"} << 0
                                       << QStringList{"error: plugin instance failed. #broken.so",
                                                      "no error, but not exists plugins."};
        QTest::addRow("a name loaded from an earlier folder is not loaded again")
            << QStringList{"a/Sakuvo.so", "b/Sakuvo.so", "b/Second.so"} << 2
            << QStringList{"plugin loaded. #Sakuvo.so", "plugin loaded. #Second.so"};
        QTest::addRow("relative folder never read")
            << QStringList{"rel/Sakuvo.so"} << 0
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
            const QString name = QFileInfo(entry).fileName();
            QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
            if (name.startsWith(QLatin1String("broken")))
                QVERIFY(QFile(entry).open(QIODevice::WriteOnly));
            else
                QVERIFY(QFile::copy(name.startsWith(QLatin1String("Other"))
                                        ? QStringLiteral(ZORV_OTHER_PLUGIN_FILE)
                                        : TestPaths::pluginBuildDir() + "/" +
                                              TestPaths::storePluginFile(),
                                    entry));
        }
        PluginManager manager;
        LogCapture capture;
        const bool loaded = manager.load(
            QStringList{root.filePath("a"), root.filePath("b"), QStringLiteral("rel")});
        QDir::setCurrent(previous);
        QCOMPARE(loaded, count > 0);
        QCOMPARE(manager.plugins().size(), count);
        for (QString &line : log)
            line =
                QStringLiteral("bool zorv::PluginManager::load(const QStringList&) {%1}").arg(line);
        QCOMPARE(capture.lines(), log);
    }
};

QTEST_GUILESS_MAIN(TestPluginManager)
#include "tst_pluginmanager.moc"
