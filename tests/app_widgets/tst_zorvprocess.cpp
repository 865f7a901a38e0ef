#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QtTest>

#include <unistd.h>

using ProcessRun::Result;

// The window's endpoint: its name holds the user's id and the display (none here).
const QString endpoint = QDir(ProcessRun::runtimeFolder())
                             .filePath(QStringLiteral("zorv-%1-none.socket").arg(::getuid()));

// The real program as a process: the option file's place, no window without a
// plug-in, and one window per user that takes the files of a later start.
class TestZorvProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir scene;
    TestShop shop;

    QString folder(const QString &name, bool withPlugin)
    {
        const QString path = QDir(scene.path()).filePath(name);
        if (!QDir().mkpath(path) || (withPlugin && !ProcessRun::addStorePlugin(path)))
            return QString();
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scene.isValid());
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    }

    void optionFile_data()
    {
        QTest::addColumn<bool>("inWorkingDirectory");
        QTest::newRow("user's configuration folder") << false;
        QTest::newRow("option.xml of the working directory") << true;
    }

    // The options shape the new name and are written back where they were read.
    void optionFile()
    {
        QFETCH(bool, inWorkingDirectory);
        const QString work = folder(QString::number(inWorkingDirectory), true);
        const QString local = QDir(work).filePath(QStringLiteral("option.xml"));
        const QString user = QDir(work).filePath(QStringLiteral(".config/zorv/option.xml"));
        QFile options(local);
        if (inWorkingDirectory && options.open(QIODevice::WriteOnly))
            options.write("<option><rename_option><begin_delimiter>(</begin_delimiter>"
                          "</rename_option></option>");
        options.close();
        const QString file = QDir(work).filePath(QStringLiteral("RJ100001.zip"));
        QVERIFY(ProcessRun::touch(file));

        const Result result = ProcessRun::run(work, {file}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
        const QString name = inWorkingDirectory ? QStringLiteral("*(RJ100001]*") : "*[RJ100001]*";
        QCOMPARE(QDir(work).entryList({name}).size(), 1);
        QCOMPARE(QFileInfo::exists(local), inWorkingDirectory);
        QCOMPARE(QFileInfo::exists(user), !inWorkingDirectory);
        options.setFileName(inWorkingDirectory ? local : user);
        QVERIFY(options.open(QIODevice::ReadOnly));
        QVERIFY(options.readAll().contains("<space_size>1</space_size>"));
    }

    // A plug-in only in the working directory is no installed one: a copy of
    // the program with nothing beside it loads none, shows no window, ends -1.
    void withoutPluginNoWindowAndMinusOne()
    {
        const QString work = folder(QStringLiteral("no-plugin"), true);
        const QString executable =
            QDir(folder(QStringLiteral("bin"), false)).filePath(QStringLiteral("zorv"));
        QVERIFY(QFile::copy(ProcessRun::program(), executable));
        QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
        const Result result = ProcessRun::run(work, {}, ProcessRun::Window, {}, executable);
        QVERIFY2(result.exited() && result.exitCode == 255, qPrintable(result.log)); // -1
        QVERIFY2(result.log.contains(QLatin1String("{no error, but not exists plugins.}")),
                 qPrintable(result.log));
        QVERIFY(!result.log.contains(ProcessRun::closingLine()));
    }

    // A second "zorv FILE" gives FILE to the running window and ends quietly;
    // a window killed outright does not keep the next one from starting.
    void secondStartHandsOverItsFiles()
    {
        const QString work = folder(QStringLiteral("first"), true);
        QProcess first;
        ProcessRun::start(first, work, {}, ProcessRun::KeepWindow, shop.proxyUrl());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(endpoint), ProcessRun::timeout);

        const QString second = folder(QStringLiteral("second"), false);
        const QString file = QDir(second).filePath(QStringLiteral("RJ100001 夜.zip"));
        QVERIFY(ProcessRun::touch(file));
        const Result handed = ProcessRun::run(second, {QStringLiteral("RJ100001 夜.zip")},
                                              ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(handed.exited() && handed.exitCode == 0, qPrintable(handed.log));
        QVERIFY2(!handed.log.contains(QLatin1String("zorv:")), qPrintable(handed.log));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(file), ProcessRun::timeout);
        QCOMPARE(QDir(second).entryList({QStringLiteral("*[RJ100001]*")}).size(), 1);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill(); // SIGKILL: no clean-up of any kind
        QVERIFY(first.waitForFinished(ProcessRun::timeout));
        QVERIFY(QFileInfo::exists(endpoint));
        const Result next = ProcessRun::run(work, {}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(next.exited() && next.exitCode == 0, qPrintable(next.log));
        QVERIFY2(next.log.contains(ProcessRun::closingLine()), qPrintable(next.log));
    }

    // A window that holds its place but never answers: the later start says so.
    void unansweredHandOverIsReported()
    {
        QLockFile held(endpoint + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        const QString work = folder(QStringLiteral("unanswered"), true);
        const QString file = QDir(work).filePath(QStringLiteral("RJ100001.zip"));
        QVERIFY(ProcessRun::touch(file));
        const Result result = ProcessRun::run(work, {file}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(result.exited() && result.exitCode == 1, qPrintable(result.log));
        QVERIFY2(result.log.contains(QLatin1String("does not answer")), qPrintable(result.log));
        QVERIFY(QFileInfo::exists(file));
    }
};

QTEST_GUILESS_MAIN(TestZorvProcess)
#include "tst_zorvprocess.moc"
