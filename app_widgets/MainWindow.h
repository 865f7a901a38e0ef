#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

class QAction;
class QColor;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QMimeData;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QThread;
class QVBoxLayout;

namespace zorv {

class DropArea;
class Journal;
class PageCache;
class Renamer;
class ResultTable;

// The program's only top-level window: drop area, result table, status line
// and menus. It owns the live options, the renamer and the renamer's thread.
// The user stays in control of a run: files may be looked up for review
// before they are renamed, the run stopped, failed and stopped rows tried
// again; quitting during a run asks first, and a shop that cannot be reached
// holds the run with one notice above the table.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Builds the window, loads the options and starts the worker.
    bool initialize();
    // Stops the worker and saves the options.
    void finalize();

    // Automation hook for scripts and process tests, off by default: once the
    // renamer has nothing left to do, the window saves a picture of itself to
    // snapshotFile (when one is given) and closes, which ends the run like a
    // user closing it. Call after initialize().
    void setCloseWhenIdle(const QString &snapshotFile = QString());

public slots:
    // Files a later start of the program handed over: added as if dropped,
    // and the window comes to the front.
    void onReceived(const QStringList &paths);

private slots:
    void onCreated(QList<EntryPtr> entries);
    void onStarted(EntryPtr entry, RequestPtr request);
    void onFinished(EntryPtr entry, RequestPtr request);
    void onAllFinished();
    void onDropped(const QMimeData *mimeData);
    void onTriggered_menu_file_open();
    void onTriggered_menu_tool_execute();
    void onTriggered_menu_tool_stop();
    void onTriggered_menu_tool_retry();
    void onTriggered_menu_tool_config();
    void onTriggered_menu_tool_undo();
    void onTriggered_menu_tool_clearCache();
    void onCacheFailed(const QString &problem);
    void onRemovalRequested(QList<int> rows);
    void onShopUnreachable(QString host, QString proxy, QString reason);
    void onTriggered_menu_help_about();
    void onTriggered_menu_help_plugin();
    void onTriggered_menu_help_library();
    void closeIfIdle();

protected:
    // During a run, asks whether to stop and quit; the answer quit stops the
    // run, and the window closes once the page in progress is done.
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void addRunActions(QMenu *menu);
    void createStatusBar();
    void createCentralWidget();
    void createNotice(QWidget *parent);
    void restoreWindowState();
    void saveWindowState() const;
    static QString windowSettingsPath();
    void startRenamer();
    void addFiles(const QStringList &paths);
    void sayUnrecognised(const QStringList &paths);
    QString summaryText() const;
    void sayJournalFailure();
    QString journalFailureText() const;
    void setCellText(int row, int column, const QString &text);
    // The row as the entry now stands: state, new name, comment and colour.
    void showEntry(const EntryPtr &entry);
    void setRowColour(int row, const QColor &colour);
    void showTakenBack(int row, const QString &oldName, const QString &message);
    // The listed entries in one of these states, in row order.
    QList<EntryPtr> entriesIn(const QList<int> &statuses) const;
    bool isWaiting(const QString &identity) const;
    bool isBusy() const;

    bool initialized;
    QMenuBar *mainMenuBar;
    QStatusBar *mainStatusBar;
    QProgressBar *progressBar;
    QLabel *statusLabel;
    QPushButton *executeButton = nullptr;
    QPushButton *stopButton = nullptr;
    QAction *reviewAction = nullptr;
    QAction *executeAction = nullptr;
    QAction *stopAction = nullptr;
    QAction *retryAction = nullptr;
    // Above the table: the shop cannot be reached, with a button to go on.
    QFrame *notice = nullptr;
    QLabel *noticeLabel = nullptr;
    QVBoxLayout *centralLayout;
    DropArea *dropArea;
    ResultTable *table;
    QThread *workerThread;
    Renamer *renamer;
    QSharedPointer<Option> option;
    // This window's run in the journal, and the rows of the files it renamed
    // by their new path, for the undo.
    QSharedPointer<Journal> journal;
    // Pages kept between runs, shared with the renamer, which uses it on its thread.
    QSharedPointer<PageCache> pageCache;
    QHash<QString, int> renamedRows;
    // Files handed to the renamer that have not finished yet (also stopped
    // and previewed ones): their paths by identity (the same file through a
    // linked folder too), and each entry's file.
    QHash<QString, QString> waitingFiles;
    QHash<int, QString> entryFiles;
    // The entries in the list by row, and the files the last add made entries of.
    QMap<int, EntryPtr> listedEntries;
    QSet<QString> recognisedPaths;
    // Quit was answered during a run: the window closes once it has stopped.
    bool closeAfterStop = false;
    bool journalFailureSaid = false;
    QString optionPath;
    QString snapshotFile;
};

} // namespace zorv
