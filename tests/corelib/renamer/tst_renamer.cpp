#include "LogCapture.h"
#include "OptionText.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"
#include "renamer/Renamer.h"
#include "renamer/WebDownloader.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <unistd.h>

using namespace zorv;

namespace {

const QString invalidNote = QStringLiteral("'無効な文字を修正しました。'");
const QString duplicateNote = QStringLiteral("'ファイルが重複するので名前を修正しました。'");
const QString sourceMissing = QStringLiteral("'ソースファイルが見つかりません。'");
const QString renameFailed = QStringLiteral("'リネームに失敗しました。'");
const QString shortenedNote = QStringLiteral("'名前が長すぎるため短縮しました。'");
const QString alreadyNamedNote = QStringLiteral("'既に変更済みです。'");

QByteArray pcPage(const QString &title, const QString &id,
                  const QString &maker = QStringLiteral("作者"),
                  const QString &date = QStringLiteral("2014年1月5日"))
{
    return QStringLiteral(
               "<!DOCTYPE html><html><head><title>作品ページ</title></head><body>"
               "<h1 id=\"work_name\">%1</h1>"
               "<table id=\"work_maker\"><tr><td><a href=\"/m?a=1&b=2\">%2</a></td></tr></table>"
               "<table id=\"work_outline\"><tr><td><a href=\"/d\">%3</a></td></tr></table>"
               "<dl class=\"work_spec_list\"><dt>ID</dt><dd>%4</dd></dl>"
               "</body></html>")
        .arg(title.toHtmlEscaped(), maker.toHtmlEscaped(), date, id)
        .toUtf8();
}

QByteArray touchPage(const QString &title, const QString &id)
{
    return QStringLiteral(
               "<html><head><title>作品</title></head><body>"
               "<section id=\"work_header\"><h1><span itemprop=\"name\">%1</span></h1></section>"
               "<dl id=\"maker_name\"><dd><a href=\"/m\">作者</a></dd></dl>"
               "<section id=\"work_outline\"><a href=\"/d\">2014年1月5日</a></section>"
               "<table class=\"work_spec_table\"><tr><td>%2</td></tr></table>"
               "</body></html>")
        .arg(title.toHtmlEscaped(), id)
        .toUtf8();
}

// The name a page made by pcPage gets with the default options.
QString defaultName(const QString &title, const QString &id = QStringLiteral("RJ123456"))
{
    return QStringLiteral("[作者] %1 [%2] [全年齢] [2014-1-5] ").arg(title, id);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
}

// Every file's content, by name: the contents must survive every run, only
// the names may change.
QMap<QString, QByteArray> snapshot(const QString &path)
{
    QMap<QString, QByteArray> files;
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &info : entries) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly))
            files.insert(info.fileName(),
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

QList<QByteArray> contents(const QMap<QString, QByteArray> &files)
{
    QList<QByteArray> list = files.values();
    std::sort(list.begin(), list.end());
    return list;
}

// What one signal said, taken on the emitting thread at emission time.
struct Event
{
    QString signal;
    int number = -1;
    int status = -1;
    QString newName;
    QString message;
    QString url;
};

class Recorder : public QObject
{
    Q_OBJECT
public:
    QList<Event> events() const
    {
        QMutexLocker lock(&mutex);
        return list;
    }
    int count(const QString &signal) const
    {
        int n = 0;
        const QList<Event> all = events();
        for (const Event &event : all)
            n += event.signal == signal ? 1 : 0;
        return n;
    }
    QList<Event> of(const QString &signal) const
    {
        QList<Event> result;
        const QList<Event> all = events();
        for (const Event &event : all) {
            if (event.signal == signal)
                result.append(event);
        }
        return result;
    }
    QStringList sequence() const
    {
        QStringList names;
        const QList<Event> all = events();
        for (const Event &event : all)
            names.append(event.signal);
        return names;
    }

public slots:
    void onCreated(QList<EntryPtr> entries)
    {
        if (entries.isEmpty())
            record({QStringLiteral("created"), -1, -1, {}, {}, {}});
        for (const EntryPtr &entry : entries)
            record({QStringLiteral("created"), entry->number(), entry->status(), {}, {}, {}});
    }
    void onStarted(EntryPtr entry, RequestPtr request) { record(make("started", entry, request)); }
    void onFinished(EntryPtr entry, RequestPtr request)
    {
        record(make("finished", entry, request));
    }
    void onAllFinished() { record({QStringLiteral("allFinished"), -1, -1, {}, {}, {}}); }

private:
    static Event make(const char *signal, const EntryPtr &entry, const RequestPtr &request)
    {
        return {QLatin1String(signal), entry->number(),  entry->status(),
                entry->newName(),      entry->message(), request->url().toString()};
    }
    void record(const Event &event)
    {
        QMutexLocker lock(&mutex);
        list.append(event);
    }
    mutable QMutex mutex;
    QList<Event> list;
};

// One renamer on its own thread, as the main window runs it.
class Run
{
public:
    explicit Run(int transferTimeoutMs = Renamer::DefaultTransferTimeoutMs)
        : option(Option::createDefault())
        , renamer(new Renamer(option))
    {
        renamer->setTransferTimeout(transferTimeoutMs);
        const Qt::ConnectionType direct = Qt::DirectConnection;
        QObject::connect(renamer, SIGNAL(created(QList<EntryPtr>)), &recorder,
                         SLOT(onCreated(QList<EntryPtr>)), direct);
        QObject::connect(renamer, SIGNAL(started(EntryPtr, RequestPtr)), &recorder,
                         SLOT(onStarted(EntryPtr, RequestPtr)), direct);
        QObject::connect(renamer, SIGNAL(finished(EntryPtr, RequestPtr)), &recorder,
                         SLOT(onFinished(EntryPtr, RequestPtr)), direct);
        QObject::connect(renamer, SIGNAL(allFinished()), &recorder, SLOT(onAllFinished()), direct);
        QObject::connect(&thread, SIGNAL(started()), renamer, SLOT(doWork()));
    }
    ~Run()
    {
        stop();
        delete renamer;
    }
    void start(const QList<QFileInfo> &files)
    {
        renamer->add(files);
        renamer->moveToThread(&thread);
        thread.start();
    }
    bool waitAllFinished(int times = 1, int timeoutMs = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (recorder.count(QStringLiteral("allFinished")) < times) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return true;
    }
    void stop()
    {
        renamer->abort();
        thread.quit();
        thread.wait();
    }

    QSharedPointer<Option> option;
    Renamer *renamer;
    QThread thread;
    Recorder recorder;
};

} // namespace

class TestRenamer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir pluginDir;
    PluginManager pluginManager;
    TestShop *shop = nullptr;
    QTemporaryDir *work = nullptr;

    QString path(const QString &name) const { return QDir(work->path()).filePath(name); }
    QFileInfo file(const QString &name, const QByteArray &content = QByteArray())
    {
        const QString full = path(name);
        writeFile(full, content.isEmpty() ? ("content of " + name.toUtf8()) : content);
        return QFileInfo(full);
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
        QCOMPARE(pluginManager.plugins().size(), 2);
        shop = new TestShop;
        QVERIFY2(shop->isListening(), qPrintable(shop->errorString()));
        // The plug-in's real URLs reach the local shop through the proxy setting.
        qputenv("http_proxy", shop->proxyUrl().toLatin1());
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }

    void cleanupTestCase() { delete shop; }

    void init()
    {
        work = new QTemporaryDir;
        shop->clearBehaviours();
        shop->clearRequests();
    }

    void cleanup()
    {
        delete work;
        work = nullptr;
        const QStringList ids{"RJ123456", "VJ123456", "ZZ123456"};
        const QStringList categories{"home", "maniax", "girls", "home-touch", "soft", "pro"};
        for (const QString &id : ids) {
            for (const QString &category : categories)
                shop->removePage(TestShop::productPath(category, id));
        }
    }

    void wholeRoad()
    {
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage("題名", "RJ123456"));
        const QFileInfo source = file("RJ123456_archive.zip");
        const auto before = snapshot(work->path());

        Run run;
        run.start({source});
        QVERIFY(run.waitAllFinished());

        const QString expected = defaultName("題名") + ".zip";
        QCOMPARE(run.recorder.sequence(),
                 (QStringList{"created", "started", "finished", "allFinished"}));
        const QList<Event> events = run.recorder.events();
        QCOMPARE(events.at(1).number, events.at(0).number);
        QCOMPARE(events.at(1).status, int(Entry::Processing));
        QCOMPARE(events.at(1).url, TestShop::productUrl("home", "RJ123456"));
        QCOMPARE(events.at(2).number, events.at(0).number);
        QCOMPARE(events.at(2).status, int(Entry::Done));
        QCOMPARE(events.at(2).newName, expected);
        QCOMPARE(events.at(2).message, QString());

        const auto after = snapshot(work->path());
        QCOMPARE(after.keys(), QStringList{expected});
        QCOMPARE(after.value(expected), before.value("RJ123456_archive.zip"));

        int total = -1, pending = -1, succeeded = -1, failed = -1;
        run.renamer->counts(&total, &pending, &succeeded, &failed);
        QCOMPARE(QList<int>({total, pending, succeeded, failed}), QList<int>({1, 0, 1, 0}));
        QCOMPARE(run.renamer->finishedCount(), 1);
        // A plain GET of the plug-in's URL, sent to the proxy in absolute form.
        QCOMPARE(shop->requests().size(), 1);
        QCOMPARE(shop->requests().first().target,
                 TestShop::productUrl("home", "RJ123456").toLatin1());
    }

    void notes_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("expectedMessage");

        const QString plain = defaultName("T");
        QTest::newRow("forbidden characters") << "RJ123456.zip" << QStringList() << "A/B:C*?"
                                              << defaultName("A／B：C＊？") + ".zip" << invalidNote;
        QTest::newRow("taken name gets (1)") << "RJ123456.zip" << QStringList{plain + ".zip"} << "T"
                                             << plain + " (1).zip" << duplicateNote;
        QTest::newRow("(2) when (1) is taken too")
            << "RJ123456.zip" << QStringList{plain + ".zip", plain + " (1).zip"} << "T"
            << plain + " (2).zip" << duplicateNote;
        QTest::newRow("name taken by another extension is free")
            << "RJ123456.zip" << QStringList{plain + ".rar"} << "T" << plain + ".zip" << QString();
        QTest::newRow("file already bears the name")
            << plain + ".zip" << QStringList() << "T" << plain + ".zip" << alreadyNamedNote;
        QTest::newRow("both notes in order")
            << "RJ123456.zip" << QStringList{defaultName("A＜B") + ".zip"} << "A<B"
            << defaultName("A＜B") + " (1).zip" << invalidNote + duplicateNote;
        QTest::newRow("no suffix, no trailing dot")
            << "RJ123456" << QStringList() << "T" << plain << QString();
        QTest::newRow("compound extension kept whole")
            << "rj123456.tar.gz" << QStringList() << "T" << plain + ".tar.gz" << QString();
        QTest::newRow("suffix kept as it is")
            << "RJ123456.ZIP" << QStringList() << "T" << plain + ".ZIP" << QString();
    }

    void notes()
    {
        QFETCH(QString, fileName);
        QFETCH(QStringList, existing);
        QFETCH(QString, title);
        QFETCH(QString, expectedName);
        QFETCH(QString, expectedMessage);
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage(title, "RJ123456"));
        for (const QString &name : existing)
            file(name);
        const QFileInfo source = file(fileName);
        const auto before = snapshot(work->path());

        Run run;
        run.start({source});
        QVERIFY(run.waitAllFinished());
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().status, int(Entry::Done));
        QCOMPARE(finished.first().newName, expectedName);
        QCOMPARE(finished.first().message, expectedMessage);

        const auto after = snapshot(work->path());
        QCOMPARE(contents(after), contents(before));
        QCOMPARE(after.value(expectedName), before.value(fileName));
        for (const QString &name : existing)
            QCOMPARE(after.value(name), before.value(name));
    }

    void twoFilesWithTheSameNewName()
    {
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage("T", "RJ123456"));
        const QFileInfo first = file("RJ123456 first.zip");
        const QFileInfo second = file("second RJ123456.zip");
        const auto before = snapshot(work->path());

        Run run;
        run.start({first, second});
        QVERIFY(run.waitAllFinished());
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).newName, defaultName("T") + ".zip");
        QCOMPARE(finished.at(0).message, QString());
        QCOMPARE(finished.at(1).newName, defaultName("T") + " (1).zip");
        QCOMPARE(finished.at(1).message, duplicateNote);
        const auto after = snapshot(work->path());
        QCOMPARE(after.value(defaultName("T") + ".zip"), before.value("RJ123456 first.zip"));
        QCOMPARE(after.value(defaultName("T") + " (1).zip"), before.value("second RJ123456.zip"));
    }

    void sameFileTwice()
    {
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage("T", "RJ123456"));
        const QFileInfo source = file("RJ123456.zip");
        const auto before = snapshot(work->path());

        Run run;
        run.start({source, source});
        QVERIFY(run.waitAllFinished());
        const QList<Event> created = run.recorder.of("created");
        QCOMPARE(created.size(), 2);
        QVERIFY(created.at(0).number != created.at(1).number);
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).status, int(Entry::Done));
        QCOMPARE(finished.at(1).status, int(Entry::Error));
        QCOMPARE(finished.at(1).message, sourceMissing);
        int succeeded = -1, failed = -1;
        run.renamer->counts(nullptr, nullptr, &succeeded, &failed);
        QCOMPARE(succeeded, 1);
        QCOMPARE(failed, 1);
        QCOMPARE(contents(snapshot(work->path())), contents(before));
    }

    void unrecognisedFilesMakeNoEntry()
    {
        const QFileInfo text = file("notes.txt");
        const QFileInfo noRow = file("VE123456.zip"); // an ID, but no category serves it
        Run run;
        QSignalSpy created(run.renamer, SIGNAL(created(QList<EntryPtr>)));
        run.start({text, noRow});
        QCOMPARE(created.size(), 1);
        QVERIFY(created.first().first().value<QList<EntryPtr>>().isEmpty());
        int total = -1;
        run.renamer->counts(&total);
        QCOMPARE(total, 0);
    }

    void nextCandidateAfterAFailedPage()
    {
        // VJ IDs have two candidate pages: "soft", then "pro".
        shop->setPage(TestShop::productPath("pro", "VJ123456"), pcPage("T", "VJ123456"));
        const QFileInfo source = file("VJ123456.zip");

        Run run;
        run.start({source});
        QVERIFY(run.waitAllFinished());
        QCOMPARE(run.recorder.sequence(), (QStringList{"created", "started", "finished", "started",
                                                       "finished", "allFinished"}));
        const QList<Event> started = run.recorder.of("started");
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(started.at(0).url, TestShop::productUrl("soft", "VJ123456"));
        QCOMPARE(finished.at(0).status, int(Entry::Waiting));
        QVERIFY2(finished.at(0).message.contains("Not Found"), qPrintable(finished.at(0).message));
        QCOMPARE(started.at(1).number, started.at(0).number);
        QCOMPARE(started.at(1).url, TestShop::productUrl("pro", "VJ123456"));
        QCOMPARE(started.at(1).message, QString());
        QCOMPARE(finished.at(1).status, int(Entry::Done));
        QCOMPARE(finished.at(1).newName, defaultName("T", "VJ123456") + ".zip");

        const QList<TestShop::LoggedRequest> requests = shop->requests();
        QCOMPARE(requests.size(), 2);
        const qint64 pause = requests.at(1).receivedMs - requests.at(0).answeredMs;
        QVERIFY2(pause >= 100, qPrintable(QString::number(pause)));
    }

    void failedFirstPage_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("server error") << int(TestShop::ServerError) << "Internal Server Error";
        QTest::newRow("stalled page ends by the time limit") << int(TestShop::NeverAnswer) << "";
        QTest::newRow("connection closed mid-body") << int(TestShop::CloseMidBody) << "";
        QTest::newRow("empty body")
            << int(TestShop::EmptyBody)
            << "'タイトルがみつかりませんでした''IDがみつかりませんでした''日付がみつかりませんでした'"
               "'作者がみつかりませんでした'";
        QTest::newRow("redirect loop") << int(TestShop::Redirect) << "Too many redirects";
    }

    void failedFirstPage()
    {
        QFETCH(int, behaviour);
        QFETCH(QString, messagePart);
        const QString soft = TestShop::productPath("soft", "VJ123456");
        shop->setPage(soft, pcPage("T", "VJ123456"));
        shop->setPage(TestShop::productPath("pro", "VJ123456"), pcPage("T", "VJ123456"));
        if (behaviour == TestShop::Redirect)
            shop->setRedirect(soft, soft);
        else
            shop->setBehaviour(soft, TestShop::Behaviour(behaviour));
        const QFileInfo source = file("VJ123456.zip");
        const auto before = snapshot(work->path());

        Run run(1500);
        run.start({source});
        QVERIFY(run.waitAllFinished());
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(0).status, int(Entry::Waiting));
        QVERIFY(!finished.at(0).message.isEmpty());
        QVERIFY2(finished.at(0).message.contains(messagePart), qPrintable(finished.at(0).message));
        QCOMPARE(finished.at(1).status, int(Entry::Done));
        QCOMPARE(contents(snapshot(work->path())), contents(before));
        if (behaviour == TestShop::Redirect) {
            int hops = 0;
            const QList<TestShop::LoggedRequest> requests = shop->requests();
            for (const TestShop::LoggedRequest &request : requests)
                hops += request.path == soft ? 1 : 0;
            // A busy machine makes Qt repeat some requests along a chain, so
            // the bound is loose; without a hop limit Qt would follow fifty.
            QVERIFY2(hops <= 3 * (1 + WebDownloader::MaxRedirects),
                     qPrintable(QString::number(hops)));
        }
    }

    void slowPageStillArrives()
    {
        const QString soft = TestShop::productPath("soft", "VJ123456");
        shop->setPage(soft, pcPage("T", "VJ123456"));
        shop->setSlow(soft, 2000, 10);
        const QFileInfo source = file("VJ123456.zip");
        // The limit is on silence, not on the whole transfer.
        Run run(1000);
        run.start({source});
        QVERIFY(run.waitAllFinished());
        QCOMPARE(run.recorder.of("finished").size(), 1);
        QCOMPARE(run.recorder.of("finished").first().status, int(Entry::Done));
    }

    void redirectIsFollowedAndTheFinalPageParsed()
    {
        // A PC address that moved to a touch page: the touch reader must get it.
        const QString touch = TestShop::productPath("home-touch", "RJ123456");
        shop->setPage(touch, touchPage("T", "RJ123456"));
        shop->setRedirect(TestShop::productPath("home", "RJ123456"), touch, 301);
        const QFileInfo source = file("RJ123456.zip");
        Run run;
        run.start({source});
        QVERIFY(run.waitAllFinished());
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().status, int(Entry::Done));
        QCOMPARE(finished.first().newName, defaultName("T") + ".zip");
    }

    void sourceMovedAway()
    {
        const QString soft = TestShop::productPath("soft", "VJ123456");
        shop->setPage(soft, pcPage("T", "VJ123456"));
        shop->setPage(TestShop::productPath("pro", "VJ123456"), pcPage("T", "VJ123456"));
        shop->setSlow(soft, 1500, 5);
        const QFileInfo source = file("VJ123456.zip");
        const auto before = snapshot(work->path());
        QTemporaryDir elsewhere;

        Run run;
        run.start({source});
        QTRY_COMPARE_WITH_TIMEOUT(run.recorder.count("started"), 1, 10000);
        QVERIFY(QFile::rename(source.absoluteFilePath(), elsewhere.filePath("VJ123456.zip")));
        QVERIFY(run.waitAllFinished());
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), 1); // no other candidate is tried
        QCOMPARE(finished.first().status, int(Entry::Error));
        QCOMPARE(finished.first().message, sourceMissing);
        QCOMPARE(snapshot(elsewhere.path()).value("VJ123456.zip"), before.value("VJ123456.zip"));
    }

    // Entries that give up: the last message says why, and no file changes.
    void endsInError_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("pagesTried");
        QTest::addColumn<QString>("message"); // the whole message, or "~" and a part of it
        QTest::newRow("every candidate fails") << "server error"
                                               << "VJ123456.zip" << 2 << "~Internal Server Error";
        QTest::newRow("connection refused") << "refused"
                                            << "VJ123456.zip" << 2 << "~refused";
        QTest::newRow("unknown charset")
            << "odd charset"
            << "ZZ123456.zip" << 1 << "'文字コード「x-no-such-charset」に対応していません。'";
        // A rename that fails ends the entry: no other candidate is tried.
        QTest::newRow("read-only folder") << "read-only"
                                          << "VJ123456.zip" << 1 << renameFailed;
    }

    void endsInError()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, fileName);
        QFETCH(int, pagesTried);
        QFETCH(QString, message);
        if (scenario == "read-only" && geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        const QString soft = TestShop::productPath("soft", "VJ123456");
        const QString pro = TestShop::productPath("pro", "VJ123456");
        shop->setPage(soft, pcPage("T", "VJ123456"));
        shop->setPage(pro, pcPage("T", "VJ123456"));
        shop->setPage(TestShop::productPath("home", "ZZ123456"), "<html><body>x</body></html>");
        if (scenario == "server error") {
            shop->removePage(soft);
            shop->setBehaviour(pro, TestShop::ServerError);
        }
        QTcpServer probe;
        if (scenario == "refused") {
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            const quint16 deadPort = probe.serverPort();
            probe.close();
            qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(deadPort));
        }
        const QFileInfo source = file(fileName);
        const auto before = snapshot(work->path());
        if (scenario == "read-only")
            QVERIFY(QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::ExeOwner));

        Run run;
        run.start({source});
        const bool ended = run.waitAllFinished();
        QFile::setPermissions(work->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("http_proxy", shop->proxyUrl().toLatin1());
        QVERIFY(ended);
        const QList<Event> finished = run.recorder.of("finished");
        QCOMPARE(finished.size(), pagesTried);
        for (int i = 0; i + 1 < finished.size(); ++i)
            QCOMPARE(finished.at(i).status, int(Entry::Waiting));
        QCOMPARE(finished.last().status, int(Entry::Error));
        if (message.startsWith(QLatin1Char('~')))
            QVERIFY2(finished.last().message.contains(message.mid(1), Qt::CaseInsensitive),
                     qPrintable(finished.last().message));
        else
            QCOMPARE(finished.last().message, message);
        QCOMPARE(snapshot(work->path()), before);
    }

    void abortWhileIdle()
    {
        Run run;
        LogCapture log;
        run.start({});
        QTRY_VERIFY(run.thread.isRunning());
        QElapsedTimer timer;
        timer.start();
        run.renamer->abort();
        // The worker loop returns on its own; the thread's event loop then
        // waits for quit(), as the main window's shut-down does.
        QTRY_COMPARE_WITH_TIMEOUT(log.matching("renamer thread cleanup.").size(), 1, 10000);
        qInfo("loop ended %lld ms after the abort", timer.elapsed());
        run.renamer->abort(); // a second abort does nothing
        run.stop();
        QCOMPARE(log.matching("renamer thread cleanup.").size(), 1);
    }

    void abortDuringAStalledDownload()
    {
        const QString soft = TestShop::productPath("soft", "VJ123456");
        shop->setBehaviour(soft, TestShop::NeverAnswer);
        const QFileInfo source = file("VJ123456.zip");
        const auto before = snapshot(work->path());
        Run run; // the default time limit is far longer than this test may take
        LogCapture log;
        run.start({source});
        QTRY_COMPARE_WITH_TIMEOUT(run.recorder.count("started"), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shop->requests().size(), 1, 10000);
        run.renamer->abort();
        QTRY_COMPARE_WITH_TIMEOUT(log.matching("renamer thread cleanup.").size(), 1, 10000);
        run.stop();
        QCOMPARE(run.recorder.count("finished"), 0);
        QCOMPARE(run.recorder.count("allFinished"), 0);
        int pending = -1;
        run.renamer->counts(nullptr, &pending);
        QCOMPARE(pending, 1);
        QCOMPARE(snapshot(work->path()), before);
    }

    void optionsChangedBetweenFiles()
    {
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage("T", "RJ123456"));
        const QFileInfo source = file("RJ123456.zip");
        Run run;
        RenameOption changed;
        changed.setSpaceSize(0);
        changed.setIdEnabled(false);
        run.option->storeRenameOption(changed);
        run.start({source});
        QVERIFY(run.waitAllFinished());
        QCOMPARE(run.recorder.of("finished").first().newName,
                 QStringLiteral("[作者]T[全年齢][2014-1-5].zip"));
    }

    // Long titles are cut at a whole character to the folder's limit (which, after the leading
    // letter, falls inside a character); a second run leaves the names it gave as they are.
    void longTitleFitsAndStays_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("3-byte characters") << "a" + QString(100, QChar(0x9577)) << "RJ123456.zip";
        QTest::newRow("4-byte characters")
            << "a" + QString::fromUtf8("\U00020BB7").repeated(80) << "RJ123456.zip";
        QTest::newRow("combining marks")
            << "a" + QString::fromUtf8("e\u0301").repeated(150) << "RJ123456.zip";
        QTest::newRow("a volume of a set") << QString(300, 'x') << "RJ123456.part2.rar";
    }

    void longTitleFitsAndStays()
    {
        QFETCH(QString, title);
        QFETCH(QString, fileName);
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage(title, "RJ123456"));
        const QFileInfo source = file(fileName);
        const QByteArray content = snapshot(work->path()).value(fileName);
        QString newName;
        for (const QString &note : {shortenedNote, alreadyNamedNote}) {
            Run run;
            QSignalSpy created(run.renamer, SIGNAL(created(QList<EntryPtr>)));
            run.start({newName.isEmpty() ? source : QFileInfo(path(newName))});
            QVERIFY(run.waitAllFinished());
            const EntryPtr entry = created.at(0).at(0).value<QList<EntryPtr>>().value(0);
            QCOMPARE(entry->status(), int(Entry::Done));
            QCOMPARE(entry->message(), note);
            QCOMPARE(entry->isAlreadyNamed(), note == alreadyNamedNote); // no rename to count
            newName = entry->newName();
        }
        // Within one character of the usual 255 bytes; on disk as reported (valid UTF-8).
        const int bytes = newName.toUtf8().size();
        QVERIFY2(bytes <= 255 && bytes > 251, qPrintable(newName));
        QCOMPARE(snapshot(work->path()), (QMap<QString, QByteArray>{{newName, content}}));
        const QString suffix =
            "… [RJ123456] [全年齢] [2014-1-5] ." + QFileInfo(fileName).completeSuffix();
        QVERIFY2(newName.endsWith(suffix), qPrintable(newName));
        const QString kept = newName.mid(5, newName.size() - 5 - suffix.size());
        const QChar next = title.at(kept.size());
        QVERIFY(title.startsWith(kept) && !next.isLowSurrogate() && !next.isMark());
    }

    // A name taken after any look at the folder (here a dangling link, which
    // a look that follows links takes for free) is skipped for the next
    // number; a name that comes out empty renames nothing.
    void takenOrEmptyName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("message");
        QTest::addRow("dangling link on the name")
            << "T" << int(Entry::Done) << "T (1).zip" << duplicateNote;
        QTest::addRow("title of a zero-width space only")
            << QStringLiteral("\u200B") << int(Entry::Error) << ""
            << invalidNote + QStringLiteral("'新しい名前が空になりました。'");
    }

    void takenOrEmptyName()
    {
        QFETCH(QString, title);
        QFETCH(int, status);
        QFETCH(QString, newName);
        QFETCH(QString, message);
        shop->setPage(TestShop::productPath("home", "RJ123456"), pcPage(title, "RJ123456"));
        const QFileInfo source = file("RJ123456.zip");
        QTemporaryDir outside;
        const QString pointee = QDir(outside.path()).filePath("stolen.zip");
        QVERIFY(QFile::link(pointee, path("T.zip")));
        const auto before = snapshot(work->path());
        Run run;
        RenameOption titleOnly = OptionText::parse("off=id,maker,date,age space=0");
        run.option->storeRenameOption(titleOnly);
        run.start({source});
        QVERIFY(run.waitAllFinished());
        const Event last = run.recorder.of("finished").last();
        QCOMPARE(last.status, status);
        QCOMPARE(last.message, message);
        const auto after = snapshot(work->path());
        QCOMPARE(contents(after), contents(before));
        if (!newName.isEmpty())
            QCOMPARE(after.value(newName), before.value("RJ123456.zip"));
        QCOMPARE(QFileInfo(path("T.zip")).symLinkTarget(), pointee);
        QVERIFY(!QFileInfo::exists(pointee));
    }

    // The parts of one product share their pages: each is asked for once a run,
    // and the next product of the prefix starts on the category last found.
    void onePageRequestPerProduct_data()
    {
        QTest::addColumn<QString>("category"); // where the pages are; empty: nowhere
        QTest::addColumn<QString>("otherId");  // a second five-part product, or none
        QTest::addColumn<int>("requests");
        QTest::addRow("found on the first category") << "home" << QString() << 1;
        QTest::addRow("found on the second category") << "maniax" << QString() << 2;
        QTest::addRow("found nowhere") << QString() << QString() << 6;
        QTest::addRow("same prefix starts on that category") << "maniax"
                                                             << "RJ654321" << 3;
    }

    void onePageRequestPerProduct()
    {
        QFETCH(QString, category);
        QFETCH(QString, otherId);
        QFETCH(int, requests);
        auto forget =
            qScopeGuard([&] { shop->removePage(TestShop::productPath(category, otherId)); });
        QList<QFileInfo> files;
        for (const QString &id : QStringList{"RJ123456", otherId}) {
            if (!category.isEmpty() && !id.isEmpty())
                shop->setPage(TestShop::productPath(category, id), pcPage("T", id));
            for (int part = 1; part <= 5 && !id.isEmpty(); ++part)
                files << file(QStringLiteral("%1.part%2.rar").arg(id).arg(part));
        }
        Run run;
        run.start(files);
        QVERIFY(run.waitAllFinished());
        QCOMPARE(shop->requests().size(), requests);
        QCOMPARE(run.recorder.count("started"), run.recorder.count("finished"));
        int done = -1, failed = -1;
        run.renamer->counts(nullptr, nullptr, &done, &failed);
        QCOMPARE(category.isEmpty() ? failed : done, files.size());
    }

    // A busy shop is asked again after the wait it names, capped, at most
    // twice; when every candidate failed, the message names the first failure
    // that was not "not found".
    void busyOrFailingPage_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("retryAfter"); // "date": an HTTP date 4 s ahead
        QTest::addColumn<int>("times");          // such answers before the page; -1: always
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("minGapMs");    // between the first two requests
        QTest::addColumn<QString>("message"); // a part of the last one; empty: Done
        QTest::addRow("429, seconds") << 429 << "2" << 1 << 2 << 1900 << QString();
        QTest::addRow("503, HTTP date") << 503 << "date" << 1 << 2 << 2500 << QString();
        QTest::addRow("long wait capped") << 429 << "3600" << 1 << 2 << 3900 << QString();
        QTest::addRow("busy thrice, named over a later 404")
            << 503 << "0" << -1 << 4 << 0 << "Service Unavailable";
        QTest::addRow("unreadable page named over a later 404")
            << 200 << QString() << -1 << 2 << 0 << "'タイトルがみつかりませんでした'";
    }

    void busyOrFailingPage()
    {
        QFETCH(int, status);
        QFETCH(QString, retryAfter);
        QFETCH(int, times);
        QFETCH(int, requests);
        QFETCH(int, minGapMs);
        QFETCH(QString, message);
        const QString soft = TestShop::productPath("soft", "VJ123456");
        if (times > 0)
            shop->setPage(soft, pcPage("T", "VJ123456"));
        TestShop::Rule rule;
        rule.status = status;
        rule.times = times;
        if (retryAfter == "date")
            retryAfter = QLocale::c().toString(QDateTime::currentDateTimeUtc().addSecs(4),
                                               "ddd, dd MMM yyyy hh:mm:ss 'GMT'");
        if (!retryAfter.isEmpty())
            rule.headers.append({"Retry-After", retryAfter.toLatin1()});
        shop->setRule(soft, rule);
        Run run;
        run.renamer->setRetryWaitCap(4000);
        run.start({file("VJ123456.zip")});
        QVERIFY(run.waitAllFinished());
        const QList<TestShop::LoggedRequest> log = shop->requests();
        QCOMPARE(log.size(), requests);
        QVERIFY(log.at(1).receivedMs - log.at(0).answeredMs >= minGapMs);
        QCOMPARE(run.recorder.count("started"), message.isEmpty() ? 1 : 2); // retries add no row
        const Event last = run.recorder.of("finished").last();
        QCOMPARE(last.status, int(message.isEmpty() ? Entry::Done : Entry::Error));
        QVERIFY2(last.message.contains(message), qPrintable(last.message));
    }
};

QTEST_GUILESS_MAIN(TestRenamer)
#include "tst_renamer.moc"
