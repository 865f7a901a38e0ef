#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const int runTimeout = 90000;
const QString instanceKey = QStringLiteral("Keltam.zorv.application");

void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("product file\n");
}

QString program()
{
    return QDir(TestPaths::binDir()).filePath(QStringLiteral("zorv"));
}

QString stderrOf(QProcess &process)
{
    return QString::fromLocal8Bit(process.readAllStandardError());
}

} // namespace

// The real program as a process: single instance, exit codes, plug-in folder,
// command-line files and the option file written at a normal exit.
class TestZorvProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void commandLineFilesAreRenamed();
    void withoutPluginNoWindowAndMinusOne_data();
    void withoutPluginNoWindowAndMinusOne();
    void pluginFolderBesideExecutable();
    void secondInstanceExitsQuietly();
    void startsAgainAfterKill();

private:
    // A working directory with a "plugins" folder holding the store plug-in.
    QString makeWorkingDirectory(const QString &name, bool withPlugin = true);
    QProcess *newProcess();

    QTemporaryDir scene;
    TestShop shop;
    QProcessEnvironment proxy;
    std::vector<std::unique_ptr<QProcess>> processes;
};

void TestZorvProcess::initTestCase()
{
    QVERIFY(scene.isValid());
    QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    proxy.insert(QStringLiteral("http_proxy"), shop.proxyUrl());
}

void TestZorvProcess::cleanup()
{
    shop.clearBehaviours();
    for (auto &process : processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(runTimeout);
        }
    }
    processes.clear();
}

QString TestZorvProcess::makeWorkingDirectory(const QString &name, bool withPlugin)
{
    QDir root(scene.path());
    root.mkpath(name);
    QDir folder(root.filePath(name));
    if (withPlugin) {
        folder.mkpath(QStringLiteral("plugins"));
        QFile::copy(QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile()),
                    folder.filePath(QStringLiteral("plugins/") + TestPaths::storePluginFile()));
    }
    return folder.absolutePath();
}

QProcess *TestZorvProcess::newProcess()
{
    processes.push_back(std::make_unique<QProcess>());
    return processes.back().get();
}

void TestZorvProcess::commandLineFilesAreRenamed()
{
    const QString work = makeWorkingDirectory(QStringLiteral("renames"));
    const QString known = QDir(work).filePath(QStringLiteral("RJ100001 夜.zip"));
    const QString unknown = QDir(work).filePath(QStringLiteral("RJ999999.zip"));
    touch(known);
    touch(unknown);
    shop.clearRequests();

    QProcess *zorv = newProcess();
    ProcessRun::start(*zorv, program(), work,
                      {known, QDir(work).filePath(QStringLiteral("RJ100002 missing.zip")), unknown},
                      true, proxy);
    QVERIFY(zorv->waitForStarted());
    QVERIFY(zorv->waitForFinished(runTimeout));
    const QString log = stderrOf(*zorv);
    QCOMPARE(zorv->exitStatus(), QProcess::NormalExit);
    QVERIFY2(zorv->exitCode() == 0, qPrintable(log));

    // The working directory's own plug-in folder is used although the build
    // folder beside the executable has one too.
    QVERIFY2(log.contains(QStringLiteral("{plugin folder: %1}")
                              .arg(QDir(work).filePath(QStringLiteral("plugins")))),
             qPrintable(log));
    QVERIFY2(log.contains(ProcessRun::closingLine()), qPrintable(log));

    QVERIFY(!QFileInfo::exists(known));
    QVERIFY(QFileInfo::exists(unknown));
    const QStringList renamed =
        QDir(work).entryList({QStringLiteral("*RJ100001*.zip")}, QDir::Files);
    QCOMPARE(renamed.size(), 1);
    QVERIFY2(renamed.first().contains(QStringLiteral("[RJ100001]")), qPrintable(renamed.first()));

    // Every candidate page of the unknown product was asked for; the
    // missing file's never was.
    bool askedForMissing = false;
    int unknownRequests = 0;
    for (const TestShop::LoggedRequest &request : shop.requests()) {
        askedForMissing = askedForMissing || request.path.contains(QLatin1String("RJ100002"));
        if (request.path.contains(QLatin1String("RJ999999")))
            ++unknownRequests;
    }
    QVERIFY(!askedForMissing);
    QCOMPARE(unknownRequests, 6);

    QFile options(QDir(work).filePath(QStringLiteral("option.xml")));
    QVERIFY(options.open(QIODevice::ReadOnly));
    const QByteArray xml = options.readAll();
    QVERIFY(xml.contains("<option>"));
    QVERIFY(xml.contains("<begin_delimiter>[</begin_delimiter>"));
}

void TestZorvProcess::withoutPluginNoWindowAndMinusOne_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("logged");
    QTest::newRow("empty plugins folder in the working directory")
        << QStringLiteral("empty") << QStringLiteral("{no error, but not exists plugins.}");
    QTest::newRow("a library that is no plug-in")
        << QStringLiteral("broken") << QStringLiteral("plugin instance failed. #broken");
    QTest::newRow("no plugins folder anywhere")
        << QStringLiteral("nowhere") << QStringLiteral("{no error, but not exists plugins.}");
}

void TestZorvProcess::withoutPluginNoWindowAndMinusOne()
{
    QFETCH(QString, setup);
    QFETCH(QString, logged);

    QString executable = program();
    QString work;
    if (setup == QLatin1String("nowhere")) {
        // A copy of the program with nothing beside it, started in a folder
        // without plug-ins; the installed folder must not exist either.
        if (QFileInfo(QStringLiteral(ZORV_INSTALL_FULL_PLUGINDIR)).isDir())
            QSKIP("a plug-in folder is installed on this machine");
        work = makeWorkingDirectory(QStringLiteral("nowhere-work"), false);
        const QString bare = makeWorkingDirectory(QStringLiteral("nowhere-bin"), false);
        executable = QDir(bare).filePath(QStringLiteral("zorv"));
        QVERIFY(QFile::copy(program(), executable));
        QVERIFY(QFile::setPermissions(executable, QFile::permissions(program())));
    } else {
        work = makeWorkingDirectory(QStringLiteral("plugins-") + setup, false);
        QVERIFY(QDir(work).mkpath(QStringLiteral("plugins")));
        if (setup == QLatin1String("broken")) {
            QFile broken(QDir(work).filePath(QStringLiteral("plugins/broken.so")));
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write("not a library\n");
        }
    }
    const QString file = QDir(work).filePath(QStringLiteral("RJ100001.zip"));
    touch(file);

    QProcess *zorv = newProcess();
    ProcessRun::start(*zorv, executable, work, {file}, true, proxy);
    QVERIFY(zorv->waitForStarted());
    QVERIFY(zorv->waitForFinished(runTimeout));
    const QString log = stderrOf(*zorv);
    QCOMPARE(zorv->exitStatus(), QProcess::NormalExit);
    QVERIFY2(zorv->exitCode() == 255, qPrintable(log)); // -1
    QVERIFY2(log.contains(logged), qPrintable(log));
    // No window: it would have closed itself through the hook and saved the options.
    QVERIFY(!log.contains(ProcessRun::closingLine()));
    QVERIFY(!QFileInfo::exists(QDir(work).filePath(QStringLiteral("option.xml"))));
    QVERIFY(QFileInfo::exists(file));
}

void TestZorvProcess::pluginFolderBesideExecutable()
{
    // A desktop launcher starts the program in the home folder, which has no
    // "plugins" folder: the one beside the executable serves.
    const QString work = makeWorkingDirectory(QStringLiteral("home"), false);
    QProcess *zorv = newProcess();
    ProcessRun::start(*zorv, program(), work, {}, true, proxy);
    QVERIFY(zorv->waitForStarted());
    QVERIFY(zorv->waitForFinished(runTimeout));
    const QString log = stderrOf(*zorv);
    QVERIFY2(zorv->exitCode() == 0, qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("{plugin folder: %1}")
                              .arg(QDir(TestPaths::binDir()).filePath(QStringLiteral("plugins")))),
             qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("{plugin loaded. #%1}").arg(TestPaths::storePluginFile())),
             qPrintable(log));
    QVERIFY(log.contains(ProcessRun::closingLine()));
    QVERIFY(QFileInfo::exists(QDir(work).filePath(QStringLiteral("option.xml"))));
}

void TestZorvProcess::secondInstanceExitsQuietly()
{
    const QString firstWork = makeWorkingDirectory(QStringLiteral("first"));
    const QString secondWork = makeWorkingDirectory(QStringLiteral("second"));
    const QString firstFile = QDir(firstWork).filePath(QStringLiteral("RJ100001.zip"));
    const QString secondFile = QDir(secondWork).filePath(QStringLiteral("RJ100001.zip"));
    touch(firstFile);
    touch(secondFile);

    // The first instance's page comes slowly, so it is still at work while
    // the second one starts.
    const QString page = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100001"));
    shop.setSlow(page, 10000, 20);
    shop.clearRequests();
    QProcess *first = newProcess();
    ProcessRun::start(*first, program(), firstWork, {firstFile}, true, proxy);
    QVERIFY(first->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!shop.requests().isEmpty(), runTimeout);

    QProcess *second = newProcess();
    ProcessRun::start(*second, program(), secondWork, {secondFile}, true, proxy);
    QVERIFY(second->waitForStarted());
    QVERIFY(second->waitForFinished(runTimeout));
    const QString secondLog = stderrOf(*second);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QVERIFY2(second->exitCode() == 0, qPrintable(secondLog));
    // It ended before loading plug-ins, with no window and no effect.
    QVERIFY2(!secondLog.contains(QLatin1String("plugin folder")), qPrintable(secondLog));
    QVERIFY(!secondLog.contains(ProcessRun::closingLine()));
    QVERIFY(QFileInfo::exists(secondFile));
    QVERIFY(!QFileInfo::exists(QDir(secondWork).filePath(QStringLiteral("option.xml"))));

    // The first was still busy meanwhile, and the second asked for nothing.
    QCOMPARE(first->state(), QProcess::Running);
    const QList<TestShop::LoggedRequest> asked = shop.requests();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().answeredMs, qint64(-1));

    QVERIFY(first->waitForFinished(runTimeout));
    const QString firstLog = stderrOf(*first);
    QVERIFY2(first->exitCode() == 0, qPrintable(firstLog));
    QVERIFY(firstLog.contains(ProcessRun::closingLine()));
    QVERIFY(!QFileInfo::exists(firstFile));
    QVERIFY(QFileInfo::exists(QDir(firstWork).filePath(QStringLiteral("option.xml"))));
    QVERIFY(QFileInfo::exists(secondFile));
}

void TestZorvProcess::startsAgainAfterKill()
{
    const QString killedWork = makeWorkingDirectory(QStringLiteral("killed"));
    const QString file = QDir(killedWork).filePath(QStringLiteral("RJ100001.zip"));
    touch(file);
    // The killed instance hangs on its page, surely past its start-up.
    shop.setBehaviour(TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100001")),
                      TestShop::NeverAnswer);
    shop.clearRequests();
    QProcess *killed = newProcess();
    ProcessRun::start(*killed, program(), killedWork, {file}, false, proxy);
    QVERIFY(killed->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!shop.requests().isEmpty(), runTimeout);
    killed->kill(); // SIGKILL: no clean-up of any kind
    QVERIFY(killed->waitForFinished(runTimeout));
    QCOMPARE(killed->exitStatus(), QProcess::CrashExit);

    // The killed instance's segment is left behind (its key file shows it),
    // which is what used to make every later start quit silently.
    QSharedMemory probe;
    probe.setKey(instanceKey);
    QVERIFY2(QFileInfo::exists(probe.nativeKey()), qPrintable(probe.nativeKey()));

    const QString work = makeWorkingDirectory(QStringLiteral("after-kill"));
    QProcess *next = newProcess();
    ProcessRun::start(*next, program(), work, {}, true, proxy);
    QVERIFY(next->waitForStarted());
    QVERIFY(next->waitForFinished(runTimeout));
    const QString log = stderrOf(*next);
    QCOMPARE(next->exitStatus(), QProcess::NormalExit);
    QVERIFY2(next->exitCode() == 0, qPrintable(log));
    QVERIFY2(log.contains(ProcessRun::closingLine()), qPrintable(log));
    QVERIFY(QFileInfo::exists(QDir(work).filePath(QStringLiteral("option.xml"))));
    // A clean exit leaves nothing behind.
    QVERIFY(!QFileInfo::exists(probe.nativeKey()));
}

QTEST_GUILESS_MAIN(TestZorvProcess)
#include "tst_zorvprocess.moc"
