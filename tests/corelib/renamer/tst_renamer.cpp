// The renamer on its own thread against the local shop: what the user sees of
// each file (state, new name, comment), and that no file's content is lost.
#include "OptionText.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"
#include "renamer/Renamer.h"
#include "renamer/WebDownloader.h"

#include <QCryptographicHash>
#include <QTcpServer>
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

// The name a page made by pcHtml gets with the default options.
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
            files.insert(info.fileName(),
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

// How an entry finished a page, taken on the worker thread as it was emitted.
struct Event
{
    int status;
    QString newName, message;
    qint64 ms;
};

// One renamer on its own thread, as the main window runs it.
struct Run
{
    Run()
    {
        clock.start();
        QObject::connect(
            renamer, &Renamer::finished, renamer,
            [this](EntryPtr entry) {
                QMutexLocker lock(&mutex);
                ends.append({entry->status(), entry->newName(), entry->message(), clock.elapsed()});
            },
            Qt::DirectConnection);
        QObject::connect(
            renamer, &Renamer::allFinished, renamer, [this] { ++allFinished; },
            Qt::DirectConnection);
        QObject::connect(&thread, &QThread::started, renamer, &Renamer::doWork);
    }
    ~Run()
    {
        renamer->abort();
        thread.quit();
        thread.wait();
        delete renamer;
    }
    // Runs the files to the end.
    bool run(const QList<QFileInfo> &files)
    {
        renamer->add(files);
        renamer->moveToThread(&thread);
        thread.start();
        return QTest::qWaitFor([this] { return allFinished > 0; }, 30000);
    }
    QList<Event> finished() const
    {
        QMutexLocker lock(&mutex);
        return ends;
    }

    QSharedPointer<Option> option = Option::createDefault();
    Renamer *renamer = new Renamer(option);
    QThread thread;
    mutable QMutex mutex;
    QList<Event> ends;
    std::atomic<int> allFinished{0};
    QElapsedTimer clock;
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
        if (!out.open(QIODevice::WriteOnly) || out.write("content of " + name.toUtf8()) <= 0)
            qFatal("cannot write %s", qPrintable(out.fileName()));
        return QFileInfo(out.fileName());
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
        QTest::addColumn<QString>("page"); // how the shop serves it
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("names"); // of the sources, in order
        QTest::addColumn<QStringList>("messages");
        // Lists have "|" between their items; "T." and "T (" stand for the
        // name a page of title T gets with the default options.
        const auto row = [](const char *name, const QString &sources, const QString &existing,
                            const QString &title, const QString &names, const QString &messages,
                            const QString &page = "", const QString &options = "") {
            const auto list = [](QString text) {
                return text.replace("T.", defaultName("T") + '.')
                    .replace("T (", defaultName("T") + " (")
                    .split('|', Qt::SkipEmptyParts);
            };
            QTest::newRow(name) << page << options << list(sources) << list(existing) << title
                                << list(names) << messages.split('|');
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
        row("options changed before the run", zip, "", "T", "[作者]T[全年齢][2014-1-5].zip", "", "",
            "space=0 off=id");
        row("charset in the Content-Type header", zip, "", star, starName, "", "Shift_JIS");
        row("charset in a meta tag", zip, "", star, starName, "", "EUC-JP meta");
        row("unknown declared charset: the plug-in's", zip, "", star, starName, "", "x-unheard-of");
        row("slow page, never silent for long", zip, "", star, starName, "", "slow");
        row("moved to the touch page", zip, "", star, starName, "", "moved");
    }

    void notes()
    {
        QFETCH(QString, page);
        QFETCH(QString, options);
        QFETCH(QStringList, sources);
        QFETCH(QStringList, existing);
        QFETCH(QString, title);
        QFETCH(QStringList, names);
        QFETCH(QStringList, messages);
        const QString charset = page.section(' ', 0, 0);
        const QString meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">";
        QTextCodec *codec = QTextCodec::codecForName(charset.toLatin1());
        shop->setPage(home,
                      (codec ? codec : QTextCodec::codecForName("UTF-8"))
                          ->fromUnicode(pcHtml(title, "RJ123456",
                                               page.endsWith(" meta") ? meta.arg(charset) : "")),
                      page.endsWith(" meta") ? "text/html"
                                             : "text/html; charset=" + charset.toLatin1());
        if (page == "slow")
            shop->setSlow(home, 2000, 10);
        if (page == "moved") {
            const QString touch = TestShop::productPath("home-touch", "RJ123456");
            shop->setPage(touch, QStringLiteral("<html><body><section id=\"work_header\"><h1><span "
                                                "itemprop=\"name\">%1</span></h1></section>"
                                                "<dl id=\"maker_name\"><dd><a>作者</a></dd></dl>"
                                                "<section id=\"work_outline\"><a>2014年1月5日</a>"
                                                "</section><table class=\"work_spec_table\"><tr>"
                                                "<td>RJ123456</td></tr></table></body></html>")
                                     .arg(title)
                                     .toUtf8());
            shop->setRedirect(home, touch, 301);
        }
        for (const QString &name : existing)
            file(name);
        QList<QFileInfo> files;
        for (const QString &name : sources)
            files.append(file(name));
        auto expected = snapshot(work->path());
        Run run;
        run.renamer->setTransferTimeout(1000);
        RenameOption changed = run.option->copyRenameOption();
        OptionText::apply(changed, options);
        run.option->storeRenameOption(changed);
        QVERIFY(run.run(files));
        QCOMPARE(run.finished().size(), sources.size());
        for (int i = 0; i < sources.size(); ++i) {
            QCOMPARE(run.finished().at(i).status, int(Entry::Done));
            QCOMPARE(run.finished().at(i).newName, names.at(i));
            QCOMPARE(run.finished().at(i).message, messages.at(i));
            expected.insert(names.at(i), expected.take(sources.at(i)));
        }
        QCOMPARE(snapshot(work->path()), expected);
        int total = -1, pending = -1, succeeded = -1;
        run.renamer->counts(&total, &pending, &succeeded);
        QCOMPARE(QList<int>({total, pending, succeeded}),
                 QList<int>({int(sources.size()), 0, int(sources.size())}));
        // A plain GET of the plug-in's URL, sent to the proxy in absolute form.
        QCOMPARE(shop->requests().first().target,
                 TestShop::productUrl("home", "RJ123456").toLatin1());
    }

    // A failed page costs only itself: the next candidate is tried. Entries
    // that give up say why in their last message. No file's content is lost.
    void failedPages_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("pagesTried");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("message"); // the first one, or the last when not done
        const QString vj = "VJ123456.zip",
                      tooLarge = "'ページが大きすぎるので読み込みを中止しました。'";
        const auto row = [&](const char *scenario, int pages, bool done, const QString &message) {
            QTest::newRow(scenario) << scenario << vj << pages << done << message;
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
        // A page that trickles is never silent, but the file's time runs out.
        row("trickle past the file's deadline", 1, false, timedOut);
        row("source gone", 1, false, sourceMissing);
        // A rename that fails ends the entry: no other candidate is tried.
        row("name too long for the file system", 1, false, renameFailed);
        row("read-only folder", 1, false, renameFailed);
        QTest::newRow("unknown charset") << "unknown charset"
                                         << "ZZ123456.zip" << 1 << false
                                         << "'文字コード「x-no-such-charset」に対応していません。'";
    }

    void failedPages()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, fileName);
        QFETCH(int, pagesTried);
        QFETCH(bool, done);
        QFETCH(QString, message);
        if (scenario == "read-only folder" && geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        const QByteArray deep = "<html><body>" + QByteArray("<div>").repeated(30000) + "x";
        const bool long_ = scenario.startsWith("name too long");
        shop->setPage(soft, scenario.startsWith("30,000")
                                ? deep
                                : pcHtml(long_ ? QString(300, 'x') : "T").toUtf8());
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
        QTcpServer probe;
        if (scenario == "connection refused") {
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(probe.serverPort()));
            probe.close();
        }
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
        QStringList paths;
        for (const TestShop::LoggedRequest &request : shop->requests())
            paths.append(request.path);
        // Qt repeats some requests on a busy machine; without a hop limit it would follow fifty.
        QVERIFY2(paths.count(soft) <= 3 * (1 + WebDownloader::MaxRedirects),
                 qPrintable(paths.join(' ')));
    }

    // Once a file has run out of time, the next one does not wait as long
    // while the shop stays silent.
    void silentShop()
    {
        shop->setBehaviour(soft, TestShop::NeverAnswer);
        shop->setBehaviour(pro, TestShop::NeverAnswer);
        Run run;
        run.renamer->setFileDeadline(5000, 200);
        QVERIFY(run.run({file("VJ123456 a.zip"), file("VJ123456 b.zip")}));
        const QList<Event> finished = run.finished();
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).message, timedOut);
        QCOMPARE(finished.at(1).message, timedOut);
        // The full deadline again would take at least 5 s.
        const qint64 second = finished.at(1).ms - finished.at(0).ms;
        QVERIFY2(second < 5000, qPrintable(QString::number(second)));
    }

    void abortDuringAStalledDownload()
    {
        shop->setBehaviour(soft, TestShop::NeverAnswer);
        const QFileInfo source = file("VJ123456.zip");
        const auto before = snapshot(work->path());
        Run run; // the default time limits are far longer than this test may take
        run.renamer->add({source});
        run.renamer->moveToThread(&run.thread);
        run.thread.start();
        QTRY_COMPARE_WITH_TIMEOUT(shop->requests().size(), 1, 10000);
        run.renamer->abort();
        // The worker loop returns on its own, so the thread can end.
        run.thread.quit();
        QVERIFY(run.thread.wait(10000));
        QCOMPARE(run.finished().size(), 0);
        int pending = -1;
        run.renamer->counts(nullptr, &pending);
        QCOMPARE(pending, 1);
        QCOMPARE(snapshot(work->path()), before);
    }
};

QTEST_GUILESS_MAIN(TestRenamer)
#include "tst_renamer.moc"
