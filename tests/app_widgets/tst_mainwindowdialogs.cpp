#include "MainWindow.h"
#include "ModalWatcher.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// The main window's menus, from the keyboard: each opens by its mnemonic, its
// dialogs are modal children of the window, and the configuration dialog
// edits the live options that the shut-down saves.
class TestMainWindowDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir config;
    zorv::MainWindow *window = nullptr;

    // Opens the menu by its mnemonic and the item by its own.
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
    void init()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("zorv"));
        window = new zorv::MainWindow;
        QVERIFY(window->initialize());
        window->show();
    }
    void cleanup() { delete window; }

    void menuOpensDialog_data()
    {
        QTest::addColumn<int>("menu");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("className");
        QTest::newRow("file/open") << int(Qt::Key_F) << int(Qt::Key_O) << "QFileDialog";
        QTest::newRow("tool/config") << int(Qt::Key_T) << int(Qt::Key_C) << "zorv::ConfigDialog";
        QTest::newRow("help/about") << int(Qt::Key_H) << int(Qt::Key_A) << "zorv::AboutDialog";
        QTest::newRow("help/plugin") << int(Qt::Key_H) << int(Qt::Key_P) << "zorv::PluginDialog";
        QTest::newRow("help/library") << int(Qt::Key_H) << int(Qt::Key_L) << "zorv::LibraryDialog";
    }
    void menuOpensDialog()
    {
        QFETCH(int, menu);
        QFETCH(int, item);
        QFETCH(QString, className);
        QString shown;
        ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
            if (dialog->parentWidget() == window)
                shown = QString::fromLatin1(dialog->metaObject()->className());
            dialog->reject();
        });
        choose(Qt::Key(menu), Qt::Key(item));
        QTRY_VERIFY(watcher.handled());
        QCOMPARE(shown, className);
    }

    void quitClosesNormally()
    {
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        window->finalize();
        QVERIFY(QFileInfo::exists(config.filePath(QStringLiteral("zorv/option.xml"))));
    }

    void configurationEditsLiveOptions()
    {
        int shown = -1;
        const auto configure = [&](int size) {
            ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
                auto *spin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"));
                shown = spin->value();
                spin->setValue(size);
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            });
            choose(Qt::Key_T, Qt::Key_C);
            QTRY_VERIFY(watcher.handled());
        };
        configure(4);
        configure(4);
        QCOMPARE(shown, 4);
        window->finalize();
        QFile options(config.filePath(QStringLiteral("zorv/option.xml")));
        QVERIFY(options.open(QIODevice::ReadOnly));
        QVERIFY(options.readAll().contains("<space_size>4</space_size>"));
    }
};

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindowdialogs.moc"
