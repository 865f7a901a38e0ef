// The renamer on its own thread against the local shop: what the user sees of
// each file (state, new name, comment), and that no file's content is lost.
#include "OptionText.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"
#include "renamer/Renamer.h"
#include "renamer/WebDownloader.h"

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
const QString sourceMissing = QStringLiteral("'ソースファイルが見つかりません。'");
const QString renameFailed = QStringLiteral("'リネームに失敗しました。'");
const QString timedOut = QStringLiteral("'ショップが時間内に応答しませんでした。'");
const QString home = TestShop::productPath("home", "RJ123456");
// VJ IDs have two candidate pages: "soft", then "pro".
const QString soft = TestShop::productPath("soft", "VJ123456");
const QString pro = TestShop::productPath("pro", "VJ123456");

QString pcHtml(const QString &title, const QString &id = "VJ123456", const QString &head = "")
{
    return QStringLiteral(
               "<!DOCTYPE html><html><head>%3<title>作品ページ</title></head><body>"
               "<h1 id=\"work_name\">%1</h1>"
               "<table id=\"work_maker\"><tr><td><a href=\"/m?a=1&b=2\">作者</a></td></tr></table>"
               "<table id=\"work_outline\"><tr><td><a href=\"/d\">2014年1月5日</a></td></tr></table>"
               "<dl class=\"work_spec_list\"><dt>ID</dt><dd>%2</dd></dl></body></html>")
        .arg(title.toHtmlEscaped(), id, head);
}

// The name a page of pcHtml gets with the default options.
QString defaultName(const QString &title, const QString &id = QStringLiteral("RJ123456"))
{
    return QStringLiteral("[作者] %1 [%2] [全年齢] [2014-1-5] ").arg(title, id);
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
    QString newName, message;
};

struct Run
{
    Run()
    {
        QObject::connect(
            renamer, &Renamer::finished, renamer,
            [this](EntryPtr entry) {
                QMutexLocker lock(&mutex);
                ends.append({entry->status(), entry->newName(), entry->message()});
            },
            Qt::DirectConnection);
        QObject::connect(
            renamer, &Renamer::allFinished, renamer, [this] { ++allFinished; },
            Qt::DirectConnection);
        QObject::connect(&thread, &QThread::started, renamer, &Renamer::doWork);
    }
    ~Run() { renamer->abort(), thread.quit(), thread.wait(), delete renamer; }
    bool run(const QList<QFileInfo> &files)
    {
        renamer->add(files);
        renamer->moveToThread(&thread);
        thread.start();
        return QTest::qWaitFor([this] { return allFinished > 0; }, 30000);
    }
    QList<Event> finished() const { return QMutexLocker(&mutex), ends; }

    QSharedPointer<Option> option = Option::createDefault();
    Renamer *renamer = new Renamer(option);
    QThread thread;
    mutable QMutex mutex;
    QList<Event> ends;
    std::atomic<int> allFinished{0};
};

} // namespace

class TestRenamer : public QObject
{
    Q_OBJECT

    QTemporaryDir pluginDir;
    PluginManager pluginManager;
    QScopedPointer<TestShop> shop;
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
        QVERIFY(
            QFile::copy(QDir(TestPaths::pluginBuildDir()).filePath(TestPaths::storePluginFile()),
                        pluginDir.filePath(TestPaths::storePluginFile())));
        QVERIFY(QFile::copy(QStringLiteral(ZORV_ODD_PLUGIN_FILE),
                            pluginDir.filePath(QStringLiteral("OddStorePlugin.so"))));
        QVERIFY(pluginManager.load(pluginDir.path()));
        shop.reset(new TestShop);
        QVERIFY2(shop->isListening(), qPrintable(shop->errorString()));
        shop->addCatalogue(TestPaths::dataFile("pages"));
        // The plug-in's real URLs reach the local shop through the proxy setting.
        qputenv("http_proxy", shop->proxyUrl().toLatin1());
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }

    void init()
    {
        work.reset(new QTemporaryDir);
        shop->clearPages();
        shop->clearBehaviours();
        shop->clearRequests();
    }

    // Files that get their names, with the notes that say what was changed.
    void notes_data()
    {
        QTest::addColumn<QString>("setup"); // rename options ("x=y ..."), or how the page is served
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("names"); // of the sources, in order
        QTest::addColumn<QStringList>("messages");
        // Lists have "|" between items; "T." and "T (" begin the default name of title T.
        const auto row = [](const char *name, const QString &sources, const QString &existing,
                            const QString &title, const QString &names, const QString &messages,
                            const QString &setup = "") {
            const auto list = [](QString text) {
                return text.replace("T.", defaultName("T") + '.')
                    .replace("T (", defaultName("T") + " (")
                    .split('|', Qt::SkipEmptyParts);
            };
            QTest::newRow(name) << setup << list(sources) << list(existing) << title << list(names)
                                << messages.split('|');
        };
        const QString zip = "RJ123456.zip", star = "星降る夜",
                      starName = defaultName(star) + ".zip";
        row("plain", zip, "", star, starName, "");
        row("forbidden characters", zip, "", "A/B:C*?", defaultName("A／B：C＊？") + ".zip",
            invalidNote);
        row("taken name gets (1)", zip, "T.zip", "T", "T (1).zip", duplicateNote);
        row("(2) when (1) is taken too", zip, "T.zip|T (1).zip", "T", "T (2).zip", duplicateNote);
        row("name taken by another extension is free", zip, "T.rar", "T", "T.zip", "");
        row("file already bears the name", "T.zip", "", "T", "T (1).zip", duplicateNote);
        row("both notes in order", zip, defaultName("A＜B") + ".zip", "A<B",
            defaultName("A＜B") + " (1).zip", invalidNote + duplicateNote);
        row("two files, one new name", "RJ123456 first.zip|second RJ123456.zip", "", "T",
            "T.zip|T (1).zip", "|" + duplicateNote);
        row("no suffix, no trailing dot", "RJ123456", "", "T", defaultName("T"), "");
        row("double extension keeps the last part", "rj123456.tar.gz", "", "T", "T.gz", "");
        row("suffix kept as it is", "RJ123456.ZIP", "", "T", "T.ZIP", "");
        row("options changed before the run", zip, "", "T", "[作者]T[全年齢][2014-1-5].zip", "",
            "space=0 off=id");
        row("charset in the Content-Type header", zip, "", star, starName, "", "Shift_JIS");
        row("charset in a meta tag", zip, "", star, starName, "", "EUC-JP meta");
        row("unknown declared charset: the plug-in's", zip, "", star, starName, "", "x-unheard-of");
        row("slow page, never silent for long", zip, "", star, starName, "", "slow");
        row("moved to the touch page", "RJ100001.zip", "", "",
            "[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] .zip", "", "moved");
    }

    void notes()
    {
        QFETCH(QString, setup);
        const QString page = setup.contains('=') ? QString() : setup;
        QFETCH(QStringList, sources);
        QFETCH(QStringList, existing);
        QFETCH(QString, title);
        QFETCH(QStringList, names);
        QFETCH(QStringList, messages);
        // "CHARSET": the page in it, said in the header; "CHARSET meta": said in the page.
        const QByteArray charset = page.section(' ', 0, 0).toLatin1();
        QTextCodec *codec = QTextCodec::codecForName(charset);
        const QString meta = page.endsWith(" meta") ? "<meta charset=\"" + charset + "\">" : "";
        shop->setPage(home,
                      (codec ? codec : QTextCodec::codecForMib(106))
                          ->fromUnicode(pcHtml(title, "RJ123456", meta)),
                      meta.isEmpty() ? "text/html; charset=" + charset : "text/html");
        if (page == "slow")
            shop->setSlow(home, 2000, 10);
        if (page == "moved") // the catalogue's touch page
            shop->setRedirect(TestShop::productPath("home", "RJ100001"),
                              TestShop::productPath("home-touch", "RJ100001"), 301);
        for (const QString &name : existing)
            file(name);
        QList<QFileInfo> files;
        for (const QString &name : sources)
            files.append(file(name));
        auto expected = snapshot(work->path());
        Run run;
        run.renamer->setTransferTimeout(1000);
        run.option->storeRenameOption(OptionText::parse(setup.contains('=') ? setup : ""));
        QVERIFY(run.run(files));
        QCOMPARE(run.finished().size(), sources.size());
        for (int i = 0; i < sources.size(); ++i) {
            QCOMPARE(run.finished().at(i).status, int(Entry::Done));
            QCOMPARE(run.finished().at(i).newName, names.at(i));
            QCOMPARE(run.finished().at(i).message, messages.at(i));
            expected.insert(names.at(i), expected.take(sources.at(i)));
        }
        QCOMPARE(snapshot(work->path()), expected);
    }

    // A failed page costs only itself: the next candidate is tried. Entries
    // that give up say why in their last message. No file's content is lost.
    void failedPages_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("pagesTried");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("message"); // the first one, or the last when not done
        const QString tooLarge = "'ページが大きすぎるので読み込みを中止しました。'";
        const auto row = [](const char *scenario, int pages, bool done, const QString &message) {
            QTest::newRow(scenario) << scenario << pages << done << message;
        };
        row("not found", 2, true, "Not Found");
        row("server error", 2, true, "Internal Server Error");
        row("silent", 2, true, timedOut);
        row("closed mid-body", 2, true, "closed");
        row("empty body", 2, true,
            "'タイトルがみつかりませんでした''IDがみつかりませんでした''日付がみつかりませんでした'"
            "'作者がみつかりませんでした'");
        row("redirect loop", 2, true, "Too many redirects");
        row("body without end", 2, true, tooLarge);
        row("gzip body inflating past the cap", 2, true, tooLarge);
        row("30,000 nested elements", 2, true, "'ページの入れ子が深すぎるので読めません。'");
        row("every candidate fails", 2, false, "Internal Server Error");
        row("connection refused", 2, false, "refused");
        row("trickle past the file's deadline", 1, false, timedOut);
        row("source gone", 1, false, sourceMissing);
        // A rename that fails ends the entry: no other candidate is tried.
        row("name too long for the file system", 1, false, renameFailed);
        row("read-only folder", 1, false, renameFailed);
        row("unknown charset", 1, false, "'文字コード「x-no-such-charset」に対応していません。'");
    }

    void failedPages()
    {
        QFETCH(QString, scenario);
        const QString fileName = scenario == "unknown charset" ? "ZZ123456.zip" : "VJ123456.zip";
        QFETCH(int, pagesTried);
        QFETCH(bool, done);
        QFETCH(QString, message);
        if (scenario == "read-only folder" && geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        QByteArray page =
            pcHtml(scenario.startsWith("name too long") ? QString(300, 'x') : "T").toUtf8();
        if (scenario.startsWith("30,000"))
            page = "<html><body>" + QByteArray("<div>").repeated(30000) + "x";
        shop->setPage(soft, page);
        shop->setPage(pro, pcHtml("T").toUtf8());
        shop->setPage(TestShop::productPath("home", "ZZ123456"), "<html><body>x</body></html>",
                      "text/html");
        const QMap<QString, TestShop::Behaviour> behaviours{
            {"not found", TestShop::NotFound},   {"server error", TestShop::ServerError},
            {"silent", TestShop::NeverAnswer},   {"closed mid-body", TestShop::CloseMidBody},
            {"empty body", TestShop::EmptyBody}, {"every candidate fails", TestShop::ServerError}};
        shop->setBehaviour(soft, behaviours.value(scenario, TestShop::Serve));
        if (scenario == "every candidate fails")
            shop->setBehaviour(pro, TestShop::ServerError);
        if (scenario == "redirect loop")
            shop->setRedirect(soft, soft);
        if (scenario.startsWith("trickle"))
            shop->setSlow(soft, 30000, 300);
        TestShop::Rule rule;
        rule.endless = scenario == "body without end";
        rule.gzip = scenario.startsWith("gzip");
        rule.fillerBytes = rule.gzip ? 4 * 1024 * 1024 : -1;
        if (rule.endless || rule.gzip)
            shop->setRule(soft, rule);
        if (scenario == "connection refused") // nothing listens on port 1
            qputenv("http_proxy", "http://127.0.0.1:1");
        const QFileInfo source = file(fileName);
        auto expected = snapshot(work->path());
        if (scenario == "source gone")
            QVERIFY(QFile::remove(source.absoluteFilePath()));
        if (scenario == "read-only folder")
            QVERIFY(QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::ExeOwner));

        Run run;
        run.renamer->setTransferTimeout(1500);
        run.renamer->setMaxPageBytes(1024 * 1024);
        if (scenario.startsWith("trickle"))
            run.renamer->setFileDeadline(1500, 1500);
        const bool ended = run.run({source});
        QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("http_proxy", shop->proxyUrl().toLatin1());
        QVERIFY(ended);
        const QList<Event> finished = run.finished();
        QCOMPARE(finished.size(), pagesTried);
        QCOMPARE(finished.last().status, int(done ? Entry::Done : Entry::Error));
        const QString told = done ? finished.first().message : finished.last().message;
        QVERIFY2(!told.isEmpty() && told.contains(message, Qt::CaseInsensitive), qPrintable(told));
        if (done)
            expected.insert(defaultName("T", "VJ123456") + ".zip", expected.take(fileName));
        if (scenario != "source gone")
            QCOMPARE(snapshot(work->path()), expected);
        // Qt repeats some requests on a busy machine; without a hop limit it would follow fifty.
        QVERIFY(shop->requests().size() <= 3 * (2 + WebDownloader::MaxRedirects));
    }

    // After a file ran out of time, the next waits less while the shop stays silent.
    void silentShop()
    {
        shop->setBehaviour(soft, TestShop::NeverAnswer);
        shop->setBehaviour(pro, TestShop::NeverAnswer);
        Run run;
        run.renamer->setFileDeadline(5000, 200);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(run.run({file("VJ123456 a.zip"), file("VJ123456 b.zip")}));
        const QList<Event> finished = run.finished();
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).message + finished.at(1).message, timedOut + timedOut);
        // The full deadline again would make it at least 10 s.
        QVERIFY2(timer.elapsed() < 9000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestRenamer)
#include "tst_renamer.moc"
