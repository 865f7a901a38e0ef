#include "LogCapture.h"
#include "PluginFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using zorv::PluginFolder;

class TestPluginFolder : public QObject
{
    Q_OBJECT

private slots:
    void choosesInOrder_data();
    void choosesInOrder();
    void fallbacksStartBesideTheExecutable();
};

void TestPluginFolder::choosesInOrder_data()
{
    // Folders that exist in the scene: "work" (the working directory),
    // "exe" (beside the executable), "installed"; a "/plugins" suffix means
    // that folder holds a "plugins" folder.
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    QTest::newRow("working directory first, even with every fallback present")
        << QStringList{QStringLiteral("work/plugins"), QStringLiteral("exe/plugins"),
                       QStringLiteral("installed")}
        << QStringLiteral("work/plugins");
    QTest::newRow("an empty working plugins folder still wins")
        << QStringList{QStringLiteral("work/plugins"), QStringLiteral("installed")}
        << QStringLiteral("work/plugins");
    QTest::newRow("beside the executable when the working directory has none")
        << QStringList{QStringLiteral("exe/plugins"), QStringLiteral("installed")}
        << QStringLiteral("exe/plugins");
    QTest::newRow("installed folder last")
        << QStringList{QStringLiteral("installed")} << QStringLiteral("installed");
    QTest::newRow("a file called plugins is no folder")
        << QStringList{QStringLiteral("work/plugins:file"), QStringLiteral("installed")}
        << QStringLiteral("installed");
    QTest::newRow("nothing anywhere: the working directory's, for the loader to report")
        << QStringList{} << QStringLiteral("work/plugins");
}

void TestPluginFolder::choosesInOrder()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);

    QTemporaryDir scene;
    QVERIFY(scene.isValid());
    QDir root(scene.path());
    QVERIFY(root.mkpath(QStringLiteral("work")));
    QVERIFY(root.mkpath(QStringLiteral("exe")));
    for (const QString &entry : qAsConst(existing)) {
        if (entry.endsWith(QLatin1String(":file"))) {
            QFile file(root.filePath(entry.chopped(5)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(root.mkpath(entry));
        }
    }

    const QStringList fallbacks = {root.filePath(QStringLiteral("exe/plugins")),
                                   root.filePath(QStringLiteral("installed"))};
    LogCapture log;
    const QString chosen =
        PluginFolder::choose(QDir(root.filePath(QStringLiteral("work"))), fallbacks);
    QCOMPARE(chosen, root.filePath(expected));
    // The log says which folder was used.
    QCOMPARE(log.matching(QStringLiteral("{plugin folder: %1}")
                              .arg(QDir::toNativeSeparators(root.filePath(expected))))
                 .size(),
             1);
}

// The program's own folder comes first, then the installed folder relative
// to it, so a program installed under another prefix finds its own; without
// a known executable only the installed folder is left.
void TestPluginFolder::fallbacksStartBesideTheExecutable()
{
    const QStringList fallbacks = PluginFolder::fallbacks(QStringLiteral("/opt/zorv/bin"));
    QCOMPARE(fallbacks.value(0), QStringLiteral("/opt/zorv/bin/plugins"));
    QVERIFY(fallbacks.value(1).startsWith(QLatin1String("/opt/zorv/")));
    QVERIFY(fallbacks.value(1).endsWith(QLatin1String("/zorv/plugins")));
    QCOMPARE(PluginFolder::fallbacks(QString()), QStringList{fallbacks.last()});
}

QTEST_GUILESS_MAIN(TestPluginFolder)
#include "tst_pluginfolder.moc"
