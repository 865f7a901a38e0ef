#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
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
        QVERIFY2(!result.log.contains(closing), qPrintable(result.log)); // quiet unless asked
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
        // The same name beside the window is not the one meant, nor the one
        // a working folder's name decoded with a loss names.
        QVERIFY(QFile(first.filePath(file)).open(QIODevice::WriteOnly));
        QTemporaryDir odd;
        const QString link = ProcessRun::undecodableFolder(odd.path(), file);
        const Result skipped = ProcessRun::run(link, {file}, ProcessRun::Window, shop.proxyUrl());
        QVERIFY2(!link.isEmpty() && skipped.exitCode == 0, qPrintable(skipped.log));
        // Whatever a process of the user sends is read defensively: a message
        // malformed (a count without its end), larger than a connection may
        // send or not finished in time is dropped unanswered; the window goes on.
        for (const QByteArray &message :
             {QByteArray("2147483647"), QByteArray("1\0", 2) + QByteArray(17 << 20, 'x'),
              QByteArray("2\0/tmp/RJ100001.zip\0", 20)}) {
            QLocalSocket socket;
            socket.connectToServer(endpoint);
            socket.write(message);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
            }
            QVERIFY(socket.state() == QLocalSocket::UnconnectedState ||
                    socket.waitForDisconnected(20000));
            QVERIFY(socket.readAll().isEmpty());
        }
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
                ProcessRun::run(folder.path(), QStringList{QStringLiteral("--verbose")} + files,
                                ProcessRun::Window, shop.proxyUrl());
            QVERIFY2(handed.exited && handed.exitCode == 0 && !handed.log.contains(closing),
                     qPrintable(handed.log));
            QTRY_COMPARE_WITH_TIMEOUT(QDir(folder.path()).entryList(QDir::Files, QDir::Name),
                                      renamed, ProcessRun::timeout);
        }
        QVERIFY(QFileInfo::exists(first.filePath(file)));
        for (const QString &folder : QDir(odd.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY(QFileInfo::exists(odd.filePath(folder + '/' + file)));

        // Connections held open unfinished are heard up to a limit; one more
        // is dropped at once, while those are still held.
        QList<QSharedPointer<QLocalSocket>> hanging;
        for (int i = 0; i < 9; ++i) {
            hanging.append(QSharedPointer<QLocalSocket>::create());
            hanging.last()->connectToServer(endpoint);
            QVERIFY(hanging.last()->waitForConnected(ProcessRun::timeout));
        }
        QVERIFY(hanging.last()->waitForDisconnected(ProcessRun::timeout));
        for (int i = 0; i < 8; ++i)
            QVERIFY(!hanging.at(i)->waitForReadyRead(0) &&
                    hanging.at(i)->state() == QLocalSocket::ConnectedState);

        window.kill(); // SIGKILL: no clean-up of any kind
        QVERIFY(!window.readAllStandardError().contains("No such slot"));
        QVERIFY(window.waitForFinished(ProcessRun::timeout) && QFileInfo::exists(endpoint));
        qputenv("QT_LOGGING_RULES", "zorv.debug=true");
        const Result next = ProcessRun::run(first.path(), {}, ProcessRun::Window, shop.proxyUrl());
        qunsetenv("QT_LOGGING_RULES");
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

    // Without a runtime folder, a folder for the endpoint that another user
    // can enter is not used: the start opens a window of its own, and a
    // listener there hears nothing.
    void endpointOnlyInAPrivateFolder()
    {
        QTemporaryDir temporary, work;
        const QString folder =
            temporary.filePath(QStringLiteral("runtime-") + ::getpwuid(::getuid())->pw_name);
        QVERIFY(QDir().mkdir(folder) && ::chmod(qPrintable(folder), 0777) == 0);
        const QString name = folder + '/' + QFileInfo(endpoint).fileName();
        QLocalServer listener;
        QLockFile held(name + QStringLiteral(".lock"));
        QVERIFY(listener.listen(name) && held.tryLock(0));
        QVERIFY(QFile(work.filePath(QStringLiteral("RJ100001.zip"))).open(QIODevice::WriteOnly));
        const Result own =
            ProcessRun::run(work.path(), {QStringLiteral("RJ100001.zip")}, ProcessRun::Window,
                            shop.proxyUrl(), ProcessRun::program(),
                            {{"XDG_RUNTIME_DIR", ""},
                             {"TMPDIR", temporary.path()},
                             {"QT_LOGGING_RULES", "zorv.debug=true"}});
        QVERIFY2(own.exitCode == 0 && own.log.contains(closing) &&
                     own.log.contains("no private folder"),
                 qPrintable(own.log));
        QVERIFY(!listener.hasPendingConnections());
    }
};

ZORV_TEST_GUILESS_MAIN(TestZorvProcess)
#include "tst_zorvprocess.moc"
