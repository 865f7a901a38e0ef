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

namespace {

const QString done = QStringLiteral("完了");
const QString failed = QStringLiteral("エラー");

// What the default options make of the catalogue's pages.
const QString rj100001Name =
    QStringLiteral("[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] ");
const QString rj100002Name =
    QStringLiteral("[こたつ計画, みかん堂] ねこまち商店街すごろく [RJ100002] [全年齢] [2014-1-5] ");

enum Plugins {
    StorePlugin,   // "plugins" in the working directory holds the store plug-in
    BesideProgram, // no "plugins" there: the one beside the program is used
    EmptyFolder    // the store plug-in only there, and a copy of the program with
                   // nothing beside it: nothing can be loaded
};

QString line(const QString &state, const QString &oldName, const QString &newName,
             const QString &comment = QString())
{
    return QStringList{state, oldName, newName, comment}.join(QLatin1Char('\t'));
}

QString summary(int doneCount, int failedCount, int skipped)
{
    return QStringLiteral("done: %1, failed: %2, skipped: %3")
        .arg(doneCount)
        .arg(failedCount)
        .arg(skipped);
}

// What the folder holds besides the "plugins" folder, sorted.
QStringList filesIn(const QString &dir)
{
    QStringList names =
        QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.removeAll(QStringLiteral("plugins"));
    names.sort();
    return names;
}

} // namespace

Q_DECLARE_METATYPE(Plugins)

// "zorv --batch" as a process against the local shop: result lines and
// summary, exit codes, help and version, "--" and the option file.
class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void results_data();
    void results();
    void helpAndVersion_data();
    void helpAndVersion();
    void linesArriveAsResultsDo();

private:
    QString prepare(const QTemporaryDir &dir, Plugins plugins, const QStringList &files);

    TestShop shop;
    // Held as a running window holds it: batch mode takes no single-instance
    // guard, so every run here goes on beside that window.
    QSharedMemory window;
};

void TestBatch::initTestCase()
{
    QVERIFY2(QFileInfo(ProcessRun::program()).isExecutable(), qPrintable(ProcessRun::program()));
    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    window.setKey(QStringLiteral("Keltam.zorv.application"));
    if (!window.create(1))
        QVERIFY2(window.attach(), qPrintable(window.errorString()));
}

void TestBatch::init()
{
    shop.clearBehaviours();
    shop.clearRequests();
}

// The working folder with its plug-ins and the files; empty on failure.
QString TestBatch::prepare(const QTemporaryDir &dir, Plugins plugins, const QStringList &files)
{
    const QDir work(dir.path());
    if (!dir.isValid() || (plugins != BesideProgram && !ProcessRun::addStorePlugin(dir.path())))
        return QString();
    for (const QString &name : files) {
        if (!ProcessRun::touch(work.filePath(name)))
            return QString();
    }
    return dir.path();
}

void TestBatch::results_data()
{
    QTest::addColumn<Plugins>("plugins");
    QTest::addColumn<QByteArray>("options"); // "option.xml" before the run; none when empty
    QTest::addColumn<QStringList>("create");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<QStringList>("filesAfter");
    QTest::addColumn<QStringList>("errorsNaming");

    const QString rj1 = QStringLiteral("RJ100001.zip");
    const QString rj2 = QStringLiteral("rj100002_manual.pdf");
    const QString bj2 = QStringLiteral("BJ100002.pdf");
    const QString notes = QStringLiteral("notes.txt");
    const QString missing = QStringLiteral("RJ100003.zip");
    const QString copy = QStringLiteral("RJ100001 copy.zip");
    const QString odd = QStringLiteral("a\tb\\c\nRJ100001.zip");
    const QString dashed = QStringLiteral("--RJ100001.zip");
    const QString batch = QStringLiteral("--batch");
    const QString b = QStringLiteral("-b");
    const QString end = QStringLiteral("--");
    const QString new1 = rj100001Name + QStringLiteral(".zip");

    QTest::newRow("every file done")
        << StorePlugin << QByteArray() << QStringList{rj1, rj2} << QStringList{batch, rj1, rj2} << 0
        << QStringList{line(done, rj1, new1),
                       line(done, rj2, rj100002Name + QStringLiteral(".pdf")), summary(2, 0, 0)}
        << QStringList{new1, rj100002Name + QStringLiteral(".pdf")} << QStringList();
    QTest::newRow("one failed on every candidate page")
        << StorePlugin << QByteArray() << QStringList{rj1, bj2} << QStringList{b, rj1, bj2} << 1
        << QStringList{line(done, rj1, new1),
                       line(failed, bj2, QString(), QStringLiteral("エラー: 該当作品がありません")),
                       summary(1, 1, 0)}
        << QStringList{bj2, new1} << QStringList();
    QTest::newRow("nothing recognised")
        << StorePlugin << QByteArray() << QStringList{notes} << QStringList{batch, notes} << 2
        << QStringList{summary(0, 0, 1)} << QStringList{notes} << QStringList{notes};
    QTest::newRow("no file given")
        << StorePlugin << QByteArray() << QStringList() << QStringList{batch} << 2 << QStringList()
        << QStringList() << QStringList();
    QTest::newRow("recognised beside unrecognised and missing")
        << StorePlugin << QByteArray() << QStringList{notes, rj1}
        << QStringList{batch, notes, missing, rj1} << 0
        << QStringList{line(done, rj1, new1), summary(1, 0, 2)} << QStringList{new1, notes}
        << QStringList{notes, missing};
    QTest::newRow("same new name twice, in argument order")
        << StorePlugin << QByteArray() << QStringList{copy, rj1} << QStringList{batch, rj1, copy}
        << 0
        << QStringList{line(done, rj1, new1),
                       line(done, copy, rj100001Name + QStringLiteral(" (1).zip"),
                            QStringLiteral("'ファイルが重複するので名前を修正しました。'")),
                       summary(2, 0, 0)}
        << QStringList{rj100001Name + QStringLiteral(" (1).zip"), new1} << QStringList();
    QTest::newRow("a file given twice is renamed once")
        << StorePlugin << QByteArray() << QStringList{rj1} << QStringList{batch, rj1, "./" + rj1}
        << 0 << QStringList{line(done, rj1, new1), summary(1, 0, 1)} << QStringList{new1}
        << QStringList{QStringLiteral("given twice: ./") + rj1};
    // A tab or a line break in a name would otherwise split the line.
    QTest::newRow("tab, line break and backslash in a name are escaped")
        << StorePlugin << QByteArray() << QStringList{odd} << QStringList{batch, odd} << 0
        << QStringList{line(done, QStringLiteral("a\\tb\\\\c\\nRJ100001.zip"), new1),
                       summary(1, 0, 0)}
        << QStringList{new1} << QStringList();
    QTest::newRow("a name like an option after --")
        << StorePlugin << QByteArray() << QStringList{dashed} << QStringList{batch, end, dashed}
        << 0 << QStringList{line(done, dashed, new1), summary(1, 0, 0)} << QStringList{new1}
        << QStringList();
    // A file called "-v" after "--" is a file without an ID, not a request
    // for the version.
    QTest::newRow("-v after --") << StorePlugin << QByteArray() << QStringList{QStringLiteral("-v")}
                                 << QStringList{b, end, QStringLiteral("-v")} << 2
                                 << QStringList{summary(0, 0, 1)}
                                 << QStringList{QStringLiteral("-v")} << QStringList();
    // Without "--" it is an option the program does not know: a usage error
    // that touches nothing.
    QTest::newRow("a name like an option without --")
        << StorePlugin << QByteArray() << QStringList{dashed} << QStringList{batch, dashed} << 2
        << QStringList() << QStringList{dashed} << QStringList{QStringLiteral("Unknown option")};
    // The window's option file shapes the names; batch mode reads it and
    // leaves it as it found it.
    const QString bracketed =
        QStringLiteral("(夜想曲工房) 星降る夜のオルゴール (RJ100001) (R-18) (2014-01-05) .zip");
    QTest::newRow("option file read, never written")
        << StorePlugin
        << QByteArray("<option><rename_option><begin_delimiter>(</begin_delimiter>"
                      "<end_delimiter>)</end_delimiter></rename_option></option>\n")
        << QStringList{rj1} << QStringList{batch, rj1} << 0
        << QStringList{line(done, rj1, bracketed), summary(1, 0, 0)}
        << QStringList{bracketed, QStringLiteral("option.xml")} << QStringList();
    QTest::newRow("no plug-in folder here: the one beside the program")
        << BesideProgram << QByteArray() << QStringList{rj1} << QStringList{batch, rj1} << 0
        << QStringList{line(done, rj1, new1), summary(1, 0, 0)} << QStringList{new1}
        << QStringList();
    // -1 as the window mode; the process reports it as 255.
    QTest::newRow("no plug-in loaded")
        << EmptyFolder << QByteArray() << QStringList{rj1} << QStringList{batch, rj1} << 255
        << QStringList() << QStringList{rj1}
        << QStringList{QStringLiteral("no store plug-in could be loaded")};
}

void TestBatch::results()
{
    QFETCH(Plugins, plugins);
    QFETCH(QByteArray, options);
    QFETCH(QStringList, create);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expectedLines);
    QFETCH(QStringList, filesAfter);
    QFETCH(QStringList, errorsNaming);

    QTemporaryDir dir;
    const QString work = prepare(dir, plugins, create);
    QVERIFY(!work.isEmpty());
    QFile optionFile(QDir(work).filePath(QStringLiteral("option.xml")));
    if (!options.isEmpty()) {
        QVERIFY(optionFile.open(QIODevice::WriteOnly));
        QCOMPARE(optionFile.write(options), qint64(options.size()));
        optionFile.close();
    }

    QTemporaryDir bin;
    QString executable = ProcessRun::program();
    if (plugins == EmptyFolder) {
        executable = QDir(bin.path()).filePath(QStringLiteral("zorv"));
        QVERIFY(QFile::copy(ProcessRun::program(), executable));
        QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
    }
    const Result result =
        ProcessRun::run(work, arguments, ProcessRun::Batch, shop.proxyUrl(), executable);
    QVERIFY2(result.exited(), qPrintable(result.log));
    QVERIFY2(result.output.isEmpty() || result.output.endsWith(QLatin1Char('\n')),
             qPrintable(result.output));
    QCOMPARE(result.lines, expectedLines);
    QCOMPARE(result.exitCode, exitCode);
    filesAfter.sort();
    QCOMPARE(filesIn(work), filesAfter);
    for (const QString &name : qAsConst(errorsNaming))
        QVERIFY2(result.log.contains(name), qPrintable(result.log));
    if (exitCode > 1)
        QVERIFY(shop.requests().isEmpty());
    // No option file is written, and one that was there is left as it was.
    QCOMPARE(optionFile.exists(), !options.isEmpty());
    if (!options.isEmpty()) {
        QVERIFY(optionFile.open(QIODevice::ReadOnly));
        QCOMPARE(optionFile.readAll(), options);
    }
}

void TestBatch::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("firstLine");

    const QString usage = QStringLiteral("Usage: zorv [options] [--] FILE...");
    const QString version = QStringLiteral("zorv " ZORV_PROJECT_VERSION);
    const QString file = QStringLiteral("RJ100001.zip");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << usage;
    QTest::newRow("--help wins over --batch")
        << QStringList{QStringLiteral("--batch"), file, QStringLiteral("--help")} << usage;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << version;
    // Without --batch this would otherwise open the window.
    QTest::newRow("-v beside a file") << QStringList{file, QStringLiteral("-v")} << version;
}

void TestBatch::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, firstLine);

    QTemporaryDir dir;
    const QString work = prepare(dir, StorePlugin, {QStringLiteral("RJ100001.zip")});
    QVERIFY(!work.isEmpty());
    const Result result = ProcessRun::run(work, arguments, ProcessRun::Batch, shop.proxyUrl());
    QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
    QCOMPARE(result.lines.value(0), firstLine);
    // Nothing was renamed and no page was asked for.
    QCOMPARE(filesIn(work), QStringList{QStringLiteral("RJ100001.zip")});
    QVERIFY(shop.requests().isEmpty());
}

// Each result is written and flushed when its file is finished: the first
// line is readable while the second file's page is still on its way.
void TestBatch::linesArriveAsResultsDo()
{
    QTemporaryDir dir;
    const QString work =
        prepare(dir, StorePlugin, {QStringLiteral("RJ100001.zip"), QStringLiteral("RJ100002.zip")});
    QVERIFY(!work.isEmpty());
    const QString slowPath =
        TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100002"));
    shop.setSlow(slowPath, 6000, 6);

    QProcess process;
    ProcessRun::start(
        process, work,
        {QStringLiteral("--batch"), QStringLiteral("RJ100001.zip"), QStringLiteral("RJ100002.zip")},
        ProcessRun::Batch, shop.proxyUrl());
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine() || process.state() == QProcess::NotRunning,
                             ProcessRun::timeout);
    const QString first = QString::fromUtf8(process.readLine());
    bool slowAnswered = false;
    for (const TestShop::LoggedRequest &request : shop.requests())
        slowAnswered = slowAnswered || (request.path == slowPath && request.answeredMs >= 0);
    QVERIFY2(!slowAnswered, "the first line came only after the second page was complete");
    QCOMPARE(first,
             line(done, QStringLiteral("RJ100001.zip"), rj100001Name + QStringLiteral(".zip")) +
                 QLatin1Char('\n'));

    const Result rest = ProcessRun::finish(process);
    QVERIFY2(rest.exited() && rest.exitCode == 0, qPrintable(rest.log));
    QCOMPARE(rest.lines, (QStringList{line(done, QStringLiteral("RJ100002.zip"),
                                           rj100002Name + QStringLiteral(".zip")),
                                      summary(2, 0, 0)}));
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
