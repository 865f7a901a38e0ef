#include "TestPaths.h"
#include "TestShop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int runTimeout = 120000;
const QString instanceKey = QStringLiteral("Keltam.zorv.application");

const QString done = QStringLiteral("完了");
const QString failed = QStringLiteral("エラー");
const QString tab = QStringLiteral("\t");

// What the default options make of the catalogue's pages.
const QString rj100001Name =
    QStringLiteral("[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] ");
const QString rj100002Name =
    QStringLiteral("[こたつ計画, みかん堂] ねこまち商店街すごろく [RJ100002] [全年齢] [2014-1-5] ");
const QString re100001Name =
    QStringLiteral("[Nocturne Works] Moonlit Garden：Night Bloom [RE100001] [R-18] [2014-01-05] ");

enum PluginSetup {
    StorePlugin,  // "plugins" in the working directory holds the store plug-in
    NoPluginsDir, // no "plugins" there: the one beside the program is used
    EmptyPluginsDir,
    NotAPlugin // "plugins" holds a library that is no plug-in
};

QString program()
{
    return QDir(TestPaths::binDir()).filePath(QStringLiteral("zorv"));
}

QString line(const QString &state, const QString &oldName, const QString &newName,
             const QString &comment)
{
    return QStringList{state, oldName, newName, comment}.join(tab);
}

bool touch(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write("product file\n") > 0;
}

// What the folder holds besides the "plugins" folder, sorted.
QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    names.removeAll(QStringLiteral("plugins"));
    names.sort();
    return names;
}

struct BatchResult
{
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
    QString output;
    QStringList lines;
    QString errors;
};

} // namespace

Q_DECLARE_METATYPE(PluginSetup)

// "zorv --batch" as a process against the local shop: result lines and
// summary, exit codes, help and version, "--", the option file, and that it
// needs neither a display nor the single-instance guard.
class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void results_data();
    void results();
    void pluginFolder_data();
    void pluginFolder();
    void helpAndVersion_data();
    void helpAndVersion();
    void optionLikeNames_data();
    void optionLikeNames();
    void optionFileIsReadNeverWritten();
    void linesArriveAsResultsDo();
    void runsBesideARunningWindow();

private:
    bool prepare(const QTemporaryDir &dir, PluginSetup setup = StorePlugin);
    void start(QProcess &process, const QString &workingDirectory, const QStringList &arguments);
    BatchResult run(const QString &workingDirectory, const QStringList &arguments);

    TestShop shop;
};

void TestBatch::initTestCase()
{
    QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
}

void TestBatch::init()
{
    shop.clearBehaviours();
    shop.clearRequests();
}

bool TestBatch::prepare(const QTemporaryDir &dir, PluginSetup setup)
{
    if (!dir.isValid())
        return false;
    const QDir work(dir.path());
    const QString plugins = work.filePath(QStringLiteral("plugins"));
    switch (setup) {
    case StorePlugin:
        return work.mkdir(QStringLiteral("plugins")) &&
               QFile::copy(QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile()),
                           QDir(plugins).filePath(TestPaths::storePluginFile()));
    case NoPluginsDir:
        return true;
    case EmptyPluginsDir:
        return work.mkdir(QStringLiteral("plugins"));
    case NotAPlugin:
        return work.mkdir(QStringLiteral("plugins")) &&
               touch(QDir(plugins).filePath(QStringLiteral("Broken.so")));
    }
    return false;
}

// No display and no platform plug-in setting: a window, or even a GUI
// application object, would make the program fail at once.
void TestBatch::start(QProcess &process, const QString &workingDirectory,
                      const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "no_proxy", "NO_PROXY", "HTTP_PROXY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("http_proxy"), shop.proxyUrl());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.setProgram(program());
    process.setArguments(arguments);
    process.start();
}

BatchResult TestBatch::run(const QString &workingDirectory, const QStringList &arguments)
{
    QProcess process;
    start(process, workingDirectory, arguments);
    BatchResult result;
    result.finished = process.waitForFinished(runTimeout);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.status = process.exitStatus();
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.lines = result.output.split(QLatin1Char('\n'));
    if (result.lines.constLast().isEmpty())
        result.lines.removeLast();
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestBatch::results_data()
{
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

    QTest::newRow("every file done")
        << QStringList{rj1, rj2} << QStringList{QStringLiteral("--batch"), rj1, rj2} << 0
        << QStringList{line(done, rj1, rj100001Name + QStringLiteral(".zip"), QString()),
                       line(done, rj2, rj100002Name + QStringLiteral(".pdf"), QString()),
                       QStringLiteral("done: 2, failed: 0, skipped: 0")}
        << QStringList{rj100001Name + QStringLiteral(".zip"), rj100002Name + QStringLiteral(".pdf")}
        << QStringList();
    QTest::newRow("one failed on every candidate page")
        << QStringList{rj1, bj2} << QStringList{QStringLiteral("-b"), rj1, bj2} << 1
        << QStringList{line(done, rj1, rj100001Name + QStringLiteral(".zip"), QString()),
                       line(failed, bj2, QString(), QStringLiteral("エラー: 該当作品がありません")),
                       QStringLiteral("done: 1, failed: 1, skipped: 0")}
        << QStringList{bj2, rj100001Name + QStringLiteral(".zip")} << QStringList();
    QTest::newRow("page nowhere: the last candidate's network error")
        << QStringList{QStringLiteral("RJ999999.zip")}
        << QStringList{QStringLiteral("--batch"), QStringLiteral("RJ999999.zip")} << 1
        << QStringList{line(failed, QStringLiteral("RJ999999.zip"), QString(),
                            QStringLiteral("Error transferring %1 - server replied: Not Found")
                                .arg(TestShop::productUrl(QStringLiteral("girls-touch"),
                                                          QStringLiteral("RJ999999")))),
                       QStringLiteral("done: 0, failed: 1, skipped: 0")}
        << QStringList{QStringLiteral("RJ999999.zip")} << QStringList();
    QTest::newRow("nothing recognised")
        << QStringList{notes} << QStringList{QStringLiteral("--batch"), notes} << 2
        << QStringList{QStringLiteral("done: 0, failed: 0, skipped: 1")} << QStringList{notes}
        << QStringList{notes};
    QTest::newRow("only a missing path")
        << QStringList() << QStringList{QStringLiteral("--batch"), QStringLiteral("RJ100003.zip")}
        << 2 << QStringList{QStringLiteral("done: 0, failed: 0, skipped: 1")} << QStringList()
        << QStringList{QStringLiteral("RJ100003.zip")};
    QTest::newRow("no file given") << QStringList() << QStringList{QStringLiteral("--batch")} << 2
                                   << QStringList() << QStringList() << QStringList();
    QTest::newRow("recognised and unrecognised")
        << QStringList{notes, rj1} << QStringList{QStringLiteral("--batch"), notes, rj1} << 0
        << QStringList{line(done, rj1, rj100001Name + QStringLiteral(".zip"), QString()),
                       QStringLiteral("done: 1, failed: 0, skipped: 1")}
        << QStringList{rj100001Name + QStringLiteral(".zip"), notes} << QStringList{notes};
    QTest::newRow("forbidden character in the title")
        << QStringList{QStringLiteral("RE100001 demo.zip")}
        << QStringList{QStringLiteral("--batch"), QStringLiteral("RE100001 demo.zip")} << 0
        << QStringList{line(done, QStringLiteral("RE100001 demo.zip"),
                            re100001Name + QStringLiteral(".zip"),
                            QStringLiteral("'無効な文字を修正しました。'")),
                       QStringLiteral("done: 1, failed: 0, skipped: 0")}
        << QStringList{re100001Name + QStringLiteral(".zip")} << QStringList();
    QTest::newRow("same new name twice, in argument order")
        << QStringList{QStringLiteral("RJ100001 copy.zip"), rj1}
        << QStringList{QStringLiteral("--batch"), rj1, QStringLiteral("RJ100001 copy.zip")} << 0
        << QStringList{line(done, rj1, rj100001Name + QStringLiteral(".zip"), QString()),
                       line(done, QStringLiteral("RJ100001 copy.zip"),
                            rj100001Name + QStringLiteral(" (1).zip"),
                            QStringLiteral("'ファイルが重複するので名前を修正しました。'")),
                       QStringLiteral("done: 2, failed: 0, skipped: 0")}
        << QStringList{rj100001Name + QStringLiteral(" (1).zip"),
                       rj100001Name + QStringLiteral(".zip")}
        << QStringList();
    // A tab or a line break in a name would otherwise split the line.
    QTest::newRow("tab, line break and backslash in a name are escaped")
        << QStringList{QStringLiteral("a\tb\\c\nRJ100001.zip")}
        << QStringList{QStringLiteral("--batch"), QStringLiteral("a\tb\\c\nRJ100001.zip")} << 0
        << QStringList{line(done, QStringLiteral("a\\tb\\\\c\\nRJ100001.zip"),
                            rj100001Name + QStringLiteral(".zip"), QString()),
                       QStringLiteral("done: 1, failed: 0, skipped: 0")}
        << QStringList{rj100001Name + QStringLiteral(".zip")} << QStringList();
}

void TestBatch::results()
{
    QFETCH(QStringList, create);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expectedLines);
    QFETCH(QStringList, filesAfter);
    QFETCH(QStringList, errorsNaming);

    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    for (const QString &name : qAsConst(create))
        QVERIFY(touch(QDir(dir.path()).filePath(name)));

    const BatchResult result = run(dir.path(), arguments);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.status, QProcess::NormalExit);
    QVERIFY2(result.output.isEmpty() || result.output.endsWith(QLatin1Char('\n')),
             qPrintable(result.output));
    QCOMPARE(result.lines, expectedLines);
    QCOMPARE(result.exitCode, exitCode);
    filesAfter.sort();
    QCOMPARE(filesIn(dir.path()), filesAfter);
    for (const QString &name : qAsConst(errorsNaming))
        QVERIFY2(result.errors.contains(name), qPrintable(result.errors));
    QVERIFY(!QFile::exists(QDir(dir.path()).filePath(QStringLiteral("option.xml"))));
}

void TestBatch::pluginFolder_data()
{
    QTest::addColumn<PluginSetup>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("renamed");

    QTest::newRow("plug-in in the working directory") << StorePlugin << 0 << true;
    QTest::newRow("no folder there: the one beside the program") << NoPluginsDir << 0 << true;
    // -1 as the window mode; the process reports it as 255.
    QTest::newRow("empty plug-in folder") << EmptyPluginsDir << 255 << false;
    QTest::newRow("a library that is no plug-in") << NotAPlugin << 255 << false;
}

void TestBatch::pluginFolder()
{
    QFETCH(PluginSetup, setup);
    QFETCH(int, exitCode);
    QFETCH(bool, renamed);

    QTemporaryDir dir;
    QVERIFY(prepare(dir, setup));
    const QString file = QStringLiteral("RJ100001.zip");
    QVERIFY(touch(QDir(dir.path()).filePath(file)));

    const BatchResult result = run(dir.path(), {QStringLiteral("--batch"), file});
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.status, QProcess::NormalExit);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(QFile::exists(QDir(dir.path()).filePath(file)), !renamed);
    if (renamed) {
        QCOMPARE(result.lines.size(), 2);
        QVERIFY(result.lines.at(0).startsWith(done + tab + file + tab));
    } else {
        QVERIFY2(result.output.isEmpty(), qPrintable(result.output));
        QVERIFY2(result.errors.contains(QStringLiteral("no store plug-in could be loaded")),
                 qPrintable(result.errors));
        QVERIFY(shop.requests().isEmpty());
    }
    QVERIFY(!QFile::exists(QDir(dir.path()).filePath(QStringLiteral("option.xml"))));
}

void TestBatch::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    const QString usage = QStringLiteral("Usage: zorv [options] [--] FILE...");
    const QString version = QStringLiteral("zorv %1").arg(QStringLiteral(ZORV_PROJECT_VERSION));
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << usage;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << usage;
    QTest::newRow("--help wins over --batch")
        << QStringList{QStringLiteral("--batch"), QStringLiteral("RJ100001.zip"),
                       QStringLiteral("--help")}
        << usage;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << version;
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << version;
    QTest::newRow("-v beside a file")
        << QStringList{QStringLiteral("RJ100001.zip"), QStringLiteral("-v")} << version;
}

void TestBatch::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    QVERIFY(touch(QDir(dir.path()).filePath(QStringLiteral("RJ100001.zip"))));

    const BatchResult result = run(dir.path(), arguments);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!result.lines.isEmpty());
    QCOMPARE(result.lines.constFirst(), expected);
    if (expected.startsWith(QLatin1String("Usage"))) {
        for (const char *option : {"--batch", "--help", "--version", "--verbose"})
            QVERIFY2(result.output.contains(QLatin1String(option)), option);
    }
    // Nothing was renamed and no page was asked for.
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("RJ100001.zip")});
    QVERIFY(shop.requests().isEmpty());
}

void TestBatch::optionLikeNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expectedLines");

    const QString dashed = QStringLiteral("--RJ100001.zip");
    QTest::newRow("long-option look after --")
        << dashed << QStringList{QStringLiteral("--batch"), QStringLiteral("--"), dashed} << 0
        << QStringList{line(done, dashed, rj100001Name + QStringLiteral(".zip"), QString()),
                       QStringLiteral("done: 1, failed: 0, skipped: 0")};
    const QString shortLook = QStringLiteral("-b RJ100002.zip");
    QTest::newRow("short-option look after --")
        << shortLook << QStringList{QStringLiteral("-b"), QStringLiteral("--"), shortLook} << 0
        << QStringList{line(done, shortLook, rj100002Name + QStringLiteral(".zip"), QString()),
                       QStringLiteral("done: 1, failed: 0, skipped: 0")};
    // A file called "-v" after "--" is a file without an ID, not a request
    // for the version.
    QTest::newRow("-v after --") << QStringLiteral("-v")
                                 << QStringList{QStringLiteral("--batch"), QStringLiteral("--"),
                                                QStringLiteral("-v")}
                                 << 2
                                 << QStringList{QStringLiteral("done: 0, failed: 0, skipped: 1")};
    QTest::newRow("--help after --")
        << QStringLiteral("--help")
        << QStringList{QStringLiteral("-b"), QStringLiteral("--"), QStringLiteral("--help")} << 2
        << QStringList{QStringLiteral("done: 0, failed: 0, skipped: 1")};
    // Without "--" it is an option the program does not know: a usage error
    // that touches nothing.
    QTest::newRow("long-option look without --")
        << dashed << QStringList{QStringLiteral("--batch"), dashed} << 2 << QStringList();
}

void TestBatch::optionLikeNames()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expectedLines);

    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    QVERIFY(touch(QDir(dir.path()).filePath(fileName)));

    const BatchResult result = run(dir.path(), arguments);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.lines, expectedLines);
    QCOMPARE(result.exitCode, exitCode);
    const bool renamed = exitCode == 0;
    QCOMPARE(QFile::exists(QDir(dir.path()).filePath(fileName)), !renamed);
    if (expectedLines.isEmpty())
        QVERIFY2(result.errors.contains(QStringLiteral("Unknown option")),
                 qPrintable(result.errors));
}

// The window's option file shapes the names, and batch mode leaves it as it
// found it.
void TestBatch::optionFileIsReadNeverWritten()
{
    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    const QString optionFile = QDir(dir.path()).filePath(QStringLiteral("option.xml"));
    const QByteArray options = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<option><rename_option>"
                               "<orders><order>0</order><order>1</order><order>2</order>"
                               "<order>3</order><order>4</order></orders>"
                               "<space_size>0</space_size>"
                               "<begin_delimiter>(</begin_delimiter>"
                               "<end_delimiter>)</end_delimiter>"
                               "<begin_delimiter_enabled>1</begin_delimiter_enabled>"
                               "<end_delimiter_enabled>1</end_delimiter_enabled>"
                               "<id_enabled>1</id_enabled><maker_enabled>0</maker_enabled>"
                               "<date_enabled>0</date_enabled><age_enabled>0</age_enabled>"
                               "</rename_option></option>\n";
    {
        QFile file(optionFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(options), qint64(options.size()));
    }
    QVERIFY(touch(QDir(dir.path()).filePath(QStringLiteral("RJ100001.zip"))));

    const BatchResult result =
        run(dir.path(), {QStringLiteral("--batch"), QStringLiteral("RJ100001.zip")});
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.exitCode, 0);
    const QString newName = QStringLiteral("(RJ100001)星降る夜のオルゴール.zip");
    QCOMPARE(result.lines,
             (QStringList{line(done, QStringLiteral("RJ100001.zip"), newName, QString()),
                          QStringLiteral("done: 1, failed: 0, skipped: 0")}));
    QVERIFY(QFile::exists(QDir(dir.path()).filePath(newName)));

    QFile file(optionFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), options);
}

// Each result is written and flushed when its file is finished: the first
// line is readable while the second file's page is still on its way.
void TestBatch::linesArriveAsResultsDo()
{
    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    QVERIFY(touch(QDir(dir.path()).filePath(QStringLiteral("RJ100001.zip"))));
    QVERIFY(touch(QDir(dir.path()).filePath(QStringLiteral("RJ100002.zip"))));
    const QString slowPath =
        TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100002"));
    shop.setSlow(slowPath, 6000, 6);

    QProcess process;
    start(process, dir.path(),
          {QStringLiteral("--batch"), QStringLiteral("RJ100001.zip"),
           QStringLiteral("RJ100002.zip")});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine() || process.state() == QProcess::NotRunning,
                             runTimeout);
    const QString first = QString::fromUtf8(process.readLine());

    bool slowAnswered = false;
    for (const TestShop::LoggedRequest &request : shop.requests()) {
        if (request.path == slowPath && request.answeredMs >= 0)
            slowAnswered = true;
    }
    QVERIFY2(!slowAnswered, "the first line came only after the second page was complete");
    QCOMPARE(first, line(done, QStringLiteral("RJ100001.zip"),
                         rj100001Name + QStringLiteral(".zip"), QString()) +
                        QLatin1Char('\n'));

    QVERIFY(process.waitForFinished(runTimeout));
    QCOMPARE(process.exitCode(), 0);
    const QStringList rest = QString::fromUtf8(process.readAllStandardOutput())
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rest, (QStringList{line(done, QStringLiteral("RJ100002.zip"),
                                     rj100002Name + QStringLiteral(".zip"), QString()),
                                QStringLiteral("done: 2, failed: 0, skipped: 0")}));
}

// A window holds the single-instance segment; batch mode takes no guard and
// runs all the same.
void TestBatch::runsBesideARunningWindow()
{
    QSharedMemory guard;
    guard.setKey(instanceKey);
    if (!guard.create(1))
        QVERIFY2(guard.attach(), qPrintable(guard.errorString()));

    QTemporaryDir dir;
    QVERIFY(prepare(dir));
    QVERIFY(touch(QDir(dir.path()).filePath(QStringLiteral("RJ100001.zip"))));
    const BatchResult result =
        run(dir.path(), {QStringLiteral("--batch"), QStringLiteral("RJ100001.zip")});
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.size(), 2);
    QCOMPARE(filesIn(dir.path()), QStringList{rj100001Name + QStringLiteral(".zip")});
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
