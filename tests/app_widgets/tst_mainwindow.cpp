#include "DropArea.h"
#include "MainWindow.h"
#include "ModalWatcher.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "Translation.h"
#include "plugin/PluginManager.h"

#include <QtTest>
#include <QtWidgets>

enum Column { IdColumn, HostColumn, StateColumn, OldNameColumn, NewNameColumn, CommentColumn };

// The window with the store plug-in and the local shop: files from the command
// line, a drop or ファイル/開く get rows that follow the renamer to the end;
// every menu opens from the keyboard.
class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    TestShop shop;
    zorv::PluginManager plugins;
    zorv::MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    QString text(int row, int column) const
    {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    QString summary() const { return window->statusBar()->findChild<QLabel *>()->text(); }
    bool idle() const
    {
        const QString state = text(table->rowCount() - 1, StateColumn);
        return state == QStringLiteral("完了") || state == QStringLiteral("エラー");
    }
    void drop(const QList<QUrl> &urls, const QString &plainText)
    {
        QMimeData data;
        data.setUrls(urls);
        data.setText(plainText);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->findChild<zorv::DropArea *>(), &enter);
        QDropEvent event(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->findChild<zorv::DropArea *>(), &event);
    }

    // Opens a menu by its mnemonic and an item by its own.
    void choose(Qt::Key menuKey, Qt::Key itemKey)
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, menuKey, Qt::AltModifier);
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::keyClick(menu, itemKey);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", work.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
        shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
        qputenv("http_proxy", shop.proxyUrl().toLatin1());
        QVERIFY(plugins.load(TestPaths::pluginBuildDir()));
        window = new zorv::MainWindow;
        QVERIFY(window->initialize());
        table = window->findChild<QTableWidget *>();
        // The two recognised files of the command line have rows before the
        // window shows; the missing one and the one without an ID have none.
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(text(0, OldNameColumn), QStringLiteral("RJ100001 星の本.zip"));
        QCOMPARE(text(1, StateColumn), QStringLiteral("待機"));
        QCOMPARE(summary(), QStringLiteral("\u3000タスク (0 / 2) エラー : 0"));
        window->show();
    }
    void cleanupTestCase() { delete window; }

    void commandLineFilesAreRenamed()
    {
        QTRY_VERIFY_WITH_TIMEOUT(idle() && text(0, StateColumn) != "処理中...", 60000);
        QCOMPARE(text(0, NewNameColumn),
                 "[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] .zip");
        QCOMPARE(table->item(0, CommentColumn)->foreground().color().name(),
                 QStringLiteral("#228b22"));
        QCOMPARE(text(1, StateColumn), QStringLiteral("エラー"));
        QVERIFY(text(1, CommentColumn).contains(QLatin1String("Not Found")));
        QCOMPARE(table->item(1, CommentColumn)->foreground().color().name(),
                 QStringLiteral("#ff0000"));
        QCOMPARE(summary(), QStringLiteral("\u3000タスク (2 / 2) エラー : 1"));
    }

    // A drop adds only existing local paths, a folder as itself and not its
    // contents; ファイル/開く adds its files as a drop does.
    void filesAreAdded()
    {
        QTemporaryDir scene;
        const QDir folder(scene.path());
        QVERIFY(folder.mkpath(QStringLiteral("RJ100001 folder")));
        for (const char *name :
             {"RJ100001 folder/RJ999999.zip", "RJ100001 a.zip", "RJ100001 b.zip", "text.zip"})
            QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
        const int before = table->rowCount();
        QList<QUrl> urls = {QUrl(QStringLiteral("http://www.sakuvo.example/RJ100001.zip"))};
        for (const char *name : {"RJ100001 a.zip", "RJ100001 folder", "RJ100002 gone.zip"})
            urls.append(QUrl::fromLocalFile(folder.filePath(QString::fromUtf8(name))));
        drop(urls, folder.filePath(QStringLiteral("text.zip")));
        ModalWatcher<QFileDialog> watcher([&](QFileDialog *dialog) {
            // What the user types: selectFile() leaves a focused name field alone.
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(folder.filePath(QStringLiteral("RJ100001 b.zip")));
            QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
        });
        choose(Qt::Key_F, Qt::Key_O);
        QStringList added;
        for (int row = before; row < table->rowCount(); ++row)
            added.append(text(row, OldNameColumn));
        QCOMPARE(added, (QStringList{"RJ100001 a.zip", "RJ100001 folder", "RJ100001 b.zip"}));
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    }

    // Each dialog of the menus is a modal child of the window.
    void menuOpensDialog()
    {
        const QList<std::tuple<Qt::Key, Qt::Key, QString>> items = {
            {Qt::Key_T, Qt::Key_C, "zorv::ConfigDialog"},
            {Qt::Key_H, Qt::Key_A, "zorv::AboutDialog"},
            {Qt::Key_H, Qt::Key_P, "zorv::PluginDialog"},
            {Qt::Key_H, Qt::Key_L, "zorv::LibraryDialog"}};
        for (const auto &item : items) {
            QString shown;
            ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
                if (dialog->parentWidget() == window)
                    shown = QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            });
            choose(std::get<0>(item), std::get<1>(item));
            QTRY_COMPARE(shown, std::get<2>(item));
        }
    }

    // The configuration edits the live options; Ctrl+Q closes the window as
    // the user does, and the shut-down saves them. Then drops add nothing.
    void configureAndQuit()
    {
        ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
            dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"))->setValue(4);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        choose(Qt::Key_T, Qt::Key_C);
        QTRY_VERIFY(watcher.handled());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        window->finalize();
        QFile options(work.filePath(QStringLiteral("zorv/option.xml")));
        QVERIFY(options.open(QIODevice::ReadOnly));
        QVERIFY(options.readAll().contains("<space_size>4</space_size>"));
        const int rows = table->rowCount();
        drop({QUrl::fromLocalFile(QCoreApplication::arguments().at(1))}, QString());
        QCOMPARE(table->rowCount(), rows);
    }

    // Under an English locale (as LANG=en_US.UTF-8 sets it) the window speaks English.
    void englishLocale()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(zorv::Translation::install());
        zorv::MainWindow english;
        QVERIFY(english.initialize());
        QStringList menus;
        for (const QAction *action : english.menuBar()->actions())
            menus << action->text();
        QCOMPARE(menus, (QStringList{"&File", "&Tools", "&Help"}));
        QCOMPARE(english.findChild<QTableWidget *>()->horizontalHeaderItem(NewNameColumn)->text(),
                 QStringLiteral("New name"));
        english.finalize();
    }
};

int main(int argc, char *argv[])
{
    // The window reads its files from the application's command line.
    QTemporaryDir folder;
    QByteArrayList arguments = {argv[0]};
    std::vector<char *> appArgv = {argv[0]};
    for (const char *name :
         {"RJ100001 星の本.zip", "RJ100002 missing.zip", "notes.txt", "RJ999999.zip"}) {
        arguments.append(QFile::encodeName(folder.filePath(QString::fromUtf8(name))));
        appArgv.push_back(arguments.last().data());
        if (!arguments.constLast().contains("missing"))
            QFile(QFile::decodeName(arguments.constLast())).open(QIODevice::WriteOnly);
    }
    int appArgc = int(appArgv.size());
    QApplication application(appArgc, appArgv.data());
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
