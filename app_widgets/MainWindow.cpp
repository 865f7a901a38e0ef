#include "MainWindow.h"
#include "utility/LogCategory.h"

#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "DropArea.h"
#include "LibraryDialog.h"
#include "PluginDialog.h"
#include "ResultTable.h"
#include "data/Journal.h"
#include "plugin/PluginInterface.h"
#include "renamer/PageCache.h"
#include "renamer/Renamer.h"
#include "renamer/Undo.h"
#include "utility/FileIdentity.h"
#include "utility/FileRename.h"

#include <QAction>
#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zorv {

namespace {

// Of the available screen area, on the first start.
const qreal firstStartShare = 0.6;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , initialized(false)
    , mainMenuBar(nullptr)
    , mainStatusBar(nullptr)
    , progressBar(nullptr)
    , statusLabel(nullptr)
    , centralLayout(nullptr)
    , dropArea(nullptr)
    , table(nullptr)
    , workerThread(nullptr)
    , renamer(nullptr)
{
}

MainWindow::~MainWindow()
{
    // A window that is deleted without finalize() must not leave its worker
    // running on a thread that outlives it.
    finalize();
}

bool MainWindow::initialize()
{
    Entry::registerMetaTypes();
    createMenus();
    createStatusBar();
    createCentralWidget();
    setWindowTitle(QStringLiteral("zorv"));
    setMinimumSize(360, 180);
    restoreWindowState();
    startRenamer();
    initialized = true;
    return true;
}

void MainWindow::createMenus()
{
    mainMenuBar = new QMenuBar(this);
    QMenu *fileMenu = mainMenuBar->addMenu(tr("ファイル(&F)"));
    QAction *openAction = fileMenu->addAction(tr("開く(&O)…"));
    openAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_O));
    connect(openAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_file_open()));
    fileMenu->addSeparator();
    QAction *quitAction = fileMenu->addAction(tr("終了(&Q)"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q));
    connect(quitAction, SIGNAL(triggered()), this, SLOT(close()));
    QMenu *toolMenu = mainMenuBar->addMenu(tr("ツール(&T)"));
    addRunActions(toolMenu);
    QAction *configAction = toolMenu->addAction(tr("設定(&C)"));
    connect(configAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_config()));
    QAction *undoAction = toolMenu->addAction(tr("元に戻す(&U)"));
    connect(undoAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_undo()));
    QAction *clearCacheAction = toolMenu->addAction(tr("ページキャッシュを空にする(&E)"));
    connect(clearCacheAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_clearCache()));
    QMenu *helpMenu = mainMenuBar->addMenu(tr("ヘルプ(&H)"));
    QAction *aboutAction = helpMenu->addAction(tr("アバウト(&A)"));
    connect(aboutAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_help_about()));
    QAction *pluginAction = helpMenu->addAction(tr("プラグイン(&P)"));
    connect(pluginAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_help_plugin()));
    QAction *libraryAction = helpMenu->addAction(tr("ライブラリ(&L)"));
    connect(libraryAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_help_library()));
    setMenuBar(mainMenuBar);
}

// Review first (remembered between starts, off until chosen), then rename
// what was reviewed, stop, and try again what failed or was stopped.
void MainWindow::addRunActions(QMenu *menu)
{
    reviewAction = menu->addAction(tr("変更前に確認する(&V)"));
    reviewAction->setCheckable(true);
    menu->addSeparator();
    executeAction = menu->addAction(tr("変更を実行(&R)"));
    executeAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_R));
    connect(executeAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_execute()));
    stopAction = menu->addAction(tr("停止(&S)"));
    connect(stopAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_stop()));
    retryAction = menu->addAction(tr("再試行(&T)"));
    connect(retryAction, SIGNAL(triggered()), this, SLOT(onTriggered_menu_tool_retry()));
    menu->addSeparator();
}

void MainWindow::createStatusBar()
{
    mainStatusBar = new QStatusBar(this);
    statusLabel = new QLabel(mainStatusBar);
    progressBar = new QProgressBar(mainStatusBar);
    mainStatusBar->addWidget(statusLabel, 0);
    mainStatusBar->addWidget(progressBar, 0);
    // Hidden until the worker starts on its first entry.
    progressBar->setVisible(false);
    // Beside the progress bar, once the list has rows.
    executeButton = new QPushButton(executeAction->text(), mainStatusBar);
    stopButton = new QPushButton(stopAction->text(), mainStatusBar);
    for (QPushButton *button : {executeButton, stopButton}) {
        mainStatusBar->addWidget(button, 0);
        button->setVisible(false);
    }
    connect(executeButton, SIGNAL(clicked()), executeAction, SLOT(trigger()));
    connect(stopButton, SIGNAL(clicked()), stopAction, SLOT(trigger()));
    setStatusBar(mainStatusBar);
}

// The drop area above the result table. Both take dropped files; the area
// is also where the keyboard asks for files to choose.
void MainWindow::createCentralWidget()
{
    QWidget *central = new QWidget(this);
    centralLayout = new QVBoxLayout(central);
    dropArea = new DropArea(central);
    table = new ResultTable(central);
    // The area takes half the room while the table is empty, a line once
    // the table has rows.
    centralLayout->addWidget(dropArea, 1);
    createNotice(central);
    centralLayout->addWidget(table, 1);
    connect(dropArea, SIGNAL(dropped(const QMimeData *)), this, SLOT(onDropped(const QMimeData *)));
    connect(table, SIGNAL(dropped(const QMimeData *)), this, SLOT(onDropped(const QMimeData *)));
    connect(table, SIGNAL(removalRequested(QList<int>)), this,
            SLOT(onRemovalRequested(QList<int>)));
    // Esc stops the run while the table has the focus; the list's context
    // menu offers the stop too.
    stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    stopAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    table->addAction(stopAction);
    // From the list on to the buttons that act on it.
    setTabOrder(table, executeButton);
    setTabOrder(executeButton, stopButton);
    connect(dropArea, SIGNAL(activated()), this, SLOT(onTriggered_menu_file_open()));
    setCentralWidget(central);
}

// The notice that the shop cannot be reached, hidden until it is said.
void MainWindow::createNotice(QWidget *parent)
{
    notice = new QFrame(parent);
    notice->setObjectName(QStringLiteral("shopUnreachableNotice"));
    notice->setFrameShape(QFrame::StyledPanel);
    notice->setAutoFillBackground(true);
    QPalette palette = notice->palette();
    palette.setColor(QPalette::Window, QColor(QStringLiteral("lightyellow")));
    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("black")));
    notice->setPalette(palette);
    QHBoxLayout *layout = new QHBoxLayout(notice);
    noticeLabel = new QLabel(notice);
    noticeLabel->setWordWrap(true);
    noticeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *retry = new QPushButton(tr("再試行"), notice);
    layout->addWidget(noticeLabel, 1);
    layout->addWidget(retry, 0);
    connect(retry, SIGNAL(clicked()), retryAction, SLOT(trigger()));
    notice->setVisible(false);
    centralLayout->addWidget(notice, 0);
}

// The size, place and columns the window had when it was last closed; on the
// first start, a good part of the screen, centred.
void MainWindow::restoreWindowState()
{
    const QSettings settings(windowSettingsPath(), QSettings::IniFormat);
    reviewAction->setChecked(settings.value(QStringLiteral("reviewFirst"), false).toBool());
    if (restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray())) {
        restoreState(settings.value(QStringLiteral("state")).toByteArray());
        table->setColumnWidths(settings.value(QStringLiteral("columns")).toList());
        return;
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QSize size = (available.size() * firstStartShare).expandedTo(minimumSize());
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
}

void MainWindow::saveWindowState() const
{
    QSettings settings(windowSettingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("state"), saveState());
    settings.setValue(QStringLiteral("columns"), table->columnWidths());
    settings.setValue(QStringLiteral("reviewFirst"), reviewAction->isChecked());
}

QString MainWindow::windowSettingsPath()
{
    // Beside option.xml in the user's configuration folder; option.xml
    // keeps its own format.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("window.ini"));
}

// Loads the options, starts the renamer on its thread and hands it the files
// of the command line.
void MainWindow::startRenamer()
{
    // Decided once: the file read is the file written back.
    optionPath = Option::filePath();
    option = Option::loadFromFile(optionPath);

    renamer = new Renamer(option);
    pageCache.reset(new PageCache);
    connect(pageCache.data(), SIGNAL(failed(QString)), this, SLOT(onCacheFailed(QString)));
    renamer->setPageCache(pageCache);
    journal.reset(new Journal);
    journal->beginRun(QStringLiteral("window"));
    sayJournalFailure();
    renamer->setJournal(journal);
    renamer->setPauseWhenUnreachable(true);
    workerThread = new QThread;
    connect(renamer, SIGNAL(created(QList<EntryPtr>)), this, SLOT(onCreated(QList<EntryPtr>)));
    connect(renamer, SIGNAL(started(EntryPtr, RequestPtr)), this,
            SLOT(onStarted(EntryPtr, RequestPtr)));
    connect(renamer, SIGNAL(finished(EntryPtr, RequestPtr)), this,
            SLOT(onFinished(EntryPtr, RequestPtr)));
    connect(renamer, SIGNAL(allFinished()), this, SLOT(onAllFinished()));
    connect(renamer, SIGNAL(shopUnreachable(QString, QString, QString)), this,
            SLOT(onShopUnreachable(QString, QString, QString)));
    connect(workerThread, SIGNAL(started()), renamer, SLOT(doWork()));

    // Files named on the command line are queued while the renamer still
    // lives on this thread, so their rows exist before the window is shown.
    addFiles(QCoreApplication::arguments().mid(1));

    renamer->moveToThread(workerThread);
    workerThread->start();
}

void MainWindow::finalize()
{
    if (!initialized)
        return;
    initialized = false;

    disconnect(renamer, nullptr, this, nullptr);
    Renamer::stop(renamer, workerThread);

    Option::saveToFile(option, optionPath);
    saveWindowState();
}

void MainWindow::setCloseWhenIdle(const QString &snapshot)
{
    if (!initialized)
        return;
    snapshotFile = snapshot;
    // allFinished arrives after the finished signals before it, so every row
    // is up to date when the window closes.
    connect(renamer, SIGNAL(allFinished()), this, SLOT(closeIfIdle()));
    // The queue may have run empty before the connection: look once now.
    QTimer::singleShot(0, this, SLOT(closeIfIdle()));
}

void MainWindow::onCreated(QList<EntryPtr> entries)
{
    int total = 0;
    renamer->counts(&total);
    // A row for every entry ever made, those taken out of the list too
    // (hidden): the row of an entry is its number.
    if (!entries.isEmpty())
        table->setRowCount(qMax(table->rowCount(), entries.last()->number() + 1));

    for (const EntryPtr &entry : qAsConst(entries)) {
        const QString identity = FileIdentity::of(entry->fileInfo().absoluteFilePath()).key();
        waitingFiles.insert(identity, entry->fileInfo().absoluteFilePath());
        entryFiles.insert(entry->number(), identity);
        listedEntries.insert(entry->number(), entry);
        recognisedPaths.insert(entry->fileInfo().absoluteFilePath());
        const PluginInterface *plugin = entry->plugin();
        const QString host = plugin ? plugin->information()->support : QString();
        const QStringList texts = {entry->id(),
                                   host,
                                   Entry::statusLabel(entry->status()),
                                   entry->fileInfo().fileName(),
                                   entry->newName(),
                                   entry->message()};
        for (int column = 0; column < ColumnCount; ++column) {
            QTableWidgetItem *item = new QTableWidgetItem(texts.at(column));
            item->setToolTip(texts.at(column));
            table->setItem(entry->number(), column, item);
        }
    }

    progressBar->setMaximum(total);
    statusLabel->setText(summaryText());
    dropArea->setCompact(total > 0);
    executeButton->setVisible(total > 0);
    stopButton->setVisible(total > 0);
}

void MainWindow::onStarted(EntryPtr entry, RequestPtr)
{
    progressBar->setVisible(true);
    table->followRow(entry->number());
    if (table->item(entry->number(), StateColumn)) {
        const QString label = Entry::statusLabel(entry->status());
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {%2}").arg(QLatin1String(Q_FUNC_INFO),
                                                                   label);
        setCellText(entry->number(), StateColumn, label);
    }
    setCellText(entry->number(), CommentColumn, entry->message());
}

void MainWindow::onFinished(EntryPtr entry, RequestPtr)
{
    const int row = entry->number();
    const int status = entry->status();
    if (status == Entry::Done || status == Entry::Error)
        waitingFiles.remove(entryFiles.value(row));
    if (status == Entry::Done)
        renamedRows.insert(entry->fileInfo().absoluteDir().filePath(entry->newName()), row);
    showEntry(entry);
    sayJournalFailure();
    progressBar->setValue(renamer->finishedCount());
    statusLabel->setText(summaryText());
    if (closeAfterStop && !isBusy())
        close();
}

void MainWindow::showEntry(const EntryPtr &entry)
{
    const int row = entry->number();
    const int status = entry->status();
    setCellText(row, StateColumn, Entry::statusLabel(status));
    setCellText(row, NewNameColumn, entry->newName());
    setCellText(row, CommentColumn, entry->message());
    // The comment says in plain words why a page failed; the tool tip adds
    // Qt's own text for each failed page, for a report or a search.
    QTableWidgetItem *comment = table->item(row, CommentColumn);
    if (comment && status != Entry::Done && !entry->detail().isEmpty())
        comment->setToolTip(entry->message() + QStringLiteral("\n\n") + entry->detail());

    QColor colour;
    if (status == Entry::Error)
        colour = QColor(QStringLiteral("red"));
    else if (status == Entry::Done)
        colour = QColor(QStringLiteral("forestgreen"));
    setRowColour(row, colour);
}

void MainWindow::setRowColour(int row, const QColor &colour)
{
    const QBrush brush(colour, Qt::SolidPattern);
    for (int column = 0; column < ColumnCount; ++column) {
        if (QTableWidgetItem *item = table->item(row, column))
            item->setForeground(brush);
    }
}

void MainWindow::onAllFinished() {}

void MainWindow::onDropped(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return;
    QStringList paths;
    const QList<QUrl> urls = mimeData->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        // The name's bytes as the file manager sent them: a name invalid in
        // the locale's encoding would decode to another file's name or none.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!FileRename::survivesDecoding(bytes)) {
            qCDebug(lcZorv).noquote() << QStringLiteral("%1 {file name not valid in the system's "
                                                        "encoding, skipped: %2}")
                                             .arg(QLatin1String(Q_FUNC_INFO), url.toLocalFile());
            statusBar()->showMessage(
                tr("ファイル名の文字コードが不正なので飛ばしました: %1").arg(url.toLocalFile()),
                10000);
            continue;
        }
        paths.append(url.toLocalFile());
    }
    addFiles(paths);
}

void MainWindow::onReceived(const QStringList &paths)
{
    addFiles(paths);
    // A second start asked for this window: bring it to the user.
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::onTriggered_menu_file_open()
{
    QFileDialog dialog(this, tr("ZORV:開く"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() == QDialog::Accepted)
        addFiles(dialog.selectedFiles());
}

void MainWindow::addFiles(const QStringList &paths)
{
    // After finalize() there is no worker left to hand files to.
    if (!renamer)
        return;
    // Folders are not expanded: a folder goes to the plug-ins under its own name.
    // A file still waiting in the list (dropped twice, also through a linked
    // folder, or handed over again by a second double-click) is not added
    // again: its second row could only fail, the first having renamed it.
    // One look per file, so that thousands are added at once.
    QList<QFileInfo> files;
    QSet<QString> added;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        const QString identity = FileIdentity::of(path).key();
        if (file.exists() && !isWaiting(identity) && !added.contains(identity)) {
            added.insert(identity);
            files.append(file);
        }
    }
    recognisedPaths.clear();
    renamer->add(files, reviewAction->isChecked());
    QStringList unrecognised;
    for (const QFileInfo &file : qAsConst(files)) {
        if (!recognisedPaths.contains(file.absoluteFilePath()))
            unrecognised.append(file.absoluteFilePath());
    }
    sayUnrecognised(unrecognised);
}

// A file no plug-in knows an ID in gets no row: the status line counts
// them, and the log names them.
void MainWindow::sayUnrecognised(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    for (const QString &path : paths)
        qCInfo(lcZorv).noquote() << QStringLiteral("%1 {no product ID that a plug-in knows: %2}")
                                        .arg(QLatin1String(Q_FUNC_INFO), path);
    statusBar()->showMessage(
        tr("製品 ID が見つからないファイル: %1 個（名前はログにあります）").arg(paths.size()),
        30000);
}

// Renames the previewed rows, from the pages their preview read.
void MainWindow::onTriggered_menu_tool_execute()
{
    const QList<EntryPtr> requeued = renamer->requeue(entriesIn({Entry::Preview}), true);
    for (const EntryPtr &entry : requeued)
        showEntry(entry);
    if (requeued.isEmpty())
        statusBar()->showMessage(tr("変更を実行するプレビューの行はありません。"), 10000);
    statusLabel->setText(summaryText());
}

void MainWindow::onTriggered_menu_tool_stop()
{
    const QList<EntryPtr> stopped = renamer->stopWaiting();
    for (const EntryPtr &entry : stopped)
        showEntry(entry);
    notice->setVisible(false);
    if (!stopped.isEmpty() || isBusy())
        statusBar()->showMessage(
            tr("停止しました。処理中のファイルはそのページを終えてから止まります。"), 10000);
}

// Failed and stopped rows go back in the queue, and a run held for an
// unreachable shop goes on. A file gone meanwhile stays as it is, and a
// failed file dropped again keeps its newer row.
void MainWindow::onTriggered_menu_tool_retry()
{
    notice->setVisible(false);
    renamer->resume();
    QList<EntryPtr> again;
    for (const EntryPtr &entry : entriesIn({Entry::Error, Entry::Stopped})) {
        const bool failed = entry->status() == Entry::Error;
        if (QFileInfo::exists(entry->fileInfo().absoluteFilePath()) &&
            !(failed && isWaiting(entryFiles.value(entry->number()))))
            again.append(entry);
    }
    for (const EntryPtr &entry : renamer->requeue(again)) {
        waitingFiles.insert(entryFiles.value(entry->number()),
                            entry->fileInfo().absoluteFilePath());
        showEntry(entry);
    }
    progressBar->setValue(renamer->finishedCount());
    statusLabel->setText(summaryText());
}

// Rows taken out of the list are never looked up or renamed; the one in
// progress stays.
void MainWindow::onRemovalRequested(QList<int> rows)
{
    QList<EntryPtr> wanted;
    for (const int row : rows) {
        if (listedEntries.contains(row))
            wanted.append(listedEntries.value(row));
    }
    for (const EntryPtr &entry : renamer->remove(wanted)) {
        const int row = entry->number();
        table->setRowHidden(row, true);
        listedEntries.remove(row);
        // A finished file is no longer waiting (a newer row may wait for it).
        const int status = entry->status();
        const QString identity = entryFiles.take(row);
        if (status != Entry::Done && status != Entry::Error)
            waitingFiles.remove(identity);
    }
    int total = 0;
    renamer->counts(&total);
    progressBar->setMaximum(total);
    progressBar->setValue(renamer->finishedCount());
    statusLabel->setText(summaryText());
}

// Said once, above the table; the rows that did not run stay waiting.
void MainWindow::onShopUnreachable(QString host, QString proxy, QString reason)
{
    reason.remove(QLatin1Char('\''));
    noticeLabel->setText(
        proxy.isEmpty()
            ? tr("ショップ %1 に接続できません（%2）。ネットワークかプロキシの設定（http_proxy）に"
                 "問題があるかもしれません。接続を確かめてから「再試行」を押してください。残りのフ"
                 "ァイルは待機しています。")
                  .arg(host, reason)
            : tr("ショップ %1 にプロキシ %2 を通して接続できません（%3）。プロキシの設定（http_"
                 "proxy）かネットワークに問題があるかもしれません。接続を確かめてから「再試行」を押"
                 "してください。残りのファイルは待機しています。")
                  .arg(host, proxy, reason));
    notice->setVisible(true);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    int unfinished = 0;
    for (const EntryPtr &entry : qAsConst(listedEntries)) {
        const int status = entry->status();
        unfinished += status == Entry::Waiting || status == Entry::Processing ? 1 : 0;
    }
    if (!initialized || closeAfterStop || unfinished == 0) {
        event->accept();
        return;
    }
    QMessageBox question(
        QMessageBox::Question, tr("ZORV:終了"),
        tr("%1 個のファイルがまだ終わっていません。停止して終了しますか？").arg(unfinished),
        QMessageBox::Cancel, this);
    QPushButton *quit = question.addButton(tr("停止して終了(&Q)"), QMessageBox::AcceptRole);
    question.setDefaultButton(QMessageBox::Cancel);
    question.exec();
    if (question.clickedButton() != quit) {
        event->ignore();
        return;
    }
    onTriggered_menu_tool_stop();
    closeAfterStop = true;
    if (isBusy()) {
        // The page in progress is finished first; onFinished closes then.
        statusBar()->showMessage(tr("停止しています。処理中のファイルが終わると閉じます。"));
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::onTriggered_menu_tool_config()
{
    ConfigDialog dialog(this);
    dialog.setOption(option);
    dialog.exec();
}

// Takes back what this window renamed, after the user has seen how many
// files it touches, and says file by file what came of it.
void MainWindow::onTriggered_menu_tool_undo()
{
    const QString title = tr("ZORV:元に戻す");
    const qint64 run = journal->run();
    // The worker may rename more while the user is asked: only what was
    // counted is taken back.
    const int lastSeq = journal->lastSequence();
    const QList<Undo::Step> planned = Undo(*journal).undo(run, true, journal->path(), lastSeq);
    int count = 0;
    for (const Undo::Step &step : planned)
        count += step.state == Undo::Step::Preview ? 1 : 0;
    if (count == 0) {
        QString text = tr("元に戻せるファイルはありません。");
        if (!journal->failure().isEmpty())
            text += QLatin1Char('\n') + journalFailureText();
        QMessageBox::information(this, title, text);
        return;
    }
    if (QMessageBox::question(
            this, title, tr("%1 個のファイルの名前を元に戻します。よろしいですか？").arg(count)) !=
        QMessageBox::Yes)
        return;

    int done = 0;
    QStringList notDone;
    for (const Undo::Step &step : Undo(*journal).undo(run, false, journal->path(), lastSeq)) {
        if (step.state != Undo::Step::Done) {
            notDone.append(QStringLiteral("%1: %2").arg(step.from, step.message));
            continue;
        }
        ++done;
        const QString path = QDir(step.folder).filePath(step.from);
        showTakenBack(renamedRows.value(path, -1), step.to, step.message);
        renamedRows.remove(path);
    }
    QString report = tr("%1 個のファイルを元に戻しました。").arg(done);
    if (!notDone.isEmpty())
        report +=
            tr("\n%1 個はそのままです:\n").arg(notDone.size()) + notDone.join(QLatin1Char('\n'));
    QMessageBox::information(this, title, report);
}

void MainWindow::onTriggered_menu_tool_clearCache()
{
    QString error;
    if (pageCache->clear(&error))
        statusBar()->showMessage(tr("ページキャッシュを空にしました。"), 10000);
    else
        QMessageBox::warning(this, tr("ZORV:ページキャッシュ"),
                             tr("ページキャッシュ %1 を空にできませんでした: %2")
                                 .arg(QDir::toNativeSeparators(pageCache->path()), error));
}

// Said once; the files go on without the cache, or with a new one.
void MainWindow::onCacheFailed(const QString &problem)
{
    statusBar()->showMessage(tr("ページキャッシュ %1 に問題があります: %2")
                                 .arg(QDir::toNativeSeparators(pageCache->path()), problem),
                             30000);
}

// A journal that cannot be written leaves the renames without an undo: the
// user learns it when it happens, in the window, not on a standard error
// nobody reads. Said once, in the status bar as the cache's problems are.
void MainWindow::sayJournalFailure()
{
    if (journalFailureSaid || journal->failure().isEmpty())
        return;
    journalFailureSaid = true;
    statusBar()->showMessage(journalFailureText());
}

QString MainWindow::journalFailureText() const
{
    return tr("記録 %1 に書き込めません (%2)。名前の変更は記録されず、元に戻せません。")
        .arg(QDir::toNativeSeparators(journal->path()), journal->failure());
}

void MainWindow::onTriggered_menu_help_about()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::onTriggered_menu_help_plugin()
{
    PluginDialog dialog(this);
    dialog.exec();
}

void MainWindow::onTriggered_menu_help_library()
{
    LibraryDialog dialog(this);
    dialog.exec();
}

void MainWindow::closeIfIdle()
{
    if (!renamer)
        return;
    int pending = 0;
    renamer->counts(nullptr, &pending);
    if (pending > 0)
        return;
    if (!snapshotFile.isEmpty()) {
        // The last texts are set, but their widgets are laid out anew only
        // when the event loop comes round.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const bool saved = grab().save(snapshotFile);
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {snapshot: %2 %3}")
                                         .arg(QLatin1String(Q_FUNC_INFO), snapshotFile,
                                              saved ? QStringLiteral("saved")
                                                    : QStringLiteral("failed"));
    }
    qCDebug(lcZorv).noquote()
        << QStringLiteral("%1 {idle, closing the window.}").arg(QLatin1String(Q_FUNC_INFO));
    close();
}

QString MainWindow::summaryText() const
{
    int total = 0;
    int failed = 0;
    renamer->counts(&total, nullptr, nullptr, &failed);
    return QStringLiteral("%1 (%2 / %3) %4 : %5")
        .arg(tr("　タスク"), QString::number(renamer->finishedCount()), QString::number(total),
             tr("エラー"), QString::number(failed));
}

// The file bears its old name again: the row says so where the new name stood.
void MainWindow::showTakenBack(int row, const QString &oldName, const QString &message)
{
    setCellText(row, StateColumn, tr("元に戻し済み"));
    setCellText(row, NewNameColumn, oldName);
    setCellText(row, CommentColumn, message);
    setRowColour(row, QColor());
}

QList<EntryPtr> MainWindow::entriesIn(const QList<int> &statuses) const
{
    QList<EntryPtr> entries;
    for (const EntryPtr &entry : listedEntries) {
        if (statuses.contains(entry->status()))
            entries.append(entry);
    }
    return entries;
}

// A row waits for the file, as long as the file is still where it was handed
// over: one deleted meanwhile may leave its identity to a new file.
bool MainWindow::isWaiting(const QString &identity) const
{
    const auto found = waitingFiles.constFind(identity);
    return found != waitingFiles.constEnd() && FileIdentity::of(found.value()).key() == identity;
}

// A page is being fetched or read; once the run is stopped, nothing else starts.
bool MainWindow::isBusy() const
{
    return !entriesIn({Entry::Processing}).isEmpty();
}

void MainWindow::setCellText(int row, int column, const QString &text)
{
    // Rows exist for every entry ever created; a missing cell is skipped.
    if (QTableWidgetItem *item = table->item(row, column)) {
        item->setText(text);
        item->setToolTip(text);
    }
}

} // namespace zorv
