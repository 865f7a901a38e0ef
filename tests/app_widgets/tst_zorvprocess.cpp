#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

using ProcessRun::Result;

// The real program as a process: command-line files and the option file at a
// normal exit, exit code and no window without a plug-in, single instance.
class TestZorvProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLineFilesAreRenamed();
    void withoutPluginNoWindowAndMinusOne_data();
    void withoutPluginNoWindowAndMinusOne();
    void singleInstanceSurvivesAKill();

private:
    // A fresh folder in the scene, with the store plug-in in its "plugins" when asked.
    QString folder(const QString &name, bool withPlugin);
    QString option(const QString &folder) const;

    QTemporaryDir scene;
    TestShop shop;
};

void TestZorvProcess::initTestCase()
{
    QVERIFY(scene.isValid());
    QVERIFY2(QFileInfo(ProcessRun::program()).isExecutable(), qPrintable(ProcessRun::program()));
    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
}

QString TestZorvProcess::folder(const QString &name, bool withPlugin)
{
    const QString path = QDir(scene.path()).filePath(name);
    if (!QDir().mkpath(path) || (withPlugin && !ProcessRun::addStorePlugin(path)))
        return QString();
    return path;
}

QString TestZorvProcess::option(const QString &folder) const
{
    return QDir(folder).filePath(QStringLiteral("option.xml"));
}

void TestZorvProcess::commandLineFilesAreRenamed()
{
    const QString work = folder(QStringLiteral("renames"), true);
    const QString known = QDir(work).filePath(QStringLiteral("RJ100001 夜.zip"));
    const QString unknown = QDir(work).filePath(QStringLiteral("RJ999999.zip"));
    QVERIFY(ProcessRun::touch(known) && ProcessRun::touch(unknown));

    const Result result = ProcessRun::run(
        work, {known, QDir(work).filePath(QStringLiteral("RJ100002 missing.zip")), unknown},
        ProcessRun::Window, shop.proxyUrl());
    QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
    // The window closed itself once idle: a normal exit, as by the user.
    QVERIFY2(result.log.contains(ProcessRun::closingLine()), qPrintable(result.log));

    QVERIFY(!QFileInfo::exists(known));
    QVERIFY(QFileInfo::exists(unknown));
    const QStringList renamed = QDir(work).entryList({QStringLiteral("*RJ100001*.zip")});
    QCOMPARE(renamed.size(), 1);
    QVERIFY2(renamed.first().contains(QLatin1String("[RJ100001]")), qPrintable(renamed.first()));
    QFile options(option(work));
    QVERIFY(options.open(QIODevice::ReadOnly));
    QVERIFY(options.readAll().contains("<begin_delimiter>[</begin_delimiter>"));
}

void TestZorvProcess::withoutPluginNoWindowAndMinusOne_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::newRow("a plug-in only in the working directory") << false;
    QTest::newRow("no plugins folder anywhere") << true;
}

void TestZorvProcess::withoutPluginNoWindowAndMinusOne()
{
    QFETCH(bool, besideProgram);
    const QString tag = besideProgram ? QStringLiteral("nowhere") : QStringLiteral("empty");
    const QString work = folder(tag + QStringLiteral("-work"), false);
    // A copy of the program with nothing beside it; the installed folder
    // must not exist either. A plug-in in the working directory is no
    // installed one.
    if (QFileInfo(QStringLiteral(ZORV_INSTALL_FULL_PLUGINDIR)).isDir())
        QSKIP("a plug-in folder is installed on this machine");
    const QString executable =
        QDir(folder(tag + QStringLiteral("-bin"), false)).filePath(QStringLiteral("zorv"));
    QVERIFY(QFile::copy(ProcessRun::program(), executable));
    QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
    if (!besideProgram)
        QVERIFY(ProcessRun::addStorePlugin(work));
    const QString file = QDir(work).filePath(QStringLiteral("RJ100001.zip"));
    QVERIFY(ProcessRun::touch(file));

    const Result result =
        ProcessRun::run(work, {file}, ProcessRun::Window, shop.proxyUrl(), executable);
    QVERIFY2(result.exited() && result.exitCode == 255, qPrintable(result.log)); // -1
    QVERIFY2(result.log.contains(QLatin1String("{no error, but not exists plugins.}")),
             qPrintable(result.log));
    // A window would have closed itself through the hook and saved the options.
    QVERIFY(!result.log.contains(ProcessRun::closingLine()));
    QVERIFY(!QFileInfo::exists(option(work)));
    QVERIFY(QFileInfo::exists(file));
}

// A second start while one runs ends at once; after the running one is
// killed (its shared-memory segment left behind), the next start works.
void TestZorvProcess::singleInstanceSurvivesAKill()
{
    const QString firstWork = folder(QStringLiteral("first"), true);
    const QString secondWork = folder(QStringLiteral("second"), true);
    const QString firstFile = QDir(firstWork).filePath(QStringLiteral("RJ100001.zip"));
    const QString secondFile = QDir(secondWork).filePath(QStringLiteral("RJ100001.zip"));
    QVERIFY(ProcessRun::touch(firstFile) && ProcessRun::touch(secondFile));
    // The first instance hangs on its page, surely past its start-up.
    shop.setBehaviour(TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100001")),
                      TestShop::NeverAnswer);
    shop.clearRequests();
    QProcess first;
    ProcessRun::start(first, firstWork, {firstFile}, ProcessRun::KeepWindow, shop.proxyUrl());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!shop.requests().isEmpty(), ProcessRun::timeout);

    const Result second =
        ProcessRun::run(secondWork, {secondFile}, ProcessRun::Window, shop.proxyUrl());
    QVERIFY2(second.exited() && second.exitCode == 0, qPrintable(second.log));
    // It ended before loading plug-ins, with no window and no effect.
    QVERIFY2(!second.log.contains(QLatin1String("plugin folder")), qPrintable(second.log));
    QVERIFY(QFileInfo::exists(secondFile));
    QVERIFY(!QFileInfo::exists(option(secondWork)));
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(shop.requests().size(), 1);

    first.kill(); // SIGKILL: no clean-up of any kind
    QVERIFY(first.waitForFinished(ProcessRun::timeout));
    shop.clearBehaviours();
    // The killed instance's segment is left behind (its key file shows it),
    // which is what used to make every later start quit silently.
    QSharedMemory probe;
    probe.setKey(QStringLiteral("Keltam.zorv.application"));
    QVERIFY2(QFileInfo::exists(probe.nativeKey()), qPrintable(probe.nativeKey()));

    // Started where there is no "plugins" folder, as a desktop launcher does:
    // the one beside the program serves.
    const QString next = folder(QStringLiteral("after-kill"), false);
    const Result result = ProcessRun::run(next, {}, ProcessRun::Window, shop.proxyUrl());
    QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
    QVERIFY2(result.log.contains(ProcessRun::closingLine()), qPrintable(result.log));
    QVERIFY2(result.log.contains(
                 QStringLiteral("{plugin folder: %1}")
                     .arg(QDir(TestPaths::binDir()).filePath(QStringLiteral("plugins")))),
             qPrintable(result.log));
    QVERIFY(QFileInfo::exists(option(next)));
    // A clean exit leaves nothing behind.
    QVERIFY(!QFileInfo::exists(probe.nativeKey()));
}

QTEST_GUILESS_MAIN(TestZorvProcess)
#include "tst_zorvprocess.moc"
