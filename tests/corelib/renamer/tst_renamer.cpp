// The renamer on its own thread against the local shop: what the user sees of
// each file (state, new name, comment), and that no file's content is lost.
#include "LogCapture.h"
#include "OptionText.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"
#include "renamer/PageCache.h"
#include "renamer/Renamer.h"
#include "renamer/RepairProcess.h"
#include "renamer/RepairProtocol.h"
#include "renamer/WebDownloader.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <unistd.h>

using namespace zorv;

namespace {

const QString invalidNote = QStringLiteral("'無効な文字を修正しました。'");
const QString duplicateNote = QStringLiteral("'ファイルが重複するので名前を修正しました。'");
const QString shortenedNote = QStringLiteral("'名前が長すぎるため短縮しました。'");
const QString timedOut = QStringLiteral("'ショップが時間内に応答しませんでした。'");
const QString renameFailed = QStringLiteral("'リネームに失敗しました。'");
const QString repairFailed = QStringLiteral("'ページを修復できませんでした。'");
// A page holding it makes the repair helper abort.
const QByteArray crashMark = "zorv-test-crash";
const QString home = TestShop::productPath("home", "RJ123456");
// VJ IDs have two candidate pages: "soft", then "pro".
const QString soft = TestShop::productPath("soft", "VJ123456");
const QString pro = TestShop::productPath("pro", "VJ123456");

// A product page as the pc layout has it (title, ID, extra head markup).
QString pcHtml(const QString &title, const QString &id = "VJ123456", const QString &head = "")
{
    QFile page(TestPaths::dataFile("product.html"));
    const QString markup = page.open(QIODevice::ReadOnly) ? QString::fromUtf8(page.readAll()) : "";
    return markup.arg(title.toHtmlEscaped(), id, head);
}

// One element with that many attributes: the repair's time grows with their square.
QByteArray manyAttributes(int count)
{
    QByteArray page = "<p";
    for (int i = 0; i < count; ++i)
        page += " a" + QByteArray::number(i) + "=1";
    return page + ">x</p>";
}

// Every file's content by name: only the names may change in a run.
QMap<QString, QByteArray> snapshot(const QString &path)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &info : QDir(path).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly))
            files.insert(info.fileName(), file.readAll());
    }
    return files;
}

// How an entry finished a page, taken on the worker thread as it was emitted.
struct Event
{
    int status;
    QString message;
};

// A run named by the title alone unless a test sets other options. The
// events are read once the run has finished, and no longer change.
struct Run
{
    Run()
    {
        option->storeRenameOption(OptionText::parse("off=id,maker,date,age space=0"));
        QObject::connect(renamer, &Renamer::finished, [this](EntryPtr entry) {
            ends.append({entry->status(), entry->message()});
        });
        QObject::connect(renamer, &Renamer::allFinished, [this] { ++allFinished; });
        QObject::connect(renamer, &Renamer::started, [this] { ++started; });
        QObject::connect(&thread, &QThread::started, renamer, &Renamer::doWork);
    }
    ~Run()
    {
        renamer->abort();
        thread.quit();
        thread.wait();
        delete renamer;
    }
    bool run(const QList<QFileInfo> &files)
    {
        renamer->add(files);
        renamer->moveToThread(&thread);
        thread.start();
        return QTest::qWaitFor([this] { return allFinished > 0; }, 30000);
    }

    QSharedPointer<Option> option = Option::createDefault();
    Renamer *renamer = new Renamer(option);
    QThread thread;
    QList<Event> ends;
    std::atomic<int> allFinished{0};
    std::atomic<int> started{0};
};

} // namespace

class TestRenamer : public QObject
{
    Q_OBJECT

    PluginManager pluginManager;
    TestShop shop;
    QScopedPointer<QTemporaryDir> work;

    QFileInfo file(const QString &name)
    {
        QFile out(work->filePath(name));
        const bool written = out.open(QIODevice::WriteOnly) && out.write(name.toUtf8()) > 0;
        return written ? QFileInfo(out.fileName()) : QFileInfo();
    }

private slots:
    void initTestCase()
    {
        Entry::registerMetaTypes();
        const QString oddPlugins = QFileInfo(ZORV_ODD_PLUGIN_FILE).path();
        QVERIFY(pluginManager.load(QStringList{TestPaths::pluginBuildDir(), oddPlugins}));
        RepairProcess::setHelperProgram(TestPaths::repairHelper());
        qputenv(RepairProtocol::AbortMarkVariable, crashMark);
        QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
        shop.addCatalogue(TestPaths::dataFile("pages"));
        // The plug-in's real URLs reach the local shop through the proxy setting.
        qputenv("http_proxy", shop.proxyUrl().toLatin1());
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }

    void init()
    {
        work.reset(new QTemporaryDir);
        shop.clearPages();
        shop.clearBehaviours();
        shop.clearRequests();
    }

    // What each file comes to, with every page's note: a failed page costs
    // only itself (the next candidate is tried); an entry that gives up says
    // why. No file's content is lost.
    void outcome_data()
    {
        QTest::addColumn<QString>("setup"); // rename options ("x=y ..."), or how the page is served
        QTest::addColumn<QStringList>("sources");  // the lists are written "a|b"
        QTest::addColumn<QStringList>("existing"); // dangling links
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("names");    // of the sources, in order; none: kept
        QTest::addColumn<QStringList>("messages"); // of every page, in order: a part, or none
        QTest::addColumn<bool>("preview");         // a dry run
        const auto row = [](const char *name, const QString &sources, const QString &existing,
                            const QString &title, const QString &names, const QString &messages,
                            const QString &setup = "", bool preview = false) {
            QTest::newRow(name) << setup << sources.split('|')
                                << existing.split('|', Qt::SkipEmptyParts) << title
                                << names.split('|', Qt::SkipEmptyParts) << messages.split('|')
                                << preview;
        };
        const QString zip = "RJ123456.zip", vj = "VJ123456.zip", star = "星降る夜";
        // Names taken by dangling links, which a look that follows links takes for free.
        row("(2) when (1) is taken too", zip, "T.zip|T (1).zip", "T", "T (2).zip", duplicateNote);
        row("file already bears the name", "T[RJ123456].zip", "", "T", "T[RJ123456].zip",
            "'既に変更済みです。'", "off=maker,date,age space=0");
        row("file already bears its numbered name", "T[RJ123456] (1).zip", "T[RJ123456].zip", "T",
            "T[RJ123456] (1).zip", "'既に変更済みです。'", "off=maker,date,age space=0");
        row("both notes in order", zip, "A＜B.zip", "A<B", "A＜B (1).zip",
            invalidNote + duplicateNote);
        row("two files, one new name", "RJ123456 first.zip|second RJ123456.zip", "", "T",
            "T.zip|T (1).zip", "|" + duplicateNote);
        row("no suffix, no trailing dot", "RJ123456", "", "T", "T", "");
        row("compound extension kept whole, as it is", "rj123456.TAR.gz", "", "T", "T.TAR.gz", "");
        row("options changed before the run", zip, "", "T", "[作者]T[全年齢][2014-1-5].zip", "",
            "space=0 off=id");
        // Cut at a whole character to the folder's limit, the usual 255 bytes.
        const QString accented = QString::fromUtf8("e\u0301");
        row("long title with combining marks", zip, "", "a" + accented.repeated(150),
            "a" + accented.repeated(82) + "….zip", shortenedNote);
        row("title of a zero-width space only", vj, "", "\u200B", "",
            invalidNote + "'新しい名前が空になりました。'");
        row("charset in the Content-Type header", zip, "", star, star + ".zip", "", "Shift_JIS");
        row("charset in a meta tag", zip, "", star, star + ".zip", "", "EUC-JP meta");
        row("unknown declared charset", zip, "", star, star + ".zip", "", "x-unheard-of");
        row("unknown charset", "ZZ123456.zip", "", "T", "",
            "'文字コード「x-no-such-charset」に対応していません。'");
        row("slow page, never silent for long", zip, "", star, star + ".zip", "", "slow");
        row("moved to the touch page", "RJ100001.zip", "", "", "星降る夜のオルゴール.zip", "",
            "moved");
        row("silent", vj, "", "T", "T.zip", timedOut + "|", "silent");
        row("empty body", vj, "", "T", "T.zip", "'タイトルがみつかりませんでした'|", "empty body");
        row("redirect loop", vj, "", "T", "T.zip", "ページの転送が多すぎます|", "redirect loop");
        row("body without end", vj, "", "T", "T.zip",
            "'ページが大きすぎるので読み込みを中止しました。'|", "body without end");
        // The last note names the failure that was not "not found", in either order.
        row("silent, then not found", vj, "", "T", "", timedOut + "|" + timedOut,
            "silent, then not found");
        row("not found, then silent", vj, "", "T", "", "ページが見つかりません (404)|" + timedOut,
            "not found, then silent");
        row("source gone", vj, "", "T", "", "'ソースファイルが見つかりません。'", "source gone");
        // A name that fails ends the entry: no other candidate is tried.
        row("read-only folder", vj, "", "T", "", renameFailed, "read-only");
        // A preview says what the run would say.
        row("read-only folder, previewed", vj, "", "T", "", renameFailed, "read-only", true);
        const QString longExtension = "RJ123456." + QString(246, 'e');
        row("extension too long for any name", longExtension, "", "T", "", renameFailed,
            "off=maker,date,age");
        row("extension too long for any name, previewed", longExtension, "", "T", "", renameFailed,
            "off=maker,date,age", true);
    }

    void outcome()
    {
        QFETCH(QString, setup);
        const QString page = setup.contains('=') ? QString() : setup;
        QFETCH(QStringList, sources);
        QFETCH(QStringList, existing);
        QFETCH(QString, title);
        QFETCH(QStringList, names);
        QFETCH(QStringList, messages);
        QFETCH(bool, preview);
        if (page == "read-only" && geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        // "CHARSET": the page in it, said in the header; "CHARSET meta": said in the page.
        const QByteArray charset = page.section(' ', 0, 0).toLatin1();
        QTextCodec *codec = QTextCodec::codecForName(charset);
        const QString meta = page.endsWith(" meta") ? "<meta charset=\"" + charset + "\">" : "";
        shop.setPage(home,
                     (codec ? codec : QTextCodec::codecForMib(106))
                         ->fromUnicode(pcHtml(title, "RJ123456", meta)),
                     meta.isEmpty() ? "text/html; charset=" + charset : "text/html");
        shop.setPage(TestShop::productPath("home", "ZZ123456"), "<html><body>x</body></html>",
                     "text/html");
        // The first of the two pages of VJ123456 is served as the setup says.
        shop.setPage(soft, pcHtml(title).toUtf8());
        shop.setPage(pro, pcHtml(title).toUtf8());
        const QMap<QString, TestShop::Behaviour> behaviours{
            {"not found", TestShop::NotFound},
            {"silent", TestShop::NeverAnswer},
            {"empty body", TestShop::EmptyBody},
            {"silent, then not found", TestShop::NeverAnswer},
            {"not found, then silent", TestShop::NotFound}};
        shop.setBehaviour(soft, behaviours.value(page, TestShop::Serve));
        if (page.contains(", then "))
            shop.setBehaviour(pro, behaviours.value(page.section(", then ", 1)));
        if (page == "redirect loop")
            shop.setRedirect(soft, soft);
        if (page == "slow")
            shop.setSlow(home, 2000, 10);
        TestShop::Rule endless;
        endless.endless = true;
        if (page == "body without end")
            shop.setRule(soft, endless);
        if (page == "moved") // the catalogue's touch page
            shop.setRedirect(TestShop::productPath("home", "RJ100001"),
                             TestShop::productPath("home-touch", "RJ100001"), 301);
        QTemporaryDir outside;
        for (const QString &name : existing)
            QVERIFY(QFile::link(outside.filePath(name), work->filePath(name)));
        QList<QFileInfo> files;
        for (const QString &name : sources)
            files.append(file(name));
        if (page == "source gone")
            QVERIFY(QFile::remove(files.first().absoluteFilePath()));
        auto expected = snapshot(work->path());
        if (page == "read-only")
            QVERIFY(QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::ExeOwner));

        Run run;
        run.renamer->setTransferTimeout(1500);
        run.renamer->setMaxPageBytes(1024 * 1024);
        run.renamer->setDryRun(preview);
        if (setup.contains('='))
            run.option->storeRenameOption(OptionText::parse(setup));
        const bool ended = run.run(files);
        QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(ended);
        QCOMPARE(run.ends.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i) {
            const QString told = run.ends.at(i).message;
            QVERIFY2(messages.at(i).isEmpty() ? told.isEmpty() : told.contains(messages.at(i)),
                     qPrintable(told));
        }
        QCOMPARE(run.ends.last().status, int(names.isEmpty() ? Entry::Error
                                             : preview       ? Entry::Preview
                                                             : Entry::Done));
        for (int i = 0; i < names.size() && !preview; ++i)
            expected.insert(names.at(i), expected.take(sources.at(i)));
        QCOMPARE(snapshot(work->path()), expected);
        // Qt repeats some requests on a busy machine; without a hop limit it would follow fifty.
        QVERIFY(shop.requests().size() <= 3 * (2 + WebDownloader::MaxRedirects));
    }

    // A page still arriving at the file's deadline ends the file; the next
    // gets the short deadline while the shop stays that slow.
    void slowShop()
    {
        shop.setSlow(soft, 30000, 300);
        Run run;
        run.renamer->setFileDeadline(2000, 200);
        LogCapture log;
        QVERIFY(run.run({file("VJ123456 a.zip"), file("VJ123456 b.zip")}));
        QCOMPARE(run.ends.size(), 2);
        QCOMPARE(run.ends.at(0).message + run.ends.at(1).message, timedOut + timedOut);
        QVERIFY(log.matching("{deadline: ").value(1).endsWith("{deadline: 200 ms}"));
    }

    // A page that crashes the repair, holds it past the file's time, makes it
    // grow without end, or is no XML or nests too deep once repaired costs
    // its own page: its file goes on to its next candidate while time is
    // left, ends with the page's message, and the next file is renamed.
    void hostilePage_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("deadlineMs"); // the file's
        QTest::addColumn<int>("memoryMiB");  // the repair's
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("pagesTried"); // of the hostile file's two candidates
        QTest::newRow("crashes the repair")
            << "<p>" + crashMark << 60000 << 1024 << repairFailed << 2;
        QTest::newRow("50,000 attributes, past the file's time")
            << manyAttributes(50000) << 2000 << 1024 << timedOut << 1;
        QTest::newRow("1,001 attributes on one element")
            << manyAttributes(1001) << 60000 << 1024
            << "'ページが大きすぎるので読み込みを中止しました。'" << 2;
        QTest::newRow("grows without end, past the memory limit")
            << QByteArray("<!D><tr\n<dl<</table>") << 60000 << 200 << repairFailed << 2;
        QTest::newRow("not XML once repaired")
            << QByteArray("<html xmlns=\"http://www.w3.org/1999/xhtml\"><script>a[b[0]]>1</script>")
            << 60000 << 1024 << repairFailed << 2;
        QTest::newRow("600 deep once repaired")
            << QByteArray("<div title=\"/>\">").repeated(600) << 60000 << 1024
            << "'ページの入れ子が深すぎるので読めません。'" << 2;
    }

    void hostilePage()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, deadlineMs);
        QFETCH(int, memoryMiB);
        QFETCH(QString, message);
        QFETCH(int, pagesTried);
#ifdef __SANITIZE_ADDRESS__
        if (memoryMiB < 1024)
            QSKIP("the repair has no memory limit under AddressSanitizer");
#endif
        shop.setPage(soft, page);
        shop.setBehaviour(pro, TestShop::NotFound);
        shop.setPage(home, pcHtml("T", "RJ123456").toUtf8());
        const QList<QFileInfo> files = {file("VJ123456.zip"), file("RJ123456.zip")};
        auto expected = snapshot(work->path());
        Run run;
        run.renamer->setFileDeadline(deadlineMs, deadlineMs);
        run.renamer->setRepairMemoryLimit(memoryMiB);
        QVERIFY(run.run(files));
        QCOMPARE(run.ends.size(), pagesTried + 1);
        const Event hostile = run.ends.value(pagesTried - 1);
        QCOMPARE(hostile.status, int(Entry::Error));
        QCOMPARE(hostile.message, message);
        QCOMPARE(run.ends.last().status, int(Entry::Done));
        expected.insert("T.zip", expected.take("RJ123456.zip"));
        QCOMPARE(snapshot(work->path()), expected);
    }

    // A window closed while a page is being repaired closes at once: the
    // repair (minutes for 200,000 attributes) is given up, the file is kept.
    void abortDuringRepair()
    {
        shop.setPage(home, manyAttributes(200000));
        const QFileInfo source = file("RJ123456.zip");
        const auto expected = snapshot(work->path());
        LogCapture log;
        QElapsedTimer stopping;
        {
            Run run;
            run.renamer->add({source});
            run.renamer->moveToThread(&run.thread);
            run.thread.start();
            QVERIFY(QTest::qWaitFor([&] { return !log.matching("finidhed downlaod.").isEmpty(); },
                                    30000));
            QTest::qWait(500);
            stopping.start();
        }
        QVERIFY2(stopping.elapsed() < 10000, qPrintable(QString::number(stopping.elapsed())));
        QVERIFY(!log.matching("page repair stopped, the renamer stops").isEmpty());
        QCOMPARE(snapshot(work->path()), expected);
    }

    // Without its repair helper the renamer says so once in the log, and
    // every page fails saying so.
    void missingHelper()
    {
        shop.setPage(home, pcHtml("T", "RJ123456").toUtf8());
        const QList<QFileInfo> files = {file("RJ123456.zip")};
        const auto expected = snapshot(work->path());
        RepairProcess::setHelperProgram(work->filePath("zorv-repair"));
        LogCapture log;
        Run run;
        const bool ended = run.run(files);
        RepairProcess::setHelperProgram(TestPaths::repairHelper());
        QVERIFY(ended);
        QCOMPARE(run.ends.last().message,
                 "'ページを修復するプログラム「zorv-repair」がインストールされていません。'");
        QCOMPARE(log.matching("zorv-repair is not installed in " + work->path()).size(), 1);
        QCOMPARE(snapshot(work->path()), expected);
    }

    // The parts of one product share their pages: each is asked for once a run,
    // and the next product of the prefix starts on the category last found.
    void onePageRequestPerProduct_data()
    {
        QTest::addColumn<QString>("category"); // where the pages are; empty: nowhere
        QTest::addColumn<QString>("otherId");  // a second five-part product, or none
        QTest::addColumn<bool>("serverError"); // on every page, instead of "not found"
        QTest::addColumn<int>("requests");
        QTest::addRow("found on the second category") << "maniax" << QString() << false << 2;
        QTest::addRow("found nowhere") << QString() << QString() << false << 6;
        // Only a definite "not found" is remembered: each part asks again.
        QTest::addRow("server error everywhere") << QString() << QString() << true << 30;
        QTest::addRow("same prefix starts on that category")
            << "maniax" << QString("RJ654321") << false << 3;
    }

    void onePageRequestPerProduct()
    {
        QFETCH(QString, category);
        QFETCH(QString, otherId);
        QFETCH(bool, serverError);
        QFETCH(int, requests);
        for (const char *every :
             {"home", "maniax", "girls", "home-touch", "maniax-touch", "girls-touch"})
            shop.setBehaviour(TestShop::productPath(every, "RJ123456"),
                              serverError ? TestShop::ServerError : TestShop::Serve);
        QList<QFileInfo> files;
        for (const QString &id : QStringList{"RJ123456", otherId}) {
            if (!category.isEmpty() && !id.isEmpty())
                shop.setPage(TestShop::productPath(category, id), pcHtml("T", id).toUtf8());
            for (int part = 1; part <= 5 && !id.isEmpty(); ++part)
                files << file(QStringLiteral("%1.part%2.rar").arg(id).arg(part));
        }
        Run run;
        QVERIFY(run.run(files));
        QCOMPARE(shop.requests().size(), requests);
        QCOMPARE(QDir(work->path()).entryList({"T*.part*.rar"}).size(),
                 category.isEmpty() ? 0 : files.size());
    }

    // A busy shop is asked again after the wait it names, capped, at most
    // twice; the last note names the busy shop over a later "not found".
    void busyOrFailingPage_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("retryAfter"); // "date", "rfc850": an HTTP date 4 s ahead
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("minGapMs");    // between the first two requests
        QTest::addColumn<QString>("message"); // a part of the last one; empty: Done
        QTest::addRow("HTTP date") << 503 << "date" << 2 << 2500 << QString();
        QTest::addRow("seconds") << 503 << "2" << 2 << 1500 << QString();
        QTest::addRow("RFC 850 date, two-digit year") << 503 << "rfc850" << 2 << 2500 << QString();
        QTest::addRow("long wait capped") << 429 << "3600" << 2 << 3900 << QString();
        QTest::addRow("busy thrice, named over a later 404")
            << 503 << "0" << 4 << 0 << "ショップが混み合っています (503)";
    }

    void busyOrFailingPage()
    {
        QFETCH(int, status);
        QFETCH(QString, retryAfter);
        QFETCH(int, requests);
        QFETCH(int, minGapMs);
        QFETCH(QString, message);
        shop.setPage(soft, pcHtml("T").toUtf8());
        TestShop::Rule rule;
        rule.status = status;
        rule.times = message.isEmpty() ? 1 : -1; // busy once, or always
        if (retryAfter == "date" || retryAfter == "rfc850")
            retryAfter =
                QLocale::c().toString(QDateTime::currentDateTimeUtc().addSecs(4),
                                      retryAfter == "date" ? "ddd, dd MMM yyyy hh:mm:ss 'GMT'"
                                                           : "dddd, dd-MMM-yy hh:mm:ss 'GMT'");
        rule.headers.append({"Retry-After", retryAfter.toLatin1()});
        shop.setRule(soft, rule);
        Run run;
        run.renamer->setRetryWaitCap(4000);
        QVERIFY(run.run({file("VJ123456.zip")}));
        const QList<TestShop::LoggedRequest> log = shop.requests();
        QCOMPARE(log.size(), requests);
        QVERIFY(log.at(1).receivedMs - log.at(0).answeredMs >= minGapMs);
        QCOMPARE(run.started.load(), message.isEmpty() ? 1 : 2); // retries add no row
        QCOMPARE(run.ends.last().status, int(message.isEmpty() ? Entry::Done : Entry::Error));
        QVERIFY2(run.ends.last().message.contains(message), qPrintable(run.ends.last().message));
    }

    // The pages of a run outlive it on disk: the next run asks the shop only
    // for what expired, failed otherwise, was read by another plug-in version
    // or is refreshed, and offline for nothing.
    void pageCache_data()
    {
        QTest::addColumn<int>("softAnswer");   // VJ123456's first page, in both runs; "pro" serves
        QTest::addColumn<int>("hoursLater");   // the second run's clock
        QTest::addColumn<int>("mode");         // of the second run
        QTest::addColumn<bool>("olderPlugin"); // the kept pages read by an older plug-in version
        QTest::addColumn<int>("titleLength");  // of VJ123456's title, in characters
        QTest::addColumn<int>("requests");     // in the second run
        QTest::addColumn<QString>("message");  // a part of its last one; empty: Done
        const int serve = TestShop::Serve, notFound = TestShop::NotFound;
        const int use = PageMemory::UseCache, refresh = PageMemory::Refresh;
        const QString offline = "'ページがキャッシュにありません";
        QTest::addRow("page within 30 days") << serve << 29 * 24 << use << false << 1 << 0 << "";
        QTest::addRow("page after 30 days") << serve << 30 * 24 + 1 << use << false << 1 << 1 << "";
        QTest::addRow("not found within a day") << notFound << 23 << use << false << 1 << 0 << "";
        QTest::addRow("not found after a day") << notFound << 25 << use << false << 1 << 1 << "";
        QTest::addRow("server error")
            << int(TestShop::ServerError) << 0 << use << false << 1 << 1 << "";
        QTest::addRow("refresh") << serve << 0 << refresh << false << 1 << 1 << "";
        QTest::addRow("offline, expired")
            << serve << 31 * 24 << int(PageMemory::Offline) << false << 1 << 0 << offline;
        // Kept as far as a name could show it, not skipped as too large to keep.
        QTest::addRow("title of 100,000 characters")
            << serve << 0 << use << false << 100000 << 0 << "";
        QTest::addRow("older plug-in version") << serve << 0 << use << true << 1 << 1 << "";
    }

    void pageCache()
    {
        QFETCH(int, softAnswer);
        QFETCH(int, hoursLater);
        QFETCH(int, mode);
        QFETCH(bool, olderPlugin);
        QFETCH(int, titleLength);
        QFETCH(int, requests);
        QFETCH(QString, message);
        const QString path = work->filePath("cache/pages.sqlite");
        shop.setPage(soft, pcHtml(QString(titleLength, u'星')).toUtf8());
        shop.setPage(pro, pcHtml("T").toUtf8());
        shop.setBehaviour(soft, TestShop::Behaviour(softAnswer));
        {
            Run first;
            first.renamer->setPageCache(QSharedPointer<PageCache>::create(path));
            QVERIFY(first.run({file("VJ123456 a.zip")}));
        }
        if (olderPlugin) {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "older");
            database.setDatabaseName(path);
            QVERIFY(database.open());
            QVERIFY(QSqlQuery(database).exec("UPDATE pages SET plugin_version = '0.9'"));
        }
        QSqlDatabase::removeDatabase("older");
        auto cache = QSharedPointer<PageCache>::create(path);
        cache->setClock([=] { return QDateTime::currentDateTimeUtc().addSecs(hoursLater * 3600); });
        shop.clearRequests();
        Run second;
        second.renamer->setPageCache(cache, PageMemory::CacheMode(mode));
        QVERIFY(second.run({file("VJ123456 b.zip")}));
        QCOMPARE(shop.requests().size(), requests);
        QCOMPARE(second.ends.last().status, int(message.isEmpty() ? Entry::Done : Entry::Error));
        QVERIFY2(second.ends.last().message.contains(message),
                 qPrintable(second.ends.last().message));
    }

    // No row of the cache grows past its bound, whatever a plug-in read.
    void oversizedPageNotKept()
    {
        PageCache cache(work->filePath("pages.sqlite"));
        PluginInfo plugin;
        plugin.name = plugin.version = "P";
        PageMemory::Page page;
        page.found = true;
        page.fetchedMs = cache.nowMs();
        cache.store(QUrl("http://a/"), plugin, page);
        page.work.makers = QVector<QString>(64, QString(1024, u'星')).toList();
        cache.store(QUrl("http://b/"), plugin, page);
        QVERIFY(cache.lookup(QUrl("http://a/"), plugin, &page));
        QVERIFY(!cache.lookup(QUrl("http://b/"), plugin, &page));
    }

    // A renamer that lives for days (a window left open, a watch) asks again
    // for a page its memory holds past the page's lifetime.
    void longLivedRenamerAsksAgain_data()
    {
        QTest::addColumn<bool>("served");    // VJ123456's pages: the product, else "not found"
        QTest::addColumn<int>("hoursLater"); // when the second file comes
        QTest::addColumn<int>("requests");   // for both files
        QTest::addRow("product within 30 days") << true << 29 * 24 << 1;
        QTest::addRow("product after 30 days") << true << 30 * 24 + 1 << 2;
        QTest::addRow("not found after a day") << false << 25 << 4;
    }

    void longLivedRenamerAsksAgain()
    {
        QFETCH(bool, served);
        QFETCH(int, hoursLater);
        QFETCH(int, requests);
        if (served)
            shop.setPage(soft, pcHtml("T").toUtf8());
        std::atomic<int> hours{0};
        auto cache = QSharedPointer<PageCache>::create(work->filePath("pages.sqlite"));
        cache->setClock([&] { return QDateTime::currentDateTimeUtc().addSecs(hours * 3600); });
        Run run;
        run.renamer->setPageCache(cache);
        QVERIFY(run.run({file("VJ123456 a.zip")}));
        hours = hoursLater;
        run.renamer->add({file("VJ123456 b.zip")});
        QVERIFY(QTest::qWaitFor([&] { return run.allFinished > 1; }, 30000));
        QCOMPARE(shop.requests().size(), requests);
    }

    // A dry run that lives on (a watch with --dry-run) forgets a file once it
    // is reported: the same name downloaded again is previewed as before.
    void previewOfAFileThatComesAgain()
    {
        shop.setPage(home, pcHtml("T", "RJ123456").toUtf8());
        Run run;
        run.renamer->setDryRun(true);
        QVERIFY(run.run({file("RJ123456.zip")}));
        run.renamer->forgetFinished();
        run.renamer->add({file("RJ123456.zip")});
        QVERIFY(QTest::qWaitFor([&] { return run.allFinished > 1; }, 30000));
        QCOMPARE(run.ends.last().status, int(Entry::Preview));
    }

    // A damaged cache or one another program holds costs no file: the run
    // goes on and says so once; a damaged file is set aside, and a cache
    // held for a while serves again once it is free.
    void unusableCache_data()
    {
        QTest::addColumn<bool>("damaged"); // else another program writes it during the first file
        QTest::addColumn<int>("kept");     // pages the cache holds after the second file
        QTest::addRow("damaged") << true << 2;
        QTest::addRow("locked for a while") << false << 1;
    }

    void unusableCache()
    {
        QFETCH(bool, damaged);
        QFETCH(int, kept);
        const QString path = work->filePath("pages.sqlite");
        shop.setPage(home, pcHtml("T", "RJ123456").toUtf8());
        shop.setPage(soft, pcHtml("T").toUtf8());
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(path);
        QFile garbage(path);
        if (damaged)
            QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'x')));
        else
            QVERIFY(other.open() && QSqlQuery(other).exec("PRAGMA journal_mode=WAL") &&
                    QSqlQuery(other).exec("BEGIN IMMEDIATE"));
        garbage.close();
        LogCapture log;
        {
            Run run;
            run.renamer->setPageCache(QSharedPointer<PageCache>::create(path));
            QVERIFY(run.run({file("RJ123456.zip")}));
            QVERIFY(damaged || QSqlQuery(other).exec("ROLLBACK"));
            run.renamer->add({file("VJ123456.zip")});
            QVERIFY(QTest::qWaitFor([&] { return run.allFinished > 1; }, 30000));
            QCOMPARE(run.ends.last().status, int(Entry::Done));
        }
        QCOMPARE(log.matching("the page cache").size(), 1);
        QCOMPARE(QFile::exists(path + ".damaged"), damaged);
        QVERIFY(other.isOpen() || other.open());
        QSqlQuery pages(other);
        const bool counted = pages.exec("SELECT COUNT(*) FROM pages") && pages.next();
        QCOMPARE(counted ? pages.value(0).toInt() : 0, kept);
        pages = QSqlQuery();
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
    }
};

ZORV_TEST_GUILESS_MAIN(TestRenamer)
#include "tst_renamer.moc"
