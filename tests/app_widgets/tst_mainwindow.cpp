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

// The window with the store plug-in and the local shop: files from a drop or
// ファイル/開く get rows that follow the renamer to the end; every menu opens
// from the keyboard. (Files of the command line: tst_zorvprocess.)
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
        qputenv("XDG_CACHE_HOME", work.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
        shop.addCatalogue(TestPaths::dataFile(QStringLiteral("pages")));
        qputenv("http_proxy", shop.proxyUrl().toLatin1());
        QVERIFY(plugins.load(TestPaths::pluginBuildDir()));
        window = new zorv::MainWindow;
        QVERIFY(window->initialize());
        table = window->findChild<QTableWidget *>();
        window->show();
    }
    void cleanupTestCase() { delete window; }

    // A drop adds only existing local paths, a folder as itself and not its
    // contents; ファイル/開く adds its files as a drop does.
    void filesAreAdded()
    {
        QTemporaryDir scene;
        const QDir folder(scene.path());
        QVERIFY(folder.mkpath(QStringLiteral("RJ100001 folder")));
        for (const char *name :
             {"RJ100001 folder/RJ100002.zip", "RJ999999.zip", "RJ100001 b.zip", "text.zip"})
            QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
        QMimeData data;
        QList<QUrl> urls = {QUrl(QStringLiteral("http://www.sakuvo.example/RJ100003.zip"))};
        // The same file twice gets one row.
        for (const char *name :
             {"RJ999999.zip", "RJ100001 folder", "RJ100002 gone.zip", "RJ999999.zip"})
            urls.append(QUrl::fromLocalFile(folder.filePath(QString::fromUtf8(name))));
        data.setUrls(urls);
        data.setText(folder.filePath(QStringLiteral("text.zip")));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->findChild<zorv::DropArea *>(), &enter);
        QDropEvent drop(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->findChild<zorv::DropArea *>(), &drop);
        ModalWatcher<QFileDialog> watcher([&](QFileDialog *dialog) {
            // What the user types: selectFile() leaves a focused name field alone.
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(folder.filePath(QStringLiteral("RJ100001 b.zip")));
            QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
        });
        choose(Qt::Key_F, Qt::Key_O);

        QTRY_COMPARE_WITH_TIMEOUT(summary(), QStringLiteral("\u3000タスク (3 / 3) エラー : 1"),
                                  60000);
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows.append(text(row, OldNameColumn) + ' ' + text(row, StateColumn));
        QCOMPARE(rows, (QStringList{"RJ999999.zip エラー", "RJ100001 folder 完了",
                                    "RJ100001 b.zip 完了"}));
        QVERIFY(text(0, CommentColumn).contains(QLatin1String("Not Found")));
        QCOMPARE(text(2, NewNameColumn),
                 "[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] .zip");
        // ツール/ページキャッシュを空にする empties the cache the run filled.
        choose(Qt::Key_T, Qt::Key_E);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("ページキャッシュを空にしました。"));
    }

    // Each dialog of the Help menu is a modal child of the window.
    void menuOpensDialog()
    {
        const QList<std::tuple<Qt::Key, QString>> items = {{Qt::Key_A, "zorv::AboutDialog"},
                                                           {Qt::Key_P, "zorv::PluginDialog"},
                                                           {Qt::Key_L, "zorv::LibraryDialog"}};
        for (const auto &item : items) {
            QString shown;
            ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
                if (dialog->parentWidget() == window)
                    shown = QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            });
            choose(Qt::Key_H, std::get<0>(item));
            QTRY_COMPARE(shown, std::get<1>(item));
        }
    }

    // Tools/Configuration edits the live options; Ctrl+Q closes the window as
    // the user does, and the shut-down saves them to the configuration folder.
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
        english.finalize();
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
