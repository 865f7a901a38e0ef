#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QtTest>

#include <unistd.h>

using ProcessRun::Result;

// The window's endpoint: its name holds the user's id and the display (none here).
const QString endpoint = QDir(ProcessRun::runtimeFolder())
                             .filePath(QStringLiteral("zorv-%1-none.socket").arg(::getuid()));
const QString closing = QStringLiteral("{idle, closing the window.}");

// The real program as a window: its option file, its plug-ins, one per user.
class TestZorvProcess : public QObject
{
    Q_OBJECT

    TestShop shop;

private slots:
    void initTestCase()
    {
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
        QTemporaryDir work;
        QFile options(work.filePath(QStringLiteral("option.xml")));
        if (inWorkingDirectory)
            QVERIFY(options.open(QIODevice::WriteOnly) &&
                    options.write("<option><rename_option><begin_delimiter>(</begin_delimiter>"
                                  "</rename_option></option>") > 0);
        options.close();
        QVERIFY(QFile(work.filePath(QStringLiteral("RJ100001.zip"))).open(QIODevice::WriteOnly));

        const Result result = ProcessRun::run(work.path(), {QStringLiteral("RJ100001.zip")},
                                              ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(result.exited && result.exitCode == 0, qPrintable(result.log));
        QString name = ProcessRun::rj100001Name + QStringLiteral(".zip");
        if (inWorkingDirectory)
            name.replace(QLatin1Char('['), QLatin1Char('('));
        QCOMPARE(QDir(work.path()).entryList({QStringLiteral("*.zip")}), QStringList{name});
        const QString user = work.filePath(QStringLiteral(".config/zorv/option.xml"));
        QCOMPARE(QFileInfo::exists(user), !inWorkingDirectory);
        QFile saved(inWorkingDirectory ? options.fileName() : user);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("<space_size>1</space_size>"));
    }

    // A copy of the program with no plug-in beside it shows no window, ends -1.
    void withoutPluginNoWindowAndMinusOne()
    {
        QTemporaryDir work;
        QTemporaryDir bin;
        const QString executable = bin.filePath(QStringLiteral("zorv"));
        QVERIFY(QFile::copy(ProcessRun::program(), executable));
        QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
        const Result result = ProcessRun::run(work.path(), {}, ProcessRun::Window, {}, executable);
        QVERIFY2(result.exited && result.exitCode == 255, qPrintable(result.log));
        QVERIFY(!result.log.contains(closing));
    }

    // A second "zorv FILE..." gives exactly its files, named relative to its
    // own folder, to the running window and ends; a killed window leaves no
    // obstacle; a place held without answer makes a start fail.
    void oneWindowPerUser()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QProcess window;
        ProcessRun::start(window, first.path(), {}, ProcessRun::KeepWindow, shop.proxyUrl());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(endpoint), ProcessRun::timeout);
        const QString file = QStringLiteral("RJ100001 夜.zip");
        // The same name beside the window is not the one meant.
        QVERIFY(QFile(first.filePath(file)).open(QIODevice::WriteOnly));
        for (const int count : {1, 2, 12}) {
            QTemporaryDir folder;
            QStringList files, renamed;
            for (int i = 0; i < count; ++i) {
                files << QStringLiteral("RJ100001 夜 %1.zip").arg(i);
                QVERIFY(QFile(folder.filePath(files.last())).open(QIODevice::WriteOnly));
                renamed << ProcessRun::rj100001Name +
                               (i ? QStringLiteral(" (%1).zip").arg(i) : QStringLiteral(".zip"));
            }
            renamed.sort();
            const Result handed =
                ProcessRun::run(folder.path(), files, ProcessRun::Window, shop.proxyUrl());
            QVERIFY2(handed.exited && handed.exitCode == 0 && !handed.log.contains(closing),
                     qPrintable(handed.log));
            QTRY_COMPARE_WITH_TIMEOUT(QDir(folder.path()).entryList(QDir::Files, QDir::Name),
                                      renamed, ProcessRun::timeout);
        }
        QVERIFY(QFileInfo::exists(first.filePath(file)));

        window.kill(); // SIGKILL: no clean-up of any kind
        QVERIFY(window.waitForFinished(ProcessRun::timeout) && QFileInfo::exists(endpoint));
        const Result next = ProcessRun::run(first.path(), {}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(next.exited && next.log.contains(closing), qPrintable(next.log));

        QLockFile held(endpoint + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        QVERIFY(QFile(second.filePath(file)).open(QIODevice::WriteOnly));
        const Result unanswered =
            ProcessRun::run(second.path(), {file}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(unanswered.exitCode == 1 && unanswered.log.contains("does not answer"),
                 qPrintable(unanswered.log));
        QVERIFY(QFileInfo::exists(second.filePath(file)));
    }
};

QTEST_GUILESS_MAIN(TestZorvProcess)
#include "tst_zorvprocess.moc"
