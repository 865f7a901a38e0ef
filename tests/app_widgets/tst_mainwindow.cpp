#include "DropArea.h"
#include "MainWindow.h"
#include "ModalWatcher.h"
#include "TestPaths.h"
#include "TestShop.h"
#include "Translation.h"
#include "plugin/PluginManager.h"
#include "renamer/RepairProcess.h"

#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <memory>

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

    // Files of these names in the folder; their paths.
    static QStringList makeFiles(const QTemporaryDir &dir, const QStringList &names)
    {
        QStringList paths;
        for (const QString &name : names) {
            QFile file(dir.filePath(name));
            file.open(QIODevice::WriteOnly);
            paths << file.fileName();
        }
        return paths;
    }
    // Drops the files on the drop area as a file manager does.
    void drop(const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dropArea(), &enter);
        QDropEvent dropEvent(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dropArea(), &dropEvent);
    }
    // The listed row of the file of that old name.
    int row(const QString &name) const
    {
        for (int row = 0; row < table->rowCount(); ++row) {
            if (!table->isRowHidden(row) && text(row, OldNameColumn) == name)
                return row;
        }
        return -1;
    }
    QString states(const QStringList &names) const
    {
        QStringList states;
        for (const QString &name : names)
            states << text(row(name), StateColumn);
        return states.join(' ');
    }
    // Whether the shop was asked for a page of any of these IDs.
    bool asked(const QStringList &ids) const
    {
        for (const TestShop::LoggedRequest &request : shop.requests()) {
            for (const QString &id : ids)
                if (request.path.contains(id))
                    return true;
        }
        return false;
    }
    // A product page for each ID at its first address.
    void offer(const QStringList &ids)
    {
        QFile page(TestPaths::dataFile("pages/pc/RJ100001.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        for (const QString &id : ids)
            shop.setPage(TestShop::productPath("home", id), html);
    }
    void hold(const QString &id)
    {
        TestShop::Rule held;
        held.held = true;
        held.times = 1;
        shop.setRule(TestShop::productPath("home", id), held);
    }

    // A key as the user presses it, in the active window.
    void press(QWidget *target, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        activate();
        target->setFocus();
        QTest::keyClick(target, key, modifiers);
    }

    // The offscreen platform leaves a closed menu the active window, which
    // activateWindow() takes for the window itself.
    void activate()
    {
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    // Opens a menu by its mnemonic and an item by its own.
    void choose(Qt::Key menuKey, Qt::Key itemKey)
    {
        activate();
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
        qputenv("XDG_DATA_HOME", work.path().toLocal8Bit());
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

    // With ツール/変更前に確認する the files are only looked up: their rows
    // show the names a run would give (a file without an ID is counted), a
    // row taken out with Delete is left alone, and Ctrl+R renames the others
    // from the pages the preview read, without asking the shop again; an
    // undo shows them under their old names.
    void reviewRenameAndUndo()
    {
        QTemporaryDir dir;
        const QStringList names = {"RJ200001.zip", "RJ200002.zip"};
        const QStringList paths = makeFiles(dir, names + QStringList{"notes.txt"});
        offer({"RJ200001", "RJ200002"});
        choose(Qt::Key_T, Qt::Key_V);
        drop(paths);
        QCOMPARE(window->statusBar()->currentMessage(),
                 "製品 ID が見つからないファイル: 1 個（名前はログにあります）");
        QTRY_COMPARE_WITH_TIMEOUT(states(names), "プレビュー プレビュー", 60000);
        const QString previewed = text(row(names[0]), NewNameColumn);
        QVERIFY2(previewed.contains("[RJ200001]"), qPrintable(previewed));
        for (const QString &path : paths)
            QVERIFY(QFile::exists(path));
        shop.clearRequests();
        table->selectRow(row(names[1]));
        press(table, Qt::Key_Delete);
        QCOMPARE(row(names[1]), -1);
        press(table, Qt::Key_R, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(states(names.mid(0, 1)), "完了", 60000);
        QVERIFY(QFile::exists(dir.filePath(previewed)) && QFile::exists(paths[1]));
        QCOMPARE(shop.requests().size(), 0);
        // Dropped again, the file taken out is looked up anew.
        drop({paths[1]});
        QTRY_COMPARE_WITH_TIMEOUT(states(names.mid(1)), "プレビュー", 60000);
        choose(Qt::Key_T, Qt::Key_V);

        // ツール/元に戻す: the row shows the file's old name again and says so.
        const int renamed = row(names[0]);
        std::unique_ptr<ModalWatcher<QMessageBox>> report;
        ModalWatcher<QMessageBox> confirm([&](QMessageBox *box) {
            report.reset(new ModalWatcher<QMessageBox>([](QMessageBox *box) { box->accept(); }));
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
        });
        choose(Qt::Key_T, Qt::Key_U);
        QTRY_VERIFY(report && report->handled());
        QCOMPARE(QStringList({text(renamed, StateColumn), text(renamed, NewNameColumn),
                              text(renamed, CommentColumn)}),
                 QStringList({"元に戻し済み", names[0], "'元に戻しました。'"}));
        QVERIFY(QFile::exists(paths[0]));
    }

    // Esc on the list stops the run: the file in progress finishes its
    // page, the others wait as stopped and are not asked for; 再試行 then
    // finishes them.
    void stopAndRetry()
    {
        QTemporaryDir dir;
        const QStringList names = {"RJ200003.zip", "RJ200004.zip", "RJ200005.zip"};
        const QStringList paths = makeFiles(dir, names);
        offer({"RJ200003", "RJ200004", "RJ200005"});
        hold("RJ200003");
        drop(paths);
        QTRY_VERIFY_WITH_TIMEOUT(asked({"RJ200003"}), 30000);
        press(table, Qt::Key_Escape);
        QCOMPARE(states(names.mid(1)), "中止 中止");
        shop.release(TestShop::productPath("home", "RJ200003"));
        QTRY_COMPARE_WITH_TIMEOUT(states(names), "完了 中止 中止", 60000);
        QVERIFY(QFile::exists(paths[1]) && QFile::exists(paths[2]));
        QVERIFY(!asked({"RJ200004", "RJ200005"}));
        choose(Qt::Key_T, Qt::Key_T);
        QTRY_COMPARE_WITH_TIMEOUT(states(names), "完了 完了 完了", 60000);
    }

    // A proxy that refuses the connection fails two files, then the run
    // holds with one notice above the list; the others stay waiting, and
    // 再試行 there, once the shop is back, finishes every file.
    void unreachableShopHolds()
    {
        QTemporaryDir dir;
        const QStringList names = {"RJ200006.zip", "RJ200007.zip", "RJ200008.zip", "RJ200009.zip"};
        offer({"RJ200006", "RJ200007", "RJ200008", "RJ200009"});
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString deadProxy = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        qputenv("http_proxy", "http://" + deadProxy.toLatin1());
        drop(makeFiles(dir, names));
        QFrame *notice = window->findChild<QFrame *>("shopUnreachableNotice");
        QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible(), 60000);
        const QString said = notice->findChild<QLabel *>()->text();
        QVERIFY2(said.contains("www.sakuvo.example") && said.contains(deadProxy), qPrintable(said));
        QCOMPARE(text(row(names[0]), CommentColumn), "接続が拒否されました");
        const QString held = "エラー エラー 待機 待機";
        QCOMPARE(states(names), held);
        QVERIFY(!QTest::qWaitFor([&] { return states(names) != held; }, 1000));
        qputenv("http_proxy", shop.proxyUrl().toLatin1());
        notice->findChild<QPushButton *>()->click();
        QTRY_COMPARE_WITH_TIMEOUT(states(names), "完了 完了 完了 完了", 60000);
        QVERIFY(!notice->isVisible());
    }

    // Tab leaves the table for the buttons beside the progress bar, Shift+Tab
    // for the drop area, where Enter asks for files to open.
    void keyboardReach()
    {
        press(table, Qt::Key_Tab);
        const auto *button = qobject_cast<QPushButton *>(QApplication::focusWidget());
        QCOMPARE(button ? button->text() : QString(), "変更を実行(&R)");
        press(table, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), dropArea());
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

    // Tools/Configuration edits the live options. Ctrl+Q during a run asks
    // how many files wait; stop and quit lets the file in progress finish
    // and leaves the others alone. The shut-down saves the options to the
    // configuration folder, with the window's place and size, a column the
    // user sized and the review choice, which the next start restores.
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
        choose(Qt::Key_T, Qt::Key_V);
        QTemporaryDir dir;
        const QStringList names = {"RJ200010.zip", "RJ200011.zip", "RJ200012.zip"};
        const QStringList paths = makeFiles(dir, names);
        offer({"RJ200010"});
        hold("RJ200010");
        drop(paths);
        QTRY_VERIFY_WITH_TIMEOUT(asked({"RJ200010"}), 30000);
        QString question;
        ModalWatcher<QMessageBox> quit([&](QMessageBox *box) {
            question = box->text();
            for (QAbstractButton *button : box->buttons())
                if (box->buttonRole(button) == QMessageBox::AcceptRole)
                    button->click();
        });
        press(table, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(question, "3 個のファイルがまだ終わっていません。停止して終了しますか？");
        QVERIFY(window->isVisible());
        shop.release(TestShop::productPath("home", "RJ200010"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 60000);
        QCOMPARE(states(names), "プレビュー 中止 中止");
        QVERIFY(!asked({"RJ200011", "RJ200012"}));
        window->finalize();
        QFile options(work.filePath(QStringLiteral("zorv/option.xml")));
        QVERIFY(options.open(QIODevice::ReadOnly));
        QVERIFY(options.readAll().contains("<space_size>4</space_size>"));
        zorv::MainWindow again;
        QVERIFY(again.initialize());
        QCOMPARE(again.geometry(), QRect(30, 40, 500, 300));
        QCOMPARE(again.findChild<QTableWidget *>()->columnWidth(OldNameColumn), 123);
        const QList<QAction *> actions = again.findChildren<QAction *>();
        QVERIFY(std::any_of(actions.begin(), actions.end(), [](QAction *action) {
            return action->text() == "変更前に確認する(&V)" && action->isChecked();
        }));
        again.finalize();
    }

    // A journal that cannot be written (here a folder in its place) is said
    // in the status bar when the window starts, and again by the undo, which
    // has nothing to take back.
    void unwritableJournalIsSaid()
    {
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("zorv/journal.jsonl")));
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        zorv::MainWindow other;
        const bool started = other.initialize();
        qputenv("XDG_DATA_HOME", work.path().toLocal8Bit());
        QVERIFY(started);
        const QString said = other.statusBar()->currentMessage();
        QVERIFY2(said.startsWith("記録 " + data.path()) && said.contains("(Is a directory)") &&
                     said.endsWith("元に戻せません。"),
                 qPrintable(said));
        QString answer;
        ModalWatcher<QMessageBox> watcher([&](QMessageBox *box) {
            answer = box->text();
            box->accept();
        });
        for (QAction *action : other.findChildren<QAction *>())
            if (action->text() == "元に戻す(&U)")
                action->trigger();
        QCOMPARE(answer, "元に戻せるファイルはありません。\n" + said);
        other.finalize();
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
