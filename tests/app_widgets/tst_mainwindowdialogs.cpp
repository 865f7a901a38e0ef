#include "MainWindow.h"
#include "ModalWatcher.h"
#include "plugin/PluginManager.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using zorv::MainWindow;
using zorv::PluginManager;

namespace {

QAction *menuAction(MainWindow *window, const QString &text)
{
    for (QAction *action : window->findChildren<QAction *>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Opens the configuration from the menu and returns the space size it shows;
// with a new size, enters it and presses OK, otherwise cancels.
int openConfiguration(MainWindow *window, int newSize = -1)
{
    int shown = -1;
    ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
        auto *spin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"));
        shown = spin->value();
        spin->setValue(newSize < 0 ? shown : newSize);
        auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QTest::mouseClick(
            box->button(newSize < 0 ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok),
            Qt::LeftButton);
    });
    menuAction(window, QStringLiteral("設定(&C)"))->trigger();
    return watcher.handled() ? shown : -1;
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

    QTest::newRow("tool/config") << QStringLiteral("設定(&C)")
                                 << QStringLiteral("zorv::ConfigDialog");
    QTest::newRow("help/about") << QStringLiteral("アバウト(&A)")
                                << QStringLiteral("zorv::AboutDialog");
    QTest::newRow("help/plugin") << QStringLiteral("プラグイン(&P)")
                                 << QStringLiteral("zorv::PluginDialog");
    QTest::newRow("help/library") << QStringLiteral("ライブラリ(&L)")
                                  << QStringLiteral("zorv::LibraryDialog");
}

void TestMainWindowDialogs::menuOpensDialog()
{
    QFETCH(QString, action);
    QFETCH(QString, className);

    QAction *menu = menuAction(window, action);
    QVERIFY(menu);
    QString shownClass;
    QWidget *parent = nullptr;
    bool modal = false;
    ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
        shownClass = QString::fromLatin1(dialog->metaObject()->className());
        parent = dialog->parentWidget();
        modal = dialog->isModal();
        dialog->reject();
    });
    menu->trigger();
    QVERIFY(watcher.handled());
    QCOMPARE(shownClass, className);
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

    QCOMPARE(openConfiguration(window, 4), 3);
    // Opened again, it shows what OK stored; nothing is written before shut-down.
    QCOMPARE(openConfiguration(window), 4);
    QVERIFY(readFile(file).contains("<space_size>3</space_size>"));

    window->finalize();
    QVERIFY(readFile(file).contains("<space_size>4</space_size>"));
}

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindowdialogs.moc"
