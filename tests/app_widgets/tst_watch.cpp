#include "ProcessRun.h"
#include "TestShop.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

const int settleMs = 500;
// Long enough for a file to settle and be renamed twice over: what has not
// come by then does not come.
const int quietMs = 4 * settleMs;

// A running "zorv --watch" on <work>/dl and what it printed so far.
struct Watch
{
    QProcess process;
    QStringList lines;
    QString log;

    Watch(const QString &work, const QString &proxy, const QStringList &options = {})
    {
        ProcessRun::start(
            process, work,
            QStringList{"--watch", "dl", "--settle", QString::number(settleMs / 1e3)} + options,
            ProcessRun::Batch, proxy);
    }
    ~Watch() { process.kill(), process.waitForFinished(); }
    // Reads what came so far; the number of lines on the output stream.
    int count()
    {
        process.waitForReadyRead(10);
        lines += QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        log += QString::fromUtf8(process.readAllStandardError());
        return lines.size();
    }
    bool said(const QString &text)
    {
        QElapsedTimer timer;
        timer.start();
        while ((count(), !log.contains(text)) && timer.elapsed() < ProcessRun::timeout)
            QTest::qWait(20);
        return log.contains(text);
    }
    bool started() { return said("zorv: watching"); }
    // SIGTERM; true when it ended on its own with exit code 0.
    bool stop()
    {
        process.terminate();
        const bool ended = process.waitForFinished(ProcessRun::timeout);
        count();
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
};

bool write(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

} // namespace

// "zorv --watch" as a process against the local shop: what it takes, when,
// and what it leaves.
class TestWatch : public QObject
{
    Q_OBJECT

    TestShop shop;
    QScopedPointer<QTemporaryDir> work; // the working folder; "dl" is watched

    QString dl(const QString &name = QString()) const
    {
        return QDir(work->filePath("dl")).filePath(name);
    }
    int shopRequests(const QString &id) const
    {
        int count = 0;
        for (const TestShop::LoggedRequest &request : shop.requests())
            count += request.path.contains(id) ? 1 : 0;
        return count;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    }

    void init()
    {
        work.reset(new QTemporaryDir);
        QVERIFY(QDir(work->path()).mkdir("dl"));
        // The journal and the page cache of each test its own: a page kept
        // by another test would spare a request this one counts.
        qputenv("XDG_DATA_HOME", work->filePath("data").toUtf8());
        qputenv("XDG_CACHE_HOME", work->filePath("cache").toUtf8());
        shop.clearRequests();
        shop.clearBehaviours();
    }

    void arrivals_data()
    {
        QTest::addColumn<QStringList>("atStart");
        QTest::addColumn<bool>("existing");        // --existing given
        QTest::addColumn<QStringList>("arrivals"); // each written in three pieces
        QTest::addColumn<bool>("browserName");     // written as NAME.crdownload, then named
        QTest::addColumn<QStringList>("renamed");  // old names, in the order renamed
        QTest::addColumn<bool>("undo");            // "zorv --undo" once they are renamed
        QTest::addColumn<bool>("batchFirst"); // "zorv --batch" renames those at the start first

        QTest::newRow("written in pieces: renamed once, after it settles")
            << QStringList() << false << QStringList{"RJ100001.zip"} << false
            << QStringList{"RJ100001.zip"} << false << false;
        QTest::newRow("a browser's partial name, then its final name")
            << QStringList() << false << QStringList{"RJ100002.zip"} << true
            << QStringList{"RJ100002.zip"} << false << false;
        QTest::newRow("there at the start: left alone; an unknown name: skipped")
            << QStringList{"RJ100003.zip"} << false << QStringList{"notes.txt", "RJ100001.zip"}
            << false << QStringList{"RJ100001.zip"} << false << false;
        QTest::newRow("there at the start, with --existing: renamed")
            << QStringList{"RJ100005.zip"} << true << QStringList() << false
            << QStringList{"RJ100005.zip"} << false << false;
        // Its new name lands in the folder, its old one comes back: neither is new.
        QTest::newRow("renamed, then taken back by --undo: neither name taken again")
            << QStringList() << false << QStringList{"RJ100004.zip"} << false
            << QStringList{"RJ100004.zip"} << true << false;
        // Put back by an undo of another run: the user means its old name to stay.
        QTest::newRow("renamed by a batch run, taken back by --undo: not taken again")
            << QStringList{"RJ100002.zip"} << false << QStringList() << false << QStringList()
            << true << true;
    }

    void arrivals()
    {
        QFETCH(QStringList, atStart);
        QFETCH(bool, existing);
        QFETCH(QStringList, arrivals);
        QFETCH(bool, browserName);
        QFETCH(QStringList, renamed);
        QFETCH(bool, undo);
        QFETCH(bool, batchFirst);

        for (const QString &name : atStart)
            QVERIFY(write(dl(name), name.toUtf8(), QIODevice::WriteOnly));
        const QStringList batch = QStringList{"--batch"} + atStart;
        QVERIFY(!batchFirst ||
                ProcessRun::run(dl(), batch, ProcessRun::Batch, shop.proxyUrl()).exitCode == 0);
        Watch watch(work->path(), shop.proxyUrl(),
                    existing ? QStringList{"--existing"} : QStringList());
        QVERIFY2(watch.started(), qPrintable(watch.log));
        QElapsedTimer sinceLastWrite;
        for (const QString &name : arrivals) {
            const QString path = dl(name) + (browserName ? ".crdownload" : "");
            // Opened anew for each piece: a file taken too early leaves the
            // later pieces in a second file of the old name.
            for (const char *piece : {"one ", "two ", "three"}) {
                QVERIFY(write(path, piece, QIODevice::Append));
                sinceLastWrite.start();
                QTest::qWait(settleMs / 5);
            }
            if (browserName) {
                QTest::qWait(quietMs);
                QCOMPARE(watch.count(), 0);
                QVERIFY(QFile::rename(path, dl(name)));
                sinceLastWrite.start();
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(watch.count(), renamed.size(), ProcessRun::timeout);
        QVERIFY(arrivals.isEmpty() || sinceLastWrite.elapsed() >= settleMs);
        for (int i = 0; i < renamed.size(); ++i) {
            QCOMPARE(watch.lines.at(i).section('\t', 0, 1), "完了\t" + renamed.at(i));
            const QString newName = watch.lines.at(i).section('\t', 2, 2);
            QFile file(dl(newName));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll().endsWith("three") || atStart.contains(renamed.at(i)));
        }
        const int pagesAsked = shop.requests().size();
        if (undo)
            QCOMPARE(ProcessRun::run(work->path(), {"--undo"}, ProcessRun::Batch).exitCode, 0);
        QTest::qWait(quietMs);
        QCOMPARE(watch.count(), renamed.size());
        QCOMPARE(shop.requests().size(), pagesAsked);
        QVERIFY(watch.stop());
        const int skipped = arrivals.size() - renamed.size() + (existing ? atStart.size() : 0);
        QCOMPARE(watch.lines.constLast(),
                 QString("done: %1, failed: 0, skipped: %2").arg(renamed.size()).arg(skipped));
        for (const QString &name : atStart + arrivals)
            QCOMPARE(QFileInfo::exists(dl(name)), undo || !renamed.contains(name));
    }

    // The shop fails both pages of VJ100001 twice: the failed file is left
    // for the next watch, which tries it once more; then it waits until it
    // changes (downloaded again), and is renamed.
    void failedFileRetriedOnRestartOrChange()
    {
        TestShop::Rule failTwice;
        failTwice.status = 500;
        failTwice.times = 2;
        for (const char *category : {"soft", "pro"})
            shop.setRule(TestShop::productPath(category, "VJ100001"), failTwice);
        Watch first(work->path(), shop.proxyUrl());
        QVERIFY2(first.started(), qPrintable(first.log));
        QVERIFY(write(dl("VJ100001.zip"), "first", QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(first.count(), 1, ProcessRun::timeout);
        QVERIFY(first.stop() && first.log.contains("for the next watch: " + dl("VJ100001.zip")));
        Watch watch(work->path(), shop.proxyUrl());
        QTRY_COMPARE_WITH_TIMEOUT(watch.count(), 1, ProcessRun::timeout);
        QVERIFY(watch.lines.at(0).startsWith("エラー\tVJ100001.zip"));
        QTest::qWait(quietMs);
        QCOMPARE(shopRequests("VJ100001"), 4);

        QVERIFY(write(dl("VJ100001.zip.part"), "second", QIODevice::WriteOnly));
        QVERIFY(QFile::remove(dl("VJ100001.zip")));
        QVERIFY(QFile::rename(dl("VJ100001.zip.part"), dl("VJ100001.zip")));
        QTRY_COMPARE_WITH_TIMEOUT(watch.count(), 2, ProcessRun::timeout);
        QVERIFY(watch.lines.at(1).startsWith("完了\tVJ100001.zip"));
        QCOMPARE(shopRequests("VJ100001"), 5);
    }

    // SIGTERM while a page arrives slowly: that file is still renamed, the
    // one waiting behind it is not touched, and the watch ends with 0; the
    // next watch takes it.
    void stopMidRun()
    {
        shop.setSlow(TestShop::productPath("home", "RJ100006"), 1500);
        Watch watch(work->path(), shop.proxyUrl(), {"--json"});
        QVERIFY2(watch.started(), qPrintable(watch.log));
        QVERIFY(write(dl("RJ100006.zip"), "x", QIODevice::WriteOnly));
        QVERIFY(write(dl("RJ100007.zip"), "x", QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(shopRequests("RJ100006"), 1, ProcessRun::timeout);
        QVERIFY(watch.stop());
        QCOMPARE(watch.lines.size(), 2);
        QVERIFY(watch.lines.at(0).contains("\"old\":\"RJ100006.zip\",\"state\":\"done\""));
        QCOMPARE(watch.lines.at(1), "{\"summary\":{\"done\":1,\"failed\":0,\"skipped\":0}}");
        QVERIFY(QFileInfo::exists(dl("RJ100007.zip")) && shopRequests("RJ100007") == 0);
        Watch next(work->path(), shop.proxyUrl(), {"--json"});
        QTRY_COMPARE_WITH_TIMEOUT(next.count(), 1, ProcessRun::timeout);
        QVERIFY(next.lines.at(0).contains("\"old\":\"RJ100007.zip\""));
    }

    // The watched folder removed and made anew: said, and watched again.
    void folderGoneAndBack()
    {
        Watch watch(work->path(), shop.proxyUrl());
        QVERIFY2(watch.started(), qPrintable(watch.log));
        QVERIFY(QDir(dl()).removeRecursively());
        QVERIFY2(watch.said("is gone"), qPrintable(watch.log));
        QVERIFY(QDir(work->path()).mkdir("dl"));
        QVERIFY2(watch.said("again"), qPrintable(watch.log));
        QVERIFY(write(dl("RJ100005.zip"), "x", QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(watch.count(), 1, ProcessRun::timeout);
        QVERIFY(watch.lines.at(0).startsWith("完了\tRJ100005.zip"));
    }

    // Without a folder, the download folder the desktop names is watched,
    // also after the page cache is emptied first.
    void downloadFolderByDefault()
    {
        QVERIFY(QDir(work->path()).mkpath(".config") &&
                write(work->filePath(".config/user-dirs.dirs"),
                      "XDG_DOWNLOAD_DIR=\"" + dl().toUtf8() + "\"\n", QIODevice::WriteOnly));
        QProcess watch;
        ProcessRun::start(watch, work->path(), {"--watch", "--clear-cache"}, ProcessRun::Batch,
                          shop.proxyUrl());
        QByteArray log;
        const QByteArray watching = "watching " + QDir(dl()).path().toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT((log += watch.readAllStandardError()).contains(watching) ||
                                     watch.state() == QProcess::NotRunning,
                                 ProcessRun::timeout);
        QVERIFY2(log.contains(watching), log.constData());
        watch.terminate();
        QVERIFY(watch.waitForFinished(ProcessRun::timeout) && watch.exitCode() == 0);
    }

    // A folder that cannot be watched is a mistake in the command line.
    void unwatchableFolder()
    {
        const ProcessRun::Result result =
            ProcessRun::run(work->path(), {"--watch", "dl", "missing"}, ProcessRun::Batch);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.log.contains("cannot watch missing: no such folder"),
                 qPrintable(result.log));
    }
};

ZORV_TEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
