#include "MainWindow.h"
#include "ModalWatcher.h"
#include "plugin/PluginManager.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using zorv::MainWindow;
using zorv::PluginManager;

namespace {

QAction *menuAction(MainWindow *window, const QString &text)
{
    const QList<QAction *> menus = window->menuBar()->actions();
    for (const QAction *menu : menus) {
        if (!menu->menu())
            continue;
        const QList<QAction *> actions = menu->menu()->actions();
        for (QAction *action : actions) {
            if (action->text() == text)
                return action;
        }
    }
    return nullptr;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The main window's Tool and Help menus open the dialogs modally, with the
// window as their parent; the configuration dialog edits the window's options.
class TestMainWindowDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuOpensDialog_data();
    void menuOpensDialog();
    void configurationEditsLiveOptions();

private:
    QTemporaryDir work;
    PluginManager pluginManager;
    MainWindow *window = nullptr;
};

void TestMainWindowDialogs::initTestCase()
{
    QVERIFY(work.isValid());
    // The option file belongs to the working directory.
    QVERIFY(QDir::setCurrent(work.path()));
}

void TestMainWindowDialogs::init()
{
    window = new MainWindow;
    QVERIFY(window->initialize());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWindowDialogs::cleanup()
{
    if (window)
        window->finalize();
    delete window;
    window = nullptr;
}

void TestMainWindowDialogs::menuOpensDialog_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("title");

    QTest::newRow("tool/config") << QStringLiteral("設定(&C)")
                                 << QStringLiteral("zorv::ConfigDialog")
                                 << QStringLiteral("ZORV:設定ダイアログ");
    QTest::newRow("help/about") << QStringLiteral("アバウト(&A)")
                                << QStringLiteral("zorv::AboutDialog")
                                << QStringLiteral("ZORVについて");
    QTest::newRow("help/plugin") << QStringLiteral("プラグイン(&P)")
                                 << QStringLiteral("zorv::PluginDialog")
                                 << QStringLiteral("ZORV:プラグインダイアログ");
    QTest::newRow("help/library") << QStringLiteral("ライブラリ(&L)")
                                  << QStringLiteral("zorv::LibraryDialog")
                                  << QStringLiteral("ZORV:ライブラリダイアログ");
}

void TestMainWindowDialogs::menuOpensDialog()
{
    QFETCH(QString, action);
    QFETCH(QString, className);
    QFETCH(QString, title);

    QAction *menu = menuAction(window, action);
    QVERIFY(menu);
    QString shownClass;
    QString shownTitle;
    QWidget *parent = nullptr;
    bool modal = false;
    ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
        shownClass = QString::fromLatin1(dialog->metaObject()->className());
        shownTitle = dialog->windowTitle();
        parent = dialog->parentWidget();
        modal = dialog->isModal();
        dialog->reject();
    });
    menu->trigger();
    QVERIFY(watcher.handled());
    QCOMPARE(shownClass, className);
    QCOMPARE(shownTitle, title);
    QCOMPARE(parent, window);
    QVERIFY(modal);
    // The dialog lived on the stack for its exec() only.
    QVERIFY(window->findChildren<QDialog *>().isEmpty());
}

void TestMainWindowDialogs::configurationEditsLiveOptions()
{
    // Start from an option file with 3 blanks; the dialog shows the window's
    // live options, OK changes them, and the shut-down saves the change.
    cleanup();
    const QString file = QDir(work.path()).filePath(QStringLiteral("option.xml"));
    {
        QFile options(file);
        QVERIFY(options.open(QIODevice::WriteOnly | QIODevice::Truncate));
        options.write("<?xml version=\"1.0\"?><option><rename_option>"
                      "<space_size>3</space_size></rename_option></option>");
    }
    init();

    QAction *config = menuAction(window, QStringLiteral("設定(&C)"));
    QVERIFY(config);
    int shown = -1;
    ModalWatcher<QDialog> edit([&](QDialog *dialog) {
        auto *spin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"));
        shown = spin->value();
        spin->setValue(4);
        auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    config->trigger();
    QVERIFY(edit.handled());
    QCOMPARE(shown, 3);

    // Opened again, it shows what OK stored; nothing is written before shut-down.
    int shownAgain = -1;
    ModalWatcher<QDialog> look([&](QDialog *dialog) {
        shownAgain = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"))->value();
        dialog->reject();
    });
    config->trigger();
    QVERIFY(look.handled());
    QCOMPARE(shownAgain, 4);
    QVERIFY(readFile(file).contains("<space_size>3</space_size>"));

    window->finalize();
    QVERIFY(readFile(file).contains("<space_size>4</space_size>"));
}

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindowdialogs.moc"
