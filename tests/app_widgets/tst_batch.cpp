#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QDir>
#include <QFile>
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

// What the folder holds besides the "plugins" folder, sorted, each name with
// its content.
QStringList filesIn(const QString &dir)
{
    QStringList names =
        QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.removeAll(QStringLiteral("plugins"));
    names.sort();
    for (QString &name : names) {
        QFile file(QDir(dir).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            name += QLatin1Char(' ') + QString::fromUtf8(file.readAll()).trimmed();
    }
    return names;
}

} // namespace

// "zorv --batch" as a process against the local shop: result lines, summary
// and exit codes, "--", the option file left unwritten, the preview, the
// journal and the undo.
class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void results_data();
    void results();
    void previewRunUndo();
    void unwritableJournal();
    void englishLocale();

private:
    // The working folder with the store plug-in in its "plugins" folder (never
    // loaded from there) and the files, each holding its name.
    QString prepare(const QTemporaryDir &dir, const QStringList &files);
    Result zorv(const QString &work, const QStringList &arguments);

    TestShop shop;
    // The program's data and settings home, fresh for every test.
    QScopedPointer<QTemporaryDir> home;
};

void TestBatch::initTestCase()
{
    QVERIFY2(QFileInfo(ProcessRun::program()).isExecutable(), qPrintable(ProcessRun::program()));
    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
}

void TestBatch::init()
{
    shop.clearRequests();
    home.reset(new QTemporaryDir);
    qputenv("XDG_DATA_HOME", home->path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home->path().toUtf8());
}

QString TestBatch::prepare(const QTemporaryDir &dir, const QStringList &files)
{
    const QDir work(dir.path());
    if (!dir.isValid() || !ProcessRun::addStorePlugin(dir.path()))
        return QString();
    for (const QString &name : files) {
        QFile file(work.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(name.toUtf8()) <= 0)
            return QString();
    }
    return dir.path();
}

Result TestBatch::zorv(const QString &work, const QStringList &arguments)
{
    return ProcessRun::run(work, arguments, ProcessRun::Batch, shop.proxyUrl());
}

void TestBatch::results_data()
{
    QTest::addColumn<QStringList>("create");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<QStringList>("filesAfter"); // "new name (old name)"
    QTest::addColumn<QString>("errorsNaming");

    const QString rj1 = QStringLiteral("RJ100001.zip");
    const QString rj2 = QStringLiteral("rj100002_manual.pdf");
    const QString bj2 = QStringLiteral("BJ100002.pdf");
    const QString notes = QStringLiteral("notes.txt");
    const QString copy = QStringLiteral("RJ100001 copy.zip");
    const QString odd = QStringLiteral("a\tb\\c\nRJ100001.zip");
    const QString batch = QStringLiteral("--batch");
    const QString new1 = rj100001Name + QStringLiteral(".zip");
    const QString new2 = rj100002Name + QStringLiteral(".pdf");

    QTest::newRow("every file done")
        << QStringList{rj1, rj2} << QStringList{batch, rj1, rj2} << 0
        << QStringList{line(done, rj1, new1), line(done, rj2, new2), summary(2, 0, 0)}
        << QStringList{new1 + ' ' + rj1, new2 + ' ' + rj2} << QString();
    QTest::newRow("one failed on every candidate page")
        << QStringList{rj1, bj2} << QStringList{QStringLiteral("-b"), rj1, bj2} << 1
        << QStringList{line(done, rj1, new1),
                       line(failed, bj2, QString(), QStringLiteral("エラー: 該当作品がありません")),
                       summary(1, 1, 0)}
        << QStringList{bj2 + ' ' + bj2, new1 + ' ' + rj1} << QString();
    QTest::newRow("nothing recognised")
        << QStringList{notes} << QStringList{batch, notes} << 2 << QStringList{summary(0, 0, 1)}
        << QStringList{notes + ' ' + notes} << notes;
    QTest::newRow("recognised beside a missing file")
        << QStringList{rj1} << QStringList{batch, notes, rj1} << 0
        << QStringList{line(done, rj1, new1), summary(1, 0, 1)} << QStringList{new1 + ' ' + rj1}
        << notes;
    QTest::newRow("same new name twice, in argument order")
        << QStringList{copy, rj1} << QStringList{batch, rj1, copy} << 0
        << QStringList{line(done, rj1, new1),
                       line(done, copy, rj100001Name + QStringLiteral(" (1).zip"),
                            QStringLiteral("'ファイルが重複するので名前を修正しました。'")),
                       summary(2, 0, 0)}
        << QStringList{rj100001Name + QStringLiteral(" (1).zip ") + copy, new1 + ' ' + rj1}
        << QString();
    // A tab or a line break in a name would otherwise split the line.
    QTest::newRow("tab, line break and backslash in a name are escaped")
        << QStringList{odd} << QStringList{batch, QStringLiteral("--"), odd} << 0
        << QStringList{line(done, QStringLiteral("a\\tb\\\\c\\nRJ100001.zip"), new1),
                       summary(1, 0, 0)}
        << QStringList{new1 + ' ' + odd} << QString();
    QTest::newRow("a file given twice is renamed once")
        << QStringList{rj1} << QStringList{batch, rj1, "./" + rj1} << 0
        << QStringList{line(done, rj1, new1), summary(1, 0, 1)} << QStringList{new1 + ' ' + rj1}
        << QStringLiteral("given twice: ./") + rj1;
    // -1 as the window mode; the process reports it as 255. The store plug-in
    // lies only in the working folder, where no code is loaded from.
    QTest::newRow("no plug-in loaded")
        << QStringList{rj1} << QStringList{batch, rj1} << 255 << QStringList()
        << QStringList{rj1 + ' ' + rj1} << QStringLiteral("no store plug-in could be loaded");
}

void TestBatch::results()
{
    QFETCH(QStringList, create);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expectedLines);
    QFETCH(QStringList, filesAfter);
    QFETCH(QString, errorsNaming);

    QTemporaryDir dir;
    const QString work = prepare(dir, create);
    QVERIFY(!work.isEmpty());
    // A copy of the program with nothing beside it, for the run that must
    // find no plug-in.
    QTemporaryDir bin;
    QString executable = ProcessRun::program();
    if (exitCode == 255) {
        executable = QDir(bin.path()).filePath(QStringLiteral("zorv"));
        QVERIFY(QFile::copy(ProcessRun::program(), executable));
        QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
    }
    const Result result =
        ProcessRun::run(work, arguments, ProcessRun::Batch, shop.proxyUrl(), executable);
    QVERIFY2(result.exited(), qPrintable(result.log));
    QCOMPARE(result.lines, expectedLines);
    QCOMPARE(result.exitCode, exitCode);
    // Every file keeps its content; no option file is written.
    filesAfter.sort();
    QCOMPARE(filesIn(work), filesAfter);
    QVERIFY2(result.log.contains(errorsNaming), qPrintable(result.log));
    if (exitCode > 1)
        QVERIFY(shop.requests().isEmpty());
}

// A preview renames nothing, writes no journal and names exactly what the run
// then gives, " (n)" included; --undo takes the run back to the byte, once.
void TestBatch::previewRunUndo()
{
    QTemporaryDir dir;
    const QStringList files{QStringLiteral("RJ100001.zip"), QStringLiteral("RJ100001 copy.zip")};
    const QString work = prepare(dir, files);
    QVERIFY(!work.isEmpty());
    const QStringList before = filesIn(work);

    Result real = zorv(work, QStringList{QStringLiteral("-b"), QStringLiteral("-n")} + files);
    QCOMPARE(filesIn(work), before);
    QVERIFY(QDir(home->path()).isEmpty());
    const Result preview = real;
    real = zorv(work, QStringList{QStringLiteral("-b")} + files);
    QVERIFY(real.exitCode == 0 && preview.exitCode == 0);
    QCOMPARE(real.lines.replaceInStrings(done, QStringLiteral("プレビュー")), preview.lines);
    QCOMPARE(real.lines.value(1).section(QLatin1Char('\t'), 2, 2),
             rj100001Name + QStringLiteral(" (1).zip"));
    const Result history = zorv(work, {QStringLiteral("--history"), QStringLiteral("--json")});
    QVERIFY2(history.lines.value(0).contains(QStringLiteral("\"renames\":2,")),
             qPrintable(history.output));

    const Result undo = zorv(work, {QStringLiteral("--undo"), QStringLiteral("--json")});
    QVERIFY2(undo.exitCode == 0, qPrintable(undo.output + undo.log));
    QVERIFY(undo.lines.value(0).contains(QStringLiteral("\"state\":\"done\"")));
    QCOMPARE(undo.lines.last(),
             QStringLiteral("{\"summary\":{\"done\":2,\"failed\":0,\"skipped\":0}}"));
    QCOMPARE(filesIn(work), before);
    QCOMPARE(zorv(work, {QStringLiteral("--undo"), QStringLiteral("--dry-run")}).exitCode, 2);
}

// A journal that cannot be written stops no rename and is reported once.
void TestBatch::unwritableJournal()
{
    QTemporaryDir dir;
    const QStringList files{QStringLiteral("RJ100001.zip"), QStringLiteral("RJ100002.zip")};
    const QString work = prepare(dir, files);
    QFile blocker(home->filePath(QStringLiteral("blocked")));
    QVERIFY(!work.isEmpty() && blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", blocker.fileName().toUtf8());
    const Result result = zorv(work, QStringList{QStringLiteral("-b")} + files);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines.value(2), summary(2, 0, 0));
    QCOMPARE(result.log.count(QStringLiteral("journal.jsonl")), 1);
}

// An English locale gets English states and messages; the JSON states stay.
void TestBatch::englishLocale()
{
    QTemporaryDir dir;
    const QStringList files{QStringLiteral("RJ100001.zip"), QStringLiteral("RJ100001 copy.zip")};
    const QString work = prepare(dir, files);
    qputenv("LC_ALL", "en_US.UTF-8");
    QStringList arguments = QStringList{QStringLiteral("-b"), QStringLiteral("-n")} + files;
    const Result result = zorv(work, arguments);
    const Result json = zorv(work, arguments << QStringLiteral("--json"));
    qputenv("LC_ALL", "C.UTF-8"); // as every test runs
    QCOMPARE(result.lines.value(1),
             line(QStringLiteral("Preview"), files[1], rj100001Name + QStringLiteral(" (1).zip"),
                  QStringLiteral("'The name was changed because the file already exists.'")));
    QVERIFY(json.lines.value(0).contains(QStringLiteral("\"state\":\"preview\"")));
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
