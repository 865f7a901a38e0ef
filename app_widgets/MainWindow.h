#pragma once

#include "data/Entry.h"
#include "data/Option.h"
#include "data/Request.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

class QLabel;
class QMenuBar;
class QMimeData;
class QProgressBar;
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
    void onTriggered_menu_tool_config();
    void onTriggered_menu_tool_undo();
    void onTriggered_menu_tool_clearCache();
    void onCacheFailed(const QString &problem);
    void onTriggered_menu_help_about();
    void onTriggered_menu_help_plugin();
    void onTriggered_menu_help_library();
    void closeIfIdle();

private:
    void createMenus();
    void createStatusBar();
    void createCentralWidget();
    void restoreWindowState();
    void saveWindowState() const;
    static QString windowSettingsPath();
    void startRenamer();
    void addFiles(const QStringList &paths);
    QString summaryText() const;
    void setCellText(int row, int column, const QString &text);

    bool initialized;
    QMenuBar *mainMenuBar;
    QStatusBar *mainStatusBar;
    QProgressBar *progressBar;
    QLabel *statusLabel;
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
    // Files handed to the renamer that have not finished yet, by identity
    // (the same file through a linked folder too), and each entry's file.
    QSet<QString> waitingFiles;
    QHash<int, QString> entryFiles;
    QString optionPath;
    QString snapshotFile;
};

} // namespace zorv
