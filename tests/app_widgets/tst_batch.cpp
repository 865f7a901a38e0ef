#include "ProcessRun.h"
#include "TestPaths.h"
#include "TestShop.h"

#include <QTcpServer>
#include <QtTest>

#include <sys/stat.h>

using ProcessRun::Result;
using ProcessRun::rj100001Name;

namespace {

const QString done = QStringLiteral("完了");

QString line(const QString &state, const QString &oldName, const QString &newName,
             const QString &comment = QString())
{
    return QStringList{state, oldName, newName, comment}.join(QLatin1Char('\t'));
}

// What the folder holds besides the "plugins" folder, sorted, each name with
// its content.
QStringList filesIn(const QString &dir)
{
    QStringList names =
        QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.removeAll(QStringLiteral("plugins"));
    names.removeAll(QStringLiteral("linked"));
    names.sort();
    for (QString &name : names) {
        QFile file(QDir(dir).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            name += QLatin1Char(' ') + QString::fromUtf8(file.readAll());
    }
    return names;
}

} // namespace

// "zorv --batch" as a process against the local shop.
class TestBatch : public QObject
{
    Q_OBJECT

    TestShop shop;
    // The program's data and settings home and its cache home, fresh for every test.
    QScopedPointer<QTemporaryDir> home, cacheHome;

    // The working folder with the store plug-in in its "plugins" folder (never
    // loaded from there) and the files, each holding its name.
    static bool prepare(const QTemporaryDir &dir, const QStringList &files)
    {
        bool made = dir.isValid() && ProcessRun::addStorePlugin(dir.path());
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            made = made && file.open(QIODevice::WriteOnly) && file.write(name.toUtf8()) > 0;
        }
        return made;
    }
    Result zorv(const QString &work, const QStringList &arguments,
                const QString &executable = ProcessRun::program())
    {
        return ProcessRun::run(work, arguments, ProcessRun::Batch, shop.proxyUrl(), executable);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    }

    void init()
    {
        home.reset(new QTemporaryDir);
        cacheHome.reset(new QTemporaryDir);
        qputenv("XDG_DATA_HOME", home->path().toUtf8());
        qputenv("XDG_CACHE_HOME", cacheHome->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home->path().toUtf8());
        qputenv("LC_ALL", "C.UTF-8");
    }

    void results_data()
    {
        QTest::addColumn<QStringList>("create");
        QTest::addColumn<QStringList>("arguments"); // after "--batch"
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::addColumn<QStringList>("filesAfter"); // "new name old name"
        QTest::addColumn<QString>("errorsNaming");

        const QString rj1 = "RJ100001.zip";
        const QString bj2 = QStringLiteral("BJ100002.pdf");
        const QString odd = QStringLiteral("a\tb\\c\nRJ100001.zip");
        const QString new1 = rj100001Name + QStringLiteral(".zip");
        QTest::newRow("one failed on every candidate page")
            << QStringList{rj1, bj2} << QStringList{rj1, bj2} << 1
            << QStringList{line(done, rj1, new1),
                           line("エラー", bj2, QString(), "エラー: 該当作品がありません"),
                           "done: 1, failed: 1, skipped: 0"}
            << QStringList{bj2 + ' ' + bj2, new1 + ' ' + rj1} << QString();
        QTest::newRow("nothing recognised") << QStringList{"notes.txt"} << QStringList{"notes.txt"}
                                            << 2 << QStringList{"done: 0, failed: 0, skipped: 1"}
                                            << QStringList{"notes.txt notes.txt"} << "notes.txt";
        // A tab or a line break in a name would otherwise split the line.
        QTest::newRow("tab, line break and backslash in a name are escaped")
            << QStringList{odd} << QStringList{"--", odd} << 0
            << QStringList{line(done, QStringLiteral("a\\tb\\\\c\\nRJ100001.zip"), new1),
                           "done: 1, failed: 0, skipped: 0"}
            << QStringList{new1 + ' ' + odd} << QString();
        QTest::newRow("a file given thrice is renamed once")
            << QStringList{rj1} << QStringList{rj1, "$PWD/" + rj1, "linked/" + rj1} << 0
            << QStringList{line(done, rj1, new1), "done: 1, failed: 0, skipped: 2"}
            << QStringList{new1 + ' ' + rj1} << QStringLiteral("given twice: /");
        // -1 as the window mode; the process reports it as 255.
        QTest::newRow("no plug-in loaded")
            << QStringList{rj1} << QStringList{rj1} << 255 << QStringList()
            << QStringList{rj1 + ' ' + rj1} << QStringLiteral("no store plug-in could be loaded");
    }

    void results()
    {
        QFETCH(QStringList, create);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, filesAfter);
        QFETCH(QString, errorsNaming);

        QTemporaryDir dir;
        QVERIFY(prepare(dir, create));
        // "$PWD": the folder's absolute path; "linked": a link to it.
        arguments.replaceInStrings(QStringLiteral("$PWD"), dir.path());
        QVERIFY(QFile::link(dir.path(), dir.filePath("linked")));
        // The store plug-in lies only in the working folder, where no code is
        // loaded from: a copy of the program with nothing beside it finds none.
        QTemporaryDir bin;
        QString executable = ProcessRun::program();
        if (exitCode == 255) {
            executable = bin.filePath(QStringLiteral("zorv"));
            QVERIFY(QFile::copy(ProcessRun::program(), executable));
            QVERIFY(QFile::setPermissions(executable, QFile::permissions(ProcessRun::program())));
        }
        const Result result = zorv(dir.path(), QStringList{"--batch"} + arguments, executable);
        QVERIFY2(result.exited, qPrintable(result.log));
        QCOMPARE(result.lines, expectedLines);
        QCOMPARE(result.exitCode, exitCode);
        // Every file keeps its content; no option file is written.
        filesAfter.sort();
        QCOMPARE(filesIn(dir.path()), filesAfter);
        QVERIFY2(result.log.contains(errorsNaming), qPrintable(result.log));
    }

    // A proxy that refuses the connection fails every file in turn (batch
    // mode does not hold), and the error stream says so once.
    void unreachableShopSaidOnce()
    {
        QTemporaryDir dir;
        const QStringList files = {"RJ100001.zip", "RJ100002.zip", "RE100001.zip"};
        QVERIFY(prepare(dir, files));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString proxy = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        const Result result = ProcessRun::run(dir.path(), QStringList{"--batch"} + files,
                                              ProcessRun::Batch, "http://" + proxy);
        QCOMPARE(result.lines.value(3), "done: 0, failed: 3, skipped: 0");
        QCOMPARE(result.log.count("zorv: the shop www.sakuvo.example cannot be reached through "
                                  "the proxy " +
                                  proxy),
                 1);
    }

    // Under an English locale: a preview renames nothing, writes no journal
    // and names exactly what the run then gives, " (n)" included; a second
    // run leaves the named files unchanged; each --undo takes back the newest
    // run left (never an undo) to the byte, and nothing a second time.
    void previewRunUndoInEnglish()
    {
        QTemporaryDir dir;
        const QStringList files{"RJ100001.zip", "RJ100001 copy.zip"};
        QVERIFY(prepare(dir, files + QStringList{"RJ100002.zip"}));
        const QStringList before = filesIn(dir.path());
        qputenv("LC_ALL", "en_US.UTF-8");

        // Run together, as users write them: still batch mode, still a preview.
        const Result preview = zorv(dir.path(), QStringList{"-bn"} + files);
        QCOMPARE(filesIn(dir.path()), before);
        QVERIFY(QDir(home->path()).isEmpty());
        QCOMPARE(preview.lines.value(1),
                 line("Preview", files[1], rj100001Name + " (1).zip",
                      "'The name was changed because the file already exists.'"));
        shop.clearRequests();
        Result real = zorv(dir.path(), QStringList{"-b"} + files); // run 1
        QCOMPARE(real.lines.replaceInStrings("Done", "Preview"), preview.lines);
        QCOMPARE(shop.requests().size(), 0); // the preview's pages were kept
        const QStringList named = QDir(dir.path()).entryList({"*RJ100001]*"});
        const Result again = zorv(dir.path(), QStringList{"-b", "--json"} + named);
        QCOMPARE(again.lines.filter("{\"folder\"").filter("\"state\":\"unchanged\"").size(), 2);
        zorv(dir.path(), {"-b", "RJ100002.zip"}); // run 3; run 2 renamed nothing

        for (const char *left : {"RJ100002.zip", "RJ100001 copy.zip"}) {
            const Result undo = zorv(dir.path(), {"--undo", "--json"});
            QVERIFY2(undo.lines.value(0).contains("\"state\":\"done\""), qPrintable(undo.log));
            QVERIFY(QFileInfo::exists(dir.filePath(QString::fromUtf8(left))));
        }
        QCOMPARE(filesIn(dir.path()), before);
        const Result twice = zorv(dir.path(), {"--undo=1"});
        QVERIFY2(twice.exitCode == 2 && twice.log.contains("nothing to take back"),
                 qPrintable(twice.log));
        QCOMPARE(filesIn(dir.path()), before);
    }

    // A file named relative to a working folder whose name is not valid in
    // the locale's encoding is skipped; the folder its decoded name names is
    // never touched.
    void undecodableWorkingFolder()
    {
        QTemporaryDir parent;
        const QString link = ProcessRun::undecodableFolder(parent.path(), "RJ100001.zip");
        QVERIFY(!link.isEmpty());
        const Result result = zorv(link, {"-b", "RJ100001.zip"});
        QVERIFY2(result.exitCode == 2 && result.log.contains("not valid in the system's encoding"),
                 qPrintable(result.log));
        for (const QString &folder :
             QDir(parent.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY(QFileInfo::exists(parent.filePath(folder + "/RJ100001.zip")));
    }

    // The pages are kept in the user's cache folder: --offline renames from
    // there alone and fails the others, --clear-cache empties it.
    void pageCache()
    {
        QTemporaryDir dir;
        QVERIFY(prepare(dir, {"RJ100001.zip"}));
        const QString renamed = rj100001Name + ".zip";
        const auto notCached = [](const QString &name) {
            return line("エラー", name, "",
                        "'ページがキャッシュにありません（オフラインのため取得しませんでした）。'");
        };
        shop.clearRequests();
        QCOMPARE(zorv(dir.path(), {"-b", "--offline", "RJ100001.zip"}).lines.value(0),
                 notCached("RJ100001.zip"));
        QCOMPARE(shop.requests().size(), 0);
        QCOMPARE(zorv(dir.path(), {"-b", "RJ100001.zip"}).exitCode, 0);
        QVERIFY(QFile::exists(cacheHome->filePath("zorv/pages.sqlite")));
        QVERIFY(QFile(dir.filePath("RJ100001.zip")).open(QIODevice::WriteOnly));
        QCOMPARE(zorv(dir.path(), {"-b", "--offline", "RJ100001.zip"}).lines.value(0),
                 line(done, "RJ100001.zip", rj100001Name + " (1).zip",
                      "'ファイルが重複するので名前を修正しました。'"));
        QCOMPARE(shop.requests().size(), 1);
        QCOMPARE(zorv(dir.path(), {"--clear-cache"}).exitCode, 0);
        QCOMPARE(zorv(dir.path(), {"-b", "--offline", renamed}).lines.value(0), notCached(renamed));
    }

    // A journal that cannot be written (a FIFO, never waited on) stops no
    // rename and is reported once; --history says why it cannot be read.
    void unwritableJournal()
    {
        QTemporaryDir dir;
        const QStringList files{"RJ100001.zip", "RJ100002.zip"};
        QVERIFY(prepare(dir, files) && QDir(home->path()).mkpath("zorv") &&
                ::mkfifo(qPrintable(home->filePath("zorv/journal.jsonl")), 0600) == 0);
        const Result result = zorv(dir.path(), QStringList{"-b"} + files);
        QCOMPARE(result.lines.value(2), QStringLiteral("done: 2, failed: 0, skipped: 0"));
        QCOMPARE(result.log.count(QStringLiteral("journal.jsonl")), 1);
        const Result history = zorv(dir.path(), {"--history"});
        QVERIFY2(history.exited && history.exitCode == 1 &&
                     history.log.contains("journal cannot be read"),
                 qPrintable(history.log));
    }
};

ZORV_TEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
