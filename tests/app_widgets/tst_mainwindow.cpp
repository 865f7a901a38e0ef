#include "DropArea.h"
#include "MainWindow.h"
#include "ModalWatcher.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "Translation.h"
#include "plugin/PluginManager.h"
#include "renamer/RepairProcess.h"

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
    zorv::DropArea *dropArea() const { return window->findChild<zorv::DropArea *>(); }

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
        zorv::RepairProcess::setHelperProgram(TestPaths::repairHelper());
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
        QVERIFY(folder.mkpath(QStringLiteral("RJ100001 folder")) &&
                QFile::link(folder.path(), folder.filePath("linked")));
        for (const char *name :
             {"RJ100001 folder/RJ100002.zip", "RJ999999.zip", "RJ100001 b.zip", "text.zip"})
            QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
        QMimeData onArea;
        QMimeData onTable;
        onArea.setUrls({QUrl(QStringLiteral("http://www.sakuvo.example/RJ100003.zip")),
                        QUrl::fromLocalFile(folder.filePath("RJ999999.zip")),
                        QUrl::fromLocalFile(folder.filePath("RJ100001 folder"))});
        onArea.setText(folder.filePath(QStringLiteral("text.zip")));
        // The same file twice, also through a linked folder, gets one row;
        // the table takes drops too.
        onTable.setUrls({QUrl::fromLocalFile(folder.filePath("RJ100002 gone.zip")),
                         QUrl::fromLocalFile(folder.filePath("RJ999999.zip")),
                         QUrl::fromLocalFile(folder.filePath("linked/RJ999999.zip"))});
        // The first row's state and colour as each change leaves them: after
        // a failed page it waits for the next one in the default colour,
        // never shown as done.
        QStringList states;
        const auto watch = connect(table, &QTableWidget::itemChanged, [&](QTableWidgetItem *item) {
            if (item->row() == 0 && item->column() == StateColumn)
                states << item->text() + ' ' + item->foreground().color().name();
        });
        for (QWidget *target : {static_cast<QWidget *>(dropArea()), table->viewport()}) {
            QMimeData *data = target == dropArea() ? &onArea : &onTable;
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            QDropEvent drop(QPointF(6, 6), Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &drop);
        }
        ModalWatcher<QFileDialog> watcher([&](QFileDialog *dialog) {
            // What the user types: selectFile() leaves a focused name field alone.
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(folder.filePath(QStringLiteral("RJ100001 b.zip")));
            QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
        });
        choose(Qt::Key_F, Qt::Key_O);

        QTRY_COMPARE_WITH_TIMEOUT(summary(), QStringLiteral("\u3000タスク (3 / 3) エラー : 1"),
                                  60000);
        disconnect(watch);
        QVERIFY2(states.contains("待機 #000000") &&
                     states.filter(QRegularExpression("完了|#228b22")).isEmpty(),
                 qPrintable(states.join(", ")));
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows.append(text(row, OldNameColumn) + ' ' + text(row, StateColumn));
        QCOMPARE(rows, (QStringList{"RJ999999.zip エラー", "RJ100001 folder 完了",
                                    "RJ100001 b.zip 完了"}));
        // Plain words in the comment, Qt's own in its tool tip.
        QCOMPARE(text(0, CommentColumn), "ページが見つかりません (404)");
        QVERIFY(table->item(0, CommentColumn)->toolTip().contains("server replied: Not Found"));
        // The drop area gives its room to the rows.
        QTRY_VERIFY(dropArea()->height() * 4 < table->height());
        // Ctrl+C copies the chosen rows as the user sees them, tab-separated.
        table->setFocus();
        table->selectRow(0);
        table->selectionModel()->select(table->model()->index(2, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keySequence(table, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 "エラー\tRJ999999.zip\t\tページが見つかりません (404)\n完了\tRJ100001 b.zip\t"
                 "[夜想曲工房] 星降る夜のオルゴール [RJ100001] [R-18] [2014-01-05] .zip\t\n");
        // ツール/ページキャッシュを空にする empties the cache the run filled.
        choose(Qt::Key_T, Qt::Key_E);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("ページキャッシュを空にしました。"));
    }

    // Tab and Shift+Tab leave the table for the drop area, where Enter asks
    // for files to open.
    void keyboardReach()
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            table->setFocus();
            QTest::keyClick(table, key);
            QCOMPARE(QApplication::focusWidget(), dropArea());
        }
        ModalWatcher<QFileDialog> watcher([](QFileDialog *dialog) { dialog->reject(); });
        QTest::keyClick(dropArea(), Qt::Key_Return);
        QVERIFY(watcher.handled());
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
    // the user does, and the shut-down saves them to the configuration folder,
    // with the window's place and size and a column the user sized, which
    // the next start restores.
    void configureQuitAndRestart()
    {
        window->setGeometry(30, 40, 500, 300);
        table->horizontalHeader()->resizeSection(OldNameColumn, 123);
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
        zorv::MainWindow again;
        QVERIFY(again.initialize());
        QCOMPARE(again.geometry(), QRect(30, 40, 500, 300));
        QCOMPARE(again.findChild<QTableWidget *>()->columnWidth(OldNameColumn), 123);
        again.finalize();
    }

    // The window speaks the locale's language (LANG=en_US.UTF-8 sets
    // English), and so do Qt's own buttons and dialogs.
    void languages_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("menus");
        QTest::addColumn<QString>("cancel"); // Qt's own text
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                 << QStringList{"&File", "&Tools", "&Help"} << "Cancel";
        QTest::newRow("Japanese") << QLocale(QLocale::Japanese, QLocale::Japan)
                                  << QStringList{"ファイル(&F)", "ツール(&T)", "ヘルプ(&H)"}
                                  << "キャンセル";
        QTest::newRow("German, which has no translation: Japanese")
            << QLocale(QLocale::German, QLocale::Germany)
            << QStringList{"ファイル(&F)", "ツール(&T)", "ヘルプ(&H)"} << "キャンセル";
    }

    void languages()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, menus);
        QFETCH(QString, cancel);
        QLocale::setDefault(locale);
        zorv::Translation::install();
        zorv::MainWindow window;
        QVERIFY(window.initialize());
        QStringList shown;
        for (const QAction *action : window.menuBar()->actions())
            shown << action->text();
        QCOMPARE(shown, menus);
        window.finalize();
        const QString qtTexts =
            QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm";
        if (cancel != "Cancel" && !QFile::exists(qtTexts))
            QSKIP(qPrintable(qtTexts + " is missing (Debian: qttranslations5-l10n)"));
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel).buttons().value(0)->text(), cancel);
    }
};

ZORV_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
