#include "DropArea.h"
#include "LogCapture.h"
#include "MainWindow.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "data/RenameOption.h"
#include "plugin/PluginManager.h"
#include "renamer/NameComposition.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
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

// Files that exist before the application object, named on its command line.
struct CommandLine
{
    QString folder;
    QString known;   // a product the shop has
    QString unknown; // a product the shop does not have: every candidate page fails
    QStringList arguments;
};

void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("product file\n");
}

// The product fields the fixture page holds, from its ".expected" file.
zorv::WorkInfo expectedWork(const QString &id)
{
    zorv::WorkInfo work;
    QFile file(TestPaths::dataFile(QStringLiteral("pages/pc/%1.expected").arg(id)));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return work;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("id"))
            work.id = value;
        else if (key == QLatin1String("title"))
            work.title = value;
        else if (key == QLatin1String("date"))
            work.date = value;
        else if (key == QLatin1String("age"))
            work.age = value;
        else if (key == QLatin1String("maker"))
            work.makers.append(value);
    }
    return work;
}

QString expectedName(const QString &id, const QString &suffix)
{
    const zorv::RenameOption defaults;
    return zorv::sanitizeFileName(zorv::composeBaseName(defaults, id, expectedWork(id))) +
           QLatin1Char('.') + suffix;
}

QString colourName(const QTableWidgetItem *item)
{
    const QVariant value = item->data(Qt::ForegroundRole);
    if (!value.isValid())
        return QStringLiteral("unset");
    const QColor colour = value.value<QBrush>().color();
    return colour.isValid() ? colour.name() : QStringLiteral("default");
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
    void windowIsBuiltAsDocumented();
    void commandLineFilesAreRenamed();
    void workerStepsShowInTheRow();
    void dropsThroughTheDropArea_data();
    void dropsThroughTheDropArea();
    void dropWhileBusyWaitsBehind();
    void slotsShowTheEntryAsSignalled();
    void finalizeStopsWorkerAndSavesOptions();

private:
    // One row as the table showed it.
    struct RowView
    {
        QString state;
        QString newName;
        QString comment;
        QString colour;
        bool operator==(const RowView &other) const
        {
            return state == other.state && newName == other.newName && comment == other.comment &&
                   colour == other.colour;
        }
    };
    // The window as seen at one change of the table.
    struct Snapshot
    {
        int row;
        RowView view;
        bool progressVisible;
        int progressValue;
        QString summary;
    };

    void record();
    RowView rowView(int row) const;
    QString text(int row, int column) const;
    QString summary() const;
    // For each run of one state text in a row, the row as it stood at the
    // run's end, when every cell of that step had been written.
    QList<Snapshot> settledSteps(int row) const;
    bool isFinal(int row) const;
    void drop(const QList<QUrl> &urls);

    const CommandLine commandLine;
    TestShop shop;
    PluginManager &pluginManager;
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *statusLabel = nullptr;
    DropArea *dropArea = nullptr;
    QTemporaryDir work;

    // The table right after initialize(), before any event was handled.
    int initialRows = -1;
    QList<QStringList> initialTexts;
    QList<QStringList> initialToolTips;
    QString initialSummary;
    bool initialProgressVisible = true;
    int initialProgressMaximum = -1;

    std::vector<Snapshot> history;
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
    QVERIFY(table);
    progressBar = window->statusBar()->findChild<QProgressBar *>();
    QVERIFY(progressBar);
    statusLabel = window->statusBar()->findChild<QLabel *>();
    QVERIFY(statusLabel);
    dropArea = window->findChild<DropArea *>();
    QVERIFY(dropArea);

    initialRows = table->rowCount();
    for (int row = 0; row < initialRows; ++row) {
        QStringList texts;
        QStringList tips;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *item = table->item(row, column);
            texts.append(item ? item->text() : QStringLiteral("<none>"));
            tips.append(item ? item->toolTip() : QStringLiteral("<none>"));
        }
        initialTexts.append(texts);
        initialToolTips.append(tips);
    }
    initialSummary = statusLabel->text();
    initialProgressVisible = progressBar->isVisibleTo(window);
    initialProgressMaximum = progressBar->maximum();

    connect(table->model(), &QAbstractItemModel::dataChanged, this, [this] { record(); });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWindow::cleanupTestCase()
{
    if (window) {
        window->finalize();
        delete window;
        window = nullptr;
    }
}

void TestMainWindow::record()
{
    for (int row = 0; row < table->rowCount(); ++row) {
        const RowView view = rowView(row);
        if (history.empty() || !(history.back().row == row && history.back().view == view)) {
            // Only rows that changed since their last record are noted.
            bool changed = true;
            for (auto it = history.rbegin(); it != history.rend(); ++it) {
                if (it->row == row) {
                    changed = !(it->view == view);
                    break;
                }
            }
            if (changed)
                history.push_back(Snapshot{row, view, progressBar->isVisibleTo(window),
                                           progressBar->value(), statusLabel->text()});
        }
    }
}

TestMainWindow::RowView TestMainWindow::rowView(int row) const
{
    RowView view;
    view.state = text(row, StateColumn);
    view.newName = text(row, NewNameColumn);
    view.comment = text(row, CommentColumn);
    const QTableWidgetItem *item = table->item(row, CommentColumn);
    view.colour = item ? colourName(item) : QString();
    return view;
}

QString TestMainWindow::text(int row, int column) const
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

QString TestMainWindow::summary() const
{
    return statusLabel->text();
}

QList<TestMainWindow::Snapshot> TestMainWindow::settledSteps(int row) const
{
    QList<Snapshot> steps;
    for (const Snapshot &snapshot : history) {
        if (snapshot.row != row)
            continue;
        if (!steps.isEmpty() && steps.last().view.state == snapshot.view.state)
            steps.last() = snapshot;
        else
            steps.append(snapshot);
    }
    return steps;
}

bool TestMainWindow::isFinal(int row) const
{
    const QString state = text(row, StateColumn);
    // The colour is the last thing a finished step writes.
    return (state == done || state == failed) &&
           colourName(table->item(row, CommentColumn)) != QLatin1String("unset");
}

void TestMainWindow::drop(const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropArea, &enter);
    QDropEvent event(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropArea, &event);
}

void TestMainWindow::commandLineFilesHaveRowsBeforeShow()
{
    // Two of the four arguments name a recognised, existing file: one that
    // does not exist and one without a product ID give no row.
    QCOMPARE(initialRows, 2);
    const QStringList known = {QStringLiteral("RJ100001"),
                               host,
                               waiting,
                               QFileInfo(commandLine.known).fileName(),
                               QString(),
                               QString()};
    const QStringList unknown = {QStringLiteral("RJ999999"),
                                 host,
                                 waiting,
                                 QFileInfo(commandLine.unknown).fileName(),
                                 QString(),
                                 QString()};
    QCOMPARE(initialTexts.at(0), known);
    QCOMPARE(initialTexts.at(1), unknown);
    QCOMPARE(initialToolTips.at(0), known);
    QCOMPARE(initialToolTips.at(1), unknown);
    QCOMPARE(initialSummary, QStringLiteral("\u3000タスク (0 / 2) エラー : 0"));
    QVERIFY(!initialProgressVisible);
    QCOMPARE(initialProgressMaximum, 2);
}

void TestMainWindow::windowIsBuiltAsDocumented()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("zorv"));
    QCOMPARE(window->minimumSize(), QSize(360, 180));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const int w = qMin(720, available.width());
    const int h = qMin(360, available.height());
    QCOMPARE(window->geometry().size(), QSize(w, h));
    QCOMPARE(window->geometry().topLeft(),
             QPoint((available.width() - w) / 2, (available.height() - h) / 2));

    QCOMPARE(table->columnCount(), 6);
    const QStringList headers = {QStringLiteral("ID"),     QStringLiteral("ホスト"),
                                 QStringLiteral("状態"),   QStringLiteral("変更前"),
                                 QStringLiteral("変更後"), QStringLiteral("コメント")};
    for (int column = 0; column < headers.size(); ++column)
        QCOMPARE(table->horizontalHeaderItem(column)->text(), headers.at(column));
    QCOMPARE(table->columnWidth(HostColumn), 150);
    QCOMPARE(table->columnWidth(CommentColumn), 140);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(), QAbstractItemView::NoSelection);
    QVERIFY(table->hasAutoScroll());

    // The drop area sits above the table in the central widget.
    QVERIFY(dropArea->geometry().bottom() < table->geometry().top());
    QCOMPARE(dropArea->parentWidget(), window->centralWidget());

    // Menus and their actions, in order.
    QStringList menus;
    for (QAction *action : window->menuBar()->actions()) {
        QStringList entry = {action->text()};
        for (QAction *item : action->menu()->actions())
            entry.append(item->text());
        menus.append(entry.join(QLatin1Char('|')));
    }
    QCOMPARE(menus, QStringList(
                        {QStringLiteral("ツール(&T)|設定(&C)"),
                         QStringLiteral("ヘルプ(&H)|アバウト(&A)|プラグイン(&P)|ライブラリ(&L)")}));
}

void TestMainWindow::commandLineFilesAreRenamed()
{
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(0) && isFinal(1), finishTimeout);

    const QString newName = expectedName(QStringLiteral("RJ100001"), QStringLiteral("zip"));
    QCOMPARE(text(0, StateColumn), done);
    QCOMPARE(text(0, NewNameColumn), newName);
    QCOMPARE(text(0, CommentColumn), QString());
    QVERIFY(QFileInfo::exists(QDir(commandLine.folder).filePath(newName)));
    QVERIFY(!QFileInfo::exists(commandLine.known));

    QCOMPARE(text(1, StateColumn), failed);
    QCOMPARE(text(1, NewNameColumn), QString());
    QVERIFY2(text(1, CommentColumn).contains(QLatin1String("Not Found")),
             qPrintable(text(1, CommentColumn)));
    QVERIFY(QFileInfo::exists(commandLine.unknown));

    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < table->columnCount(); ++column)
            QCOMPARE(table->item(row, column)->toolTip(), table->item(row, column)->text());
    }
    for (int column = 0; column < table->columnCount(); ++column) {
        QCOMPARE(colourName(table->item(0, column)), QStringLiteral("#228b22"));
        QCOMPARE(colourName(table->item(1, column)), QStringLiteral("#ff0000"));
    }

    QVERIFY(progressBar->isVisible());
    QCOMPARE(progressBar->maximum(), 2);
    QCOMPARE(progressBar->value(), 2);
    QCOMPARE(summary(), QStringLiteral("\u3000タスク (2 / 2) エラー : 1"));
}

void TestMainWindow::workerStepsShowInTheRow()
{
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(0) && isFinal(1), finishTimeout);
    QVERIFY(!history.empty());

    // The progress bar is shown by the first started entry, before its row changes.
    QVERIFY(history.front().progressVisible);

    // What a row shows at a step is read from the entry when the signal is
    // handled, so a late step may already show a later state; the order of
    // the steps and the last one are fixed.
    const QStringList allowed = {processing, waiting, failed, done};
    for (int row = 0; row < 2; ++row) {
        const QList<Snapshot> steps = settledSteps(row);
        QVERIFY(!steps.isEmpty());
        for (int i = 0; i + 1 < steps.size(); ++i) {
            QVERIFY2(allowed.contains(steps.at(i).view.state), qPrintable(steps.at(i).view.state));
            // Only the final step colours the row.
            const QString colour = steps.at(i).view.colour;
            QVERIFY2(colour == QLatin1String("unset") || colour == QLatin1String("default"),
                     qPrintable(colour));
        }
    }
    const QString newName = expectedName(QStringLiteral("RJ100001"), QStringLiteral("zip"));
    QCOMPARE(settledSteps(0).last().view,
             (RowView{done, newName, QString(), QStringLiteral("#228b22")}));
    const RowView last = settledSteps(1).last().view;
    QCOMPARE(last.state, failed);
    QCOMPARE(last.colour, QStringLiteral("#ff0000"));
    QVERIFY(last.comment.contains(QLatin1String("Not Found")));
    QCOMPARE(last.newName, QString());
}

void TestMainWindow::dropsThroughTheDropArea_data()
{
    // What is dropped, by the names of a scene folder: "*" marks an entry that
    // exists as a file, "/" one that exists as a folder, a name without mark
    // does not exist; "http:" is a web address. rows: the final state of each
    // new row, in order.
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("local files") << QStringList{QStringLiteral("*RJ100001 a.zip"),
                                                QStringLiteral("*RJ999999.rar")}
                                 << QStringList{done, failed};
    QTest::newRow("files without a product ID")
        << QStringList{QStringLiteral("*readme.txt")} << QStringList{};
    QTest::newRow("missing paths")
        << QStringList{QStringLiteral("RJ100001 gone.zip"), QStringLiteral("RJ999999 gone.zip")}
        << QStringList{};
    QTest::newRow("web address and missing path beside a file")
        << QStringList{QStringLiteral("http:"), QStringLiteral("RJ100001 gone.zip"),
                       QStringLiteral("*RJ100001 b.zip")}
        << QStringList{done};
    QTest::newRow("a folder is not expanded")
        << QStringList{QStringLiteral("/RJ100001 folder")} << QStringList{done};
    QTest::newRow("the same file twice")
        << QStringList{QStringLiteral("*RJ100001 c.zip"), QStringLiteral("*RJ100001 c.zip")}
        << QStringList{done, failed};
}

void TestMainWindow::dropsThroughTheDropArea()
{
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, rows);

    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    QTemporaryDir scene;
    QVERIFY(scene.isValid());
    QDir folder(scene.path());
    QList<QUrl> urls;
    QStringList names;
    for (const QString &entry : qAsConst(dropped)) {
        if (entry == QLatin1String("http:")) {
            urls.append(QUrl(QStringLiteral("http://www.sakuvo.example/RJ100001.zip")));
            continue;
        }
        QString name = entry;
        if (entry.startsWith(QLatin1Char('*'))) {
            name = entry.mid(1);
            if (!QFileInfo::exists(folder.filePath(name)))
                touch(folder.filePath(name));
            // The folder's contents must not become rows of their own.
        } else if (entry.startsWith(QLatin1Char('/'))) {
            name = entry.mid(1);
            QVERIFY(folder.mkpath(name));
            touch(folder.filePath(name + QStringLiteral("/RJ999999 inside.zip")));
        }
        urls.append(QUrl::fromLocalFile(folder.filePath(name)));
        names.append(name);
    }

    const int before = table->rowCount();
    const QString summaryBefore = summary();
    drop(urls);
    // Rows appear at once, while the drop is being handled.
    QCOMPARE(table->rowCount(), before + rows.size());
    QCOMPARE(dropArea->backgroundRole(), QPalette::Dark);
    if (rows.isEmpty()) {
        QCOMPARE(summary(), summaryBefore);
        return;
    }

    // One row per existing entry with a product ID, in the drop's order.
    QStringList recognised;
    for (const QString &name : qAsConst(names)) {
        if (name.startsWith(QLatin1String("RJ")) && QFileInfo::exists(folder.filePath(name)))
            recognised.append(name);
    }
    QCOMPARE(recognised.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(text(before + i, OldNameColumn), recognised.at(i));
        QCOMPARE(text(before + i, HostColumn), host);
        QCOMPARE(text(before + i, IdColumn), recognised.at(i).left(8));
    }

    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    for (int i = 0; i < rows.size(); ++i) {
        const int row = before + i;
        QCOMPARE(text(row, StateColumn), rows.at(i));
        if (rows.at(i) == done) {
            QVERIFY2(QFileInfo::exists(folder.filePath(text(row, NewNameColumn))),
                     qPrintable(text(row, NewNameColumn)));
        } else {
            QVERIFY(!text(row, CommentColumn).isEmpty());
        }
    }
    if (dropped.size() == 2 && dropped.at(0) == dropped.at(1)) {
        // The first entry renamed the file away from under the second.
        const QString comment = text(before + 1, CommentColumn);
        QVERIFY2(comment == QStringLiteral("'ソースファイルが見つかりません。'") ||
                     comment == QStringLiteral("'リネームに失敗しました。'"),
                 qPrintable(comment));
    }

    int total = 0;
    int errors = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        ++total;
        if (text(row, StateColumn) == failed)
            ++errors;
    }
    QCOMPARE(summary(),
             QStringLiteral("\u3000タスク (%1 / %1) エラー : %2").arg(total).arg(errors));
    QCOMPARE(progressBar->maximum(), total);
    QCOMPARE(progressBar->value(), total);
}

void TestMainWindow::dropWhileBusyWaitsBehind()
{
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    QTemporaryDir scene;
    QVERIFY(scene.isValid());
    QDir folder(scene.path());
    QVERIFY(folder.mkpath(QStringLiteral("first")));
    QVERIFY(folder.mkpath(QStringLiteral("second")));
    const QString first = folder.filePath(QStringLiteral("first/RJ100001.zip"));
    const QString second = folder.filePath(QStringLiteral("second/RJ100001.zip"));
    touch(first);
    touch(second);

    // The first page takes its time, so the second drop meets a busy worker.
    const QString page = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100001"));
    shop.setSlow(page, 6000, 12);
    const int row = table->rowCount();
    drop({QUrl::fromLocalFile(first)});
    QTRY_COMPARE_WITH_TIMEOUT(text(row, StateColumn), processing, finishTimeout);

    drop({QUrl::fromLocalFile(second)});
    QCOMPARE(table->rowCount(), row + 2);
    QCOMPARE(text(row + 1, StateColumn), waiting);
    QCOMPARE(text(row, StateColumn), processing);
    shop.clearBehaviours();

    QTRY_VERIFY_WITH_TIMEOUT(isFinal(row) && isFinal(row + 1), finishTimeout);
    QCOMPARE(text(row, StateColumn), done);
    QCOMPARE(text(row + 1, StateColumn), done);
    // The second page was asked for only after the first had been answered.
    QList<TestShop::LoggedRequest> asked;
    for (const TestShop::LoggedRequest &request : shop.requests()) {
        if (request.path == page)
            asked.append(request);
    }
    QVERIFY(asked.size() >= 2);
    const TestShop::LoggedRequest &firstAsked = asked.at(asked.size() - 2);
    const TestShop::LoggedRequest &secondAsked = asked.last();
    QVERIFY(firstAsked.answeredMs >= 0);
    QVERIFY(secondAsked.receivedMs >= firstAsked.answeredMs);
}

void TestMainWindow::slotsShowTheEntryAsSignalled()
{
    // The slots driven one signal at a time with an entry whose state the
    // test sets, so every step can be seen. The entry takes the next number;
    // a file dropped after it makes the row exist and keeps the worker busy
    // on a page that is never answered, so nothing else touches the table.
    QTRY_VERIFY_WITH_TIMEOUT(isFinal(table->rowCount() - 1), finishTimeout);
    const QString held = TestShop::productPath(QStringLiteral("home"), QStringLiteral("RJ100001"));
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
    const QString dropped = QDir(scene.path()).filePath(QStringLiteral("RJ100001.zip"));
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
    const QStringList fresh = {QStringLiteral("RJ123456"),          host,      waiting,
                               QStringLiteral("RJ123456 test.zip"), QString(), QString()};
    for (int column = 0; column < fresh.size(); ++column) {
        QCOMPARE(text(row, column), fresh.at(column));
        QCOMPARE(table->item(row, column)->toolTip(), fresh.at(column));
    }
    QCOMPARE(progressBar->maximum(), row + 1);

    int finishedBefore = 0;
    int failedBefore = 0;
    for (int r = 0; r < row; ++r) {
        if (text(r, StateColumn) == done || text(r, StateColumn) == failed)
            ++finishedBefore;
        if (text(r, StateColumn) == failed)
            ++failedBefore;
    }
    const QString expectedSummary = QStringLiteral("\u3000タスク (%1 / %2) エラー : %3")
                                        .arg(finishedBefore)
                                        .arg(row + 1)
                                        .arg(failedBefore);

    struct Step
    {
        const char *slot;
        int status;
        QString newName;
        QString message;
        QString label;
        QString colour;
    };
    const QList<Step> steps = {
        {"onStarted", zorv::Entry::Processing, QString(), QString(), processing,
         QStringLiteral("unset")},
        {"onFinished", zorv::Entry::Waiting, QString(), QStringLiteral("page one failed"), waiting,
         QStringLiteral("default")},
        {"onStarted", zorv::Entry::Processing, QString(), QString(), processing,
         QStringLiteral("default")},
        {"onFinished", zorv::Entry::Done, QStringLiteral("[M] T [RJ123456].zip"),
         QStringLiteral("'無効な文字を修正しました。'"), done, QStringLiteral("#228b22")},
        {"onFinished", zorv::Entry::Error, QStringLiteral("[M] T [RJ123456].zip"),
         QStringLiteral("'リネームに失敗しました。'"), failed, QStringLiteral("#ff0000")},
        {"onFinished", 7, QString(), QStringLiteral("odd"), QString(), QStringLiteral("default")},
    };
    for (const Step &step : steps) {
        entry->setStatus(step.status);
        entry->setNewName(step.newName);
        entry->setMessage(step.message);
        QVERIFY(QMetaObject::invokeMethod(window, step.slot, Q_ARG(EntryPtr, entry),
                                          Q_ARG(RequestPtr, request)));
        const QString where =
            QStringLiteral("%1 with status %2").arg(QLatin1String(step.slot)).arg(step.status);
        QVERIFY2(text(row, StateColumn) == step.label, qPrintable(where));
        QVERIFY2(text(row, CommentColumn) == step.message, qPrintable(where));
        QVERIFY2(table->item(row, CommentColumn)->toolTip() == step.message, qPrintable(where));
        QVERIFY2(table->item(row, StateColumn)->toolTip() == step.label, qPrintable(where));
        if (QLatin1String(step.slot) == QLatin1String("onFinished")) {
            QVERIFY2(text(row, NewNameColumn) == step.newName, qPrintable(where));
            QVERIFY2(table->item(row, NewNameColumn)->toolTip() == step.newName, qPrintable(where));
        }
        for (int column = 0; column < 6; ++column)
            QVERIFY2(colourName(table->item(row, column)) == step.colour, qPrintable(where));
        QVERIFY(progressBar->isVisible());
        // The window's own worker has finished no more entries than before:
        // the progress and the summary follow it, not the test's entry.
        QCOMPARE(progressBar->value(), finishedBefore);
        QCOMPARE(summary(), expectedSummary);
    }
    shop.clearBehaviours();
}

void TestMainWindow::finalizeStopsWorkerAndSavesOptions()
{
    QVERIFY(!QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("option.xml"))));
    LogCapture log;
    window->finalize();
    QCOMPARE(log.matching(QStringLiteral("renamer thread cleanup.")).size(), 1);
    QFile options(QDir(work.path()).filePath(QStringLiteral("option.xml")));
    QVERIFY(options.open(QIODevice::ReadOnly));
    const QByteArray xml = options.readAll();
    QVERIFY(xml.contains("<option>"));
    QVERIFY(xml.contains("<space_size>1</space_size>"));

    // A second shut-down, and a drop after the shut-down, change nothing.
    window->finalize();
    QCOMPARE(log.matching(QStringLiteral("renamer thread cleanup.")).size(), 1);
    const int rows = table->rowCount();
    drop({QUrl::fromLocalFile(commandLine.unknown)});
    QCOMPARE(table->rowCount(), rows);
    delete window;
    window = nullptr;
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
