#include "ModalWatcher.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "plugin/PluginInterface.h"
#include "plugin/PluginManager.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

using namespace zorv;

namespace {

// A working directory whose "plugins" folder holds copies of one folder of
// fake store plug-ins, with a plug-in manager that has loaded them.
class LoadedPlugins
{
public:
    explicit LoadedPlugins(const QString &folder)
        : previous(QDir::currentPath())
    {
        QDir(dir.path()).mkdir(QStringLiteral("plugins"));
        const QDir source(QDir(QStringLiteral(ZORV_FAKE_PLUGIN_DIR)).filePath(folder));
        const QDir target(QDir(dir.path()).filePath(QStringLiteral("plugins")));
        const QStringList files = source.entryList(QDir::Files);
        for (const QString &file : files)
            QFile::copy(source.filePath(file), target.filePath(file));
        QDir::setCurrent(dir.path());
        loaded = manager.load(target.absolutePath()) ? manager.plugins().size() : 0;
    }
    ~LoadedPlugins() { QDir::setCurrent(previous); }

    QString previous;
    QTemporaryDir dir;
    PluginManager manager;
    int loaded = 0;
};

// What a detail dialog showed, read before it was closed.
struct Shown
{
    QStringList texts; // name, version, copyright, support as plain text
    QString supportHtml;
    int cursorSum = -1; // where the three line edits' cursors stand, added up
    QWidget *parent = nullptr;
    bool modal = false;
};

QTreeWidget *tree(QDialog *dialog)
{
    return dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

QPushButton *detailButton(QDialog *dialog)
{
    return dialog->findChild<QPushButton *>(QStringLiteral("detailPushButton"));
}

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

void clickClose(QDialog *dialog)
{
    click(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close));
}

void clickCell(QTreeWidget *widget, int row, int column)
{
    const QRect rect = widget->visualRect(widget->model()->index(row, column));
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

Shown read(PluginDetailDialog *dialog)
{
    Shown shown;
    shown.cursorSum = 0;
    for (const char *name :
         {"nameValueLineEdit", "versionValueLineEdit", "copyrightValueLineEdit"}) {
        auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(name));
        shown.texts.append(edit->text());
        shown.cursorSum += edit->cursorPosition();
    }
    auto *browser = dialog->findChild<QTextBrowser *>(QStringLiteral("supportTextBrowser"));
    shown.texts.append(browser->toPlainText());
    shown.supportHtml = browser->toHtml();
    shown.parent = dialog->parentWidget();
    shown.modal = dialog->isModal();
    return shown;
}

// Presses the detail button of a shown list dialog and reads the detail
// dialog that opens, if any.
bool showDetail(PluginDialog *dialog, Shown &shown)
{
    ModalWatcher<PluginDetailDialog> watcher([&shown](PluginDetailDialog *detail) {
        shown = read(detail);
        clickClose(detail);
    });
    click(detailButton(dialog));
    return watcher.handled();
}

} // namespace

class TestPluginDialog : public QObject
{
    Q_OBJECT

private slots:
    void fixedAndClosedThroughReject_data();
    void fixedAndClosedThroughReject();
    void listShowsNameAndVersion();
    void detailButtonWaitsForClick_data();
    void detailButtonWaitsForClick();
    void detailShowsClickedRow_data();
    void detailShowsClickedRow();
    void sameNameShowsFirstLoaded();
    void detailShowsNothingWithoutPlugin();
};

void TestPluginDialog::fixedAndClosedThroughReject_data()
{
    QTest::addColumn<bool>("list");
    QTest::addColumn<QString>("title");
    QTest::newRow("list") << true << QStringLiteral("ZORV:プラグインダイアログ");
    QTest::newRow("detail") << false << QStringLiteral("ZORV:プラグイン詳細ダイアログ");
}

void TestPluginDialog::fixedAndClosedThroughReject()
{
    QFETCH(bool, list);
    QFETCH(QString, title);

    QScopedPointer<QDialog> dialog(list ? static_cast<QDialog *>(new PluginDialog)
                                        : static_cast<QDialog *>(new PluginDetailDialog));
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->minimumSize(), dialog->size());
    QCOMPARE(dialog->maximumSize(), dialog->size());
    QSignalSpy rejected(dialog.data(), SIGNAL(rejected()));
    ModalWatcher<QDialog> watcher(clickClose);
    QCOMPARE(dialog->exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(rejected.count(), 1);
}

void TestPluginDialog::listShowsNameAndVersion()
{
    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    QCOMPARE(plugins.loaded, 2);

    PluginDialog dialog;
    QStringList rows;
    QStringList loaded;
    for (int row = 0; row < tree(&dialog)->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = tree(&dialog)->topLevelItem(row);
        rows.append(item->text(0) + QLatin1Char('/') + item->text(1));
    }
    for (const PluginInterface *plugin : plugins.manager.plugins())
        loaded.append(plugin->information()->name + QLatin1Char('/') +
                      plugin->information()->version);
    QCOMPARE(rows, loaded); // in load order
    rows.sort();
    QCOMPARE(rows, QStringList({QStringLiteral("Alpha Store/2.3.4"),
                                QStringLiteral("Beta Store/0.9-beta")}));
}

void TestPluginDialog::detailButtonWaitsForClick_data()
{
    QTest::addColumn<QString>("folder"); // null: no plug-in manager at all
    QTest::addColumn<int>("rows");
    QTest::newRow("two plug-ins") << QStringLiteral("dialog-list") << 2;
    QTest::newRow("manager without plug-ins") << QStringLiteral("none") << 0;
    QTest::newRow("no manager at all") << QString() << 0;
}

void TestPluginDialog::detailButtonWaitsForClick()
{
    QFETCH(QString, folder);
    QFETCH(int, rows);

    QScopedPointer<LoadedPlugins> plugins(folder.isNull() ? nullptr : new LoadedPlugins(folder));
    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *widget = tree(&dialog);
    QCOMPARE(widget->topLevelItemCount(), rows);
    QVERIFY(!detailButton(&dialog)->isEnabled());

    // Moving the current row with the keyboard does not open the button.
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Down);
    QTest::keyClick(widget, Qt::Key_Down);
    QCOMPARE(widget->currentIndex().isValid(), rows > 0);
    QVERIFY(!detailButton(&dialog)->isEnabled());

    // A click on a row opens it; one into an empty list hits no row.
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier,
                      rows > 0 ? widget->visualRect(widget->model()->index(1, 0)).center()
                               : QPoint(20, 20));
    QCOMPARE(detailButton(&dialog)->isEnabled(), rows > 0);
    // Once open it stays open, whatever the keyboard does.
    QTest::keyClick(widget, Qt::Key_Up);
    QCOMPARE(detailButton(&dialog)->isEnabled(), rows > 0);
    Shown shown;
    QCOMPARE(showDetail(&dialog, shown), rows > 0);
}

void TestPluginDialog::detailShowsClickedRow_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("texts"); // name, version, copyright, support
    QTest::addColumn<bool>("supportRich");

    const QStringList alpha = {QStringLiteral("Alpha Store"), QStringLiteral("2.3.4"),
                               QStringLiteral("Copyright (C) 2025 Alpha Makers"),
                               QStringLiteral("alpha.example.test")};
    const QStringList beta = {QStringLiteral("Beta Store"), QStringLiteral("0.9-beta"),
                              QStringLiteral("(C) Beta"), QStringLiteral("beta.example.test")};
    QTest::newRow("alpha, name column") << 0 << alpha << false;
    QTest::newRow("alpha, version column") << 1 << alpha << false;
    // A support text with markup is shown as HTML.
    QTest::newRow("beta, name column") << 0 << beta << true;
    QTest::newRow("beta, version column") << 1 << beta << true;
}

void TestPluginDialog::detailShowsClickedRow()
{
    QFETCH(int, column);
    QFETCH(QStringList, texts);
    QFETCH(bool, supportRich);

    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QList<QTreeWidgetItem *> rows = tree(&dialog)->findItems(texts.first(), Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    clickCell(tree(&dialog), tree(&dialog)->indexOfTopLevelItem(rows.first()), column);
    QCOMPARE(tree(&dialog)->currentIndex().column(), column);
    Shown shown;
    QVERIFY(showDetail(&dialog, shown));
    QCOMPARE(shown.texts, texts);
    QCOMPARE(shown.supportHtml.contains(QLatin1String("font-weight:600")), supportRich);
    // Values longer than their field show their beginning.
    QCOMPARE(shown.cursorSum, 0);
    // The detail runs modally over the list, which stays open behind it; it
    // lives only for its exec().
    QCOMPARE(shown.parent, &dialog);
    QVERIFY(shown.modal);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.findChildren<PluginDetailDialog *>().isEmpty());
}

void TestPluginDialog::sameNameShowsFirstLoaded()
{
    LoadedPlugins plugins(QStringLiteral("dialog-twins"));
    QCOMPARE(plugins.loaded, 2);
    const QString firstVersion = plugins.manager.plugins().at(0)->information()->version;
    QVERIFY(firstVersion != plugins.manager.plugins().at(1)->information()->version);

    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Whichever row and column is chosen, the name finds the first one loaded.
    for (int cell = 0; cell < 4; ++cell) {
        clickCell(tree(&dialog), cell / 2, cell % 2);
        Shown shown;
        QVERIFY(showDetail(&dialog, shown));
        QCOMPARE(shown.texts.mid(0, 2), QStringList({QStringLiteral("Twin Store"), firstVersion}));
    }
}

void TestPluginDialog::detailShowsNothingWithoutPlugin()
{
    PluginDetailDialog dialog;
    const Shown before = read(&dialog);
    dialog.updateView();
    const Shown after = read(&dialog);
    QCOMPARE(after.texts.mid(0, 3), QStringList({QString(), QString(), QString()}));
    QCOMPARE(after.supportHtml, before.supportHtml);
}

QTEST_MAIN(TestPluginDialog)
#include "tst_plugindialog.moc"
