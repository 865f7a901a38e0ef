#include "DropArea.h"
#include "MainWindow.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

using zorv::DropArea;
using zorv::EntryPtr;
using zorv::MainWindow;
using zorv::PluginManager;
using zorv::RequestPtr;

namespace {

enum Column { IdColumn, HostColumn, StateColumn, OldNameColumn, NewNameColumn, CommentColumn };

const QString waiting = QStringLiteral("待機");
const QString processing = QStringLiteral("処理中...");
const QString failed = QStringLiteral("エラー");
const QString done = QStringLiteral("完了");
const QString host = QStringLiteral("www.sakuvo.example");
const int finishTimeout = 60000;
// What the default options make of the catalogue's page for RJ100001.
const QString rj100001Name =
    QStringLiteral("[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] .zip");

// Files that exist before the application object, named on its command line.
struct CommandLine
{
    QString folder;
    QString known;   // a product the shop has
    QString unknown; // a product the shop does not have: every candidate page fails
};

void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("product file\n");
}

QString colourName(const QTableWidgetItem *item)
{
    const QVariant value = item ? item->data(Qt::ForegroundRole) : QVariant();
    if (!value.isValid())
        return QStringLiteral("unset");
    const QColor colour = value.value<QBrush>().color();
    return colour.isValid() ? colour.name() : QStringLiteral("default");
}

// What a row of the store's file shows: its ID is the old name's beginning.
QStringList rowTexts(const QString &state, const QString &oldName,
                     const QString &newName = QString(), const QString &comment = QString())
{
    return {oldName.left(8), host, state, oldName, newName, comment};
}

// The comment of an entry whose every candidate page was missing.
QString notFound(const QString &id)
{
    return QStringLiteral("Error transferring %1 - server replied: Not Found")
        .arg(TestShop::productUrl(QStringLiteral("girls-touch"), id));
}

QString summaryText(int finished, int total, int errors)
{
    return QStringLiteral("\u3000タスク (%1 / %2) エラー : %3")
        .arg(finished)
        .arg(total)
        .arg(errors);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
public:
    TestMainWindow(const CommandLine &commandLine, PluginManager &pluginManager)
        : commandLine(commandLine)
        , pluginManager(pluginManager)
    {
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLineFilesHaveRowsBeforeShow();
    void commandLineFilesAreRenamed();
    void drops_data();
    void drops();
    void slotsShowTheEntryAsSignalled();
    void finalizeSavesOptionsAndEndsDrops();

private:
    QString text(int row, int column) const;
    // The row's six texts; a cell whose tool tip differs from its text shows both.
    QStringList cells(int row) const;
    bool isFinal(int row) const;
    void drop(const QList<QUrl> &urls, const QString &plainText = QString());

    const CommandLine commandLine;
    TestShop shop;
    PluginManager &pluginManager;
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *statusLabel = nullptr;
    DropArea *dropArea = nullptr;
    QTemporaryDir work;

    // The window right after initialize(), before any event was handled.
    QList<QStringList> initialRows;
    QString initialSummary;
    bool initialProgressVisible = true;
    int initialProgressMaximum = -1;
    // Whether the progress bar showed when the worker's first signal changed a row.
    int progressAtFirstChange = -1;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(work.isValid());
    // The option file belongs to the working directory.
    QVERIFY(QDir::setCurrent(work.path()));

    QVERIFY2(shop.isListening(), qPrintable(shop.errorString()));
    shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
    qputenv("http_proxy", shop.proxyUrl().toLatin1());
    QVERIFY(pluginManager.load(TestPaths::pluginBuildDir()));

    window = new MainWindow;
    QVERIFY(window->initialize());
    table = window->findChild<QTableWidget *>();
    progressBar = window->statusBar()->findChild<QProgressBar *>();
    statusLabel = window->statusBar()->findChild<QLabel *>();
    dropArea = window->findChild<DropArea *>();
    QVERIFY(table && progressBar && statusLabel && dropArea);

    for (int row = 0; row < table->rowCount(); ++row)
        initialRows.append(cells(row));
    initialSummary = statusLabel->text();
    initialProgressVisible = progressBar->isVisibleTo(window);
    initialProgressMaximum = progressBar->maximum();

    connect(table->model(), &QAbstractItemModel::dataChanged, this, [this] {
        if (progressAtFirstChange < 0)
            progressAtFirstChange = progressBar->isVisibleTo(window) ? 1 : 0;
    });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWindow::cleanupTestCase()
{
    // The destructor shuts the window down, once more if it was already.
    delete window;
    window = nullptr;
}

QString TestMainWindow::text(int row, int column) const
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

QStringList TestMainWindow::cells(int row) const
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *item = table->item(row, column);
        QString cell = item ? item->text() : QStringLiteral("<none>");
        if (item && item->toolTip() != item->text())
            cell += QStringLiteral(" <tip: %1>").arg(item->toolTip());
        texts.append(cell);
    }
    return texts;
}

bool TestMainWindow::isFinal(int row) const
{
    const QString state = text(row, StateColumn);
    // The colour is the last thing a finished step writes.
    return (state == done || state == failed) &&
           colourName(table->item(row, CommentColumn)) != QLatin1String("unset");
}

void TestMainWindow::drop(const QList<QUrl> &urls, const QString &plainText)
{
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!plainText.isEmpty())
        data.setText(plainText);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropArea, &enter);
    QDropEvent event(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropArea, &event);
}

void TestMainWindow::commandLineFilesHaveRowsBeforeShow()
{
    // Two of the four arguments name a recognised, existing file: one that
    // does not exist and one without a product ID give no row.
    QCOMPARE(initialRows,
             (QList<QStringList>{rowTexts(waiting, QFileInfo(commandLine.known).fileName()),
                                 rowTexts(waiting, QFileInfo(commandLine.unknown).fileName())}));
    QCOMPARE(initialSummary, summaryText(0, 2, 0));
    QVERIFY(!initialProgressVisible);
    QCOMPARE(initialProgressMaximum, 2);
}

void TestMainWindow::commandLineFilesAreRenamed()
{
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(0) && isFinal(1), finishTimeout);
    // The first started entry showed the progress bar before its row changed.
    QCOMPARE(progressAtFirstChange, 1);

    QCOMPARE(cells(0), rowTexts(done, QFileInfo(commandLine.known).fileName(), rj100001Name));
    QVERIFY(QFileInfo::exists(QDir(commandLine.folder).filePath(rj100001Name)));
    QVERIFY(!QFileInfo::exists(commandLine.known));
    // Every candidate page failed: the last one's error is the comment.
    QCOMPARE(cells(1), rowTexts(failed, QFileInfo(commandLine.unknown).fileName(), QString(),
                                notFound(QStringLiteral("RJ999999"))));
    QVERIFY(QFileInfo::exists(commandLine.unknown));

    for (int column = 0; column < table->columnCount(); ++column) {
        QCOMPARE(colourName(table->item(0, column)), QStringLiteral("#228b22"));
        QCOMPARE(colourName(table->item(1, column)), QStringLiteral("#ff0000"));
    }
    QVERIFY(progressBar->isVisible());
    QCOMPARE(progressBar->value(), 2);
    QCOMPARE(statusLabel->text(), summaryText(2, 2, 1));
}

void TestMainWindow::drops_data()
{
    // What is dropped, by the names of a scene folder: "*" marks a file, "/"
    // a folder, "=" a file dropped as plain text (its path), a name without
    // mark does not exist; "http:" is a web address. rows: the old names of
    // the new rows, in order; states: their final states.
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("states");

    const QString a = QStringLiteral("RJ100001 a.zip");
    const QString unknown = QStringLiteral("RJ999999.rar");
    const QString folder = QStringLiteral("RJ100001 folder");
    const QString b = QStringLiteral("RJ100001 b.zip");
    QTest::newRow("file URLs") << QStringList{QLatin1Char('*') + a, QLatin1Char('*') + unknown}
                               << QStringList{a, unknown} << QStringList{done, failed};
    QTest::newRow("plain text naming a file")
        << QStringList{QStringLiteral("=RJ100001 text.zip")} << QStringList{} << QStringList{};
    QTest::newRow("a folder is not expanded")
        << QStringList{QLatin1Char('/') + folder} << QStringList{folder} << QStringList{done};
    QTest::newRow("missing path and web address beside a file")
        << QStringList{QStringLiteral("http:"), QStringLiteral("RJ100001 gone.zip"),
                       QLatin1Char('*') + b}
        << QStringList{b} << QStringList{done};
    QTest::newRow("file without a product ID")
        << QStringList{QStringLiteral("*readme.txt")} << QStringList{} << QStringList{};
}

void TestMainWindow::drops()
{
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, states);

    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    QTemporaryDir scene;
    QVERIFY(scene.isValid());
    const QDir folder(scene.path());
    QList<QUrl> urls;
    QStringList texts;
    for (const QString &entry : qAsConst(dropped)) {
        const QString name = entry.mid(1);
        if (entry == QLatin1String("http:")) {
            urls.append(QUrl(QStringLiteral("http://www.sakuvo.example/RJ100001.zip")));
        } else if (entry.startsWith(QLatin1Char('/'))) {
            // The folder's contents must not become rows of their own.
            QVERIFY(folder.mkpath(name));
            touch(folder.filePath(name + QStringLiteral("/RJ999999 inside.zip")));
            urls.append(QUrl::fromLocalFile(folder.filePath(name)));
        } else if (entry.startsWith(QLatin1Char('*')) || entry.startsWith(QLatin1Char('='))) {
            touch(folder.filePath(name));
            if (entry.startsWith(QLatin1Char('*')))
                urls.append(QUrl::fromLocalFile(folder.filePath(name)));
            else
                texts.append(folder.filePath(name));
        } else {
            urls.append(QUrl::fromLocalFile(folder.filePath(entry)));
        }
    }

    const int before = table->rowCount();
    const QString summaryBefore = statusLabel->text();
    drop(urls, texts.join(QLatin1Char('\n')));
    // Rows appear at once, while the drop is being handled.
    QCOMPARE(table->rowCount(), before + rows.size());
    QCOMPARE(dropArea->backgroundRole(), QPalette::Dark);
    if (rows.isEmpty()) {
        QCOMPARE(statusLabel->text(), summaryBefore);
        return;
    }
    for (int i = 0; i < rows.size(); ++i) {
        // The worker may have taken the entry before its row was filled.
        const QString state = text(before + i, StateColumn);
        QVERIFY2(state == waiting || state == processing, qPrintable(state));
        QCOMPARE(cells(before + i), rowTexts(state, rows.at(i)));
    }

    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    int errors = 0;
    for (int row = 0; row < table->rowCount(); ++row)
        errors += text(row, StateColumn) == failed ? 1 : 0;
    for (int i = 0; i < rows.size(); ++i) {
        const int row = before + i;
        QCOMPARE(text(row, StateColumn), states.at(i));
        if (states.at(i) == done)
            QVERIFY2(QFileInfo::exists(folder.filePath(text(row, NewNameColumn))),
                     qPrintable(text(row, NewNameColumn)));
        else
            QCOMPARE(text(row, CommentColumn), notFound(rows.at(i).left(8)));
    }
    const int total = table->rowCount();
    QCOMPARE(statusLabel->text(), summaryText(total, total, errors));
    QCOMPARE(progressBar->maximum(), total);
    QCOMPARE(progressBar->value(), total);
}

void TestMainWindow::slotsShowTheEntryAsSignalled()
{
    // The slots driven one signal at a time with an entry whose state the
    // test sets, so every step can be seen. The entry takes the next number;
    // a file dropped after it makes the row exist and keeps the worker busy
    // on a page that is never answered, so nothing else touches the table.
    // Its product is one the window has not asked for: a page seen in this
    // run would be taken from the renamer's memory without a request.
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    const QString held = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100003"));
    shop.setBehaviour(held, TestShop::NeverAnswer);

    zorv::PluginInterface *plugin = pluginManager.plugins().value(0);
    QVERIFY(plugin);
    const QFileInfo file(QDir(commandLine.folder).filePath(QStringLiteral("RJ123456 test.zip")));
    const RequestPtr request(new zorv::Request(QStringLiteral("RJ123456"),
                                               QUrl(QStringLiteral("http://example.test/1"))));
    const EntryPtr entry(
        new zorv::Entry(QStringLiteral("RJ123456"), plugin, file, {request, request}));
    const int row = entry->number();
    QCOMPARE(row, table->rowCount());

    QTemporaryDir scene;
    const QString dropped = QDir(scene.path()).filePath(QStringLiteral("RJ100003.zip"));
    touch(dropped);
    drop({QUrl::fromLocalFile(dropped)});
    QCOMPARE(table->rowCount(), row + 1);
    // The dropped entry's own row lies beyond the table: its cells are skipped.
    QTRY_VERIFY_WITH_TIMEOUT(!shop.requests().isEmpty() && shop.requests().last().path == held,
                             finishTimeout);
    QVERIFY(!table->item(row, StateColumn));

    const QList<EntryPtr> created = {entry};
    QVERIFY(QMetaObject::invokeMethod(window, "onCreated",
                                      QArgument<QList<EntryPtr>>("QList<EntryPtr>", created)));
    QCOMPARE(progressBar->maximum(), row + 1);
    int finishedBefore = 0;
    int failedBefore = 0;
    for (int r = 0; r < row; ++r) {
        finishedBefore += text(r, StateColumn) == done || text(r, StateColumn) == failed;
        failedBefore += text(r, StateColumn) == failed;
    }

    struct Step
    {
        const char *slot;
        int status;
        QString newName;
        QString message;
        QString label;
        QString colour;
    };
    const QString newName = QStringLiteral("[M] T [RJ123456].zip");
    const QList<Step> steps = {
        {"onStarted", zorv::Entry::Processing, QString(), QString(), processing,
         QStringLiteral("unset")},
        // A failed candidate page: back to waiting, in the default colour.
        {"onFinished", zorv::Entry::Waiting, QString(), QStringLiteral("page one failed"), waiting,
         QStringLiteral("default")},
        {"onStarted", zorv::Entry::Processing, QString(), QString(), processing,
         QStringLiteral("default")},
        {"onFinished", zorv::Entry::Done, newName, QStringLiteral("'無効な文字を修正しました。'"),
         done, QStringLiteral("#228b22")},
        {"onFinished", zorv::Entry::Error, newName, QStringLiteral("'リネームに失敗しました。'"),
         failed, QStringLiteral("#ff0000")},
        {"onFinished", 7, QString(), QStringLiteral("odd"), QString(), QStringLiteral("default")},
    };
    for (const Step &step : steps) {
        entry->setStatus(step.status);
        entry->setNewName(step.newName);
        entry->setMessage(step.message);
        QVERIFY(QMetaObject::invokeMethod(window, step.slot, Q_ARG(EntryPtr, entry),
                                          Q_ARG(RequestPtr, request)));
        const QByteArray where =
            QByteArray(step.slot) + " with status " + QByteArray::number(step.status);
        QVERIFY2(cells(row) == rowTexts(step.label, file.fileName(), step.newName, step.message),
                 where.constData());
        for (int column = 0; column < 6; ++column)
            QVERIFY2(colourName(table->item(row, column)) == step.colour, where.constData());
        QVERIFY(progressBar->isVisible());
        // The window's own worker has finished no more entries than before:
        // the progress and the summary follow it, not the test's entry.
        QCOMPARE(progressBar->value(), finishedBefore);
        QCOMPARE(statusLabel->text(), summaryText(finishedBefore, row + 1, failedBefore));
    }
    shop.clearBehaviours();
}

void TestMainWindow::finalizeSavesOptionsAndEndsDrops()
{
    const QString optionFile = QDir(work.path()).filePath(QStringLiteral("option.xml"));
    QVERIFY(!QFileInfo::exists(optionFile));
    window->finalize();
    QFile options(optionFile);
    QVERIFY(options.open(QIODevice::ReadOnly));
    QVERIFY(options.readAll().contains("<space_size>1</space_size>"));
    // With the worker gone, a drop adds nothing.
    const int rows = table->rowCount();
    drop({QUrl::fromLocalFile(commandLine.unknown)});
    QCOMPARE(table->rowCount(), rows);
}

int main(int argc, char *argv[])
{
    // The window reads its files from the application's command line, so the
    // files exist before the application object and are its arguments.
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    CommandLine commandLine;
    commandLine.folder = folder.path();
    commandLine.known = QDir(folder.path()).filePath(QStringLiteral("RJ100001 星の本.zip"));
    commandLine.unknown = QDir(folder.path()).filePath(QStringLiteral("RJ999999.zip"));
    const QString missing = QDir(folder.path()).filePath(QStringLiteral("RJ100002 missing.zip"));
    const QString noId = QDir(folder.path()).filePath(QStringLiteral("notes.txt"));
    touch(commandLine.known);
    touch(commandLine.unknown);
    touch(noId);

    std::vector<QByteArray> storage = {QByteArray(argv[0]), commandLine.known.toLocal8Bit(),
                                       missing.toLocal8Bit(), noId.toLocal8Bit(),
                                       commandLine.unknown.toLocal8Bit()};
    std::vector<char *> appArgv;
    for (QByteArray &argument : storage)
        appArgv.push_back(argument.data());
    appArgv.push_back(nullptr);
    int appArgc = int(storage.size());

    // Like the program, the plug-in manager is a local of the entry function.
    PluginManager pluginManager;
    QApplication application(appArgc, appArgv.data());
    TestMainWindow test(commandLine, pluginManager);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
