#include "ModalWatcher.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "plugin/PluginInterface.h"
#include "plugin/PluginManager.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

using namespace zorv;

namespace {

// The texts a detail dialog showed, read before it was closed.
struct Shown
{
    QString name;
    QString version;
    QString copyright;
    QString supportPlain;
    QString supportHtml;
    int cursorSum = -1; // where the three line edits' cursors stand, added up
};

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
            copied += QFile::copy(source.filePath(file), target.filePath(file)) ? 1 : 0;
        QDir::setCurrent(dir.path());
        loaded = manager.load();
    }
    ~LoadedPlugins() { QDir::setCurrent(previous); }

    QString previous;
    QTemporaryDir dir;
    PluginManager manager;
    int copied = 0;
    bool loaded = false;
};

QTreeWidget *tree(QDialog *dialog)
{
    return dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

QPushButton *detailButton(QDialog *dialog)
{
    return dialog->findChild<QPushButton *>(QStringLiteral("detailPushButton"));
}

QPushButton *closeButton(QDialog *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    return box ? box->button(QDialogButtonBox::Close) : nullptr;
}

void clickCell(QTreeWidget *widget, int row, int column)
{
    const QModelIndex index = widget->model()->index(row, column);
    const QRect rect = widget->visualRect(index);
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

Shown read(PluginDetailDialog *dialog)
{
    Shown shown;
    auto text = [dialog](const char *name) {
        auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(name));
        return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    };
    shown.name = text("nameValueLineEdit");
    shown.version = text("versionValueLineEdit");
    shown.copyright = text("copyrightValueLineEdit");
    shown.cursorSum = 0;
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        shown.cursorSum += edit->cursorPosition();
    if (auto *browser = dialog->findChild<QTextBrowser *>(QStringLiteral("supportTextBrowser"))) {
        shown.supportPlain = browser->toPlainText();
        shown.supportHtml = browser->toHtml();
    }
    return shown;
}

// Presses the detail button of a shown list dialog and reads the detail
// dialog that opens, if any.
bool showDetail(PluginDialog *dialog, Shown &shown)
{
    ModalWatcher<PluginDetailDialog> watcher([&shown](PluginDetailDialog *detail) {
        shown = read(detail);
        QTest::mouseClick(closeButton(detail), Qt::LeftButton);
    });
    QTest::mouseClick(detailButton(dialog), Qt::LeftButton);
    return watcher.handled();
}

} // namespace

class TestPluginDialog : public QObject
{
    Q_OBJECT

private slots:
    void formsAreFixed_data();
    void formsAreFixed();
    void emptyListKeepsDetailClosed_data();
    void emptyListKeepsDetailClosed();
    void listShowsNameAndVersion();
    void detailButtonWaitsForClick();
    void detailShowsClickedRow_data();
    void detailShowsClickedRow();
    void sameNameShowsFirstLoaded();
    void detailShowsNothingWithoutPlugin();
    void closeRejects_data();
    void closeRejects();
    void openedModallyFromList();
};

void TestPluginDialog::formsAreFixed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("title");
    QTest::newRow("list") << QStringLiteral("list") << QSize(385, 285)
                          << QStringLiteral("ZORV:プラグインダイアログ");
    QTest::newRow("detail") << QStringLiteral("detail") << QSize(397, 301)
                            << QStringLiteral("ZORV:プラグイン詳細ダイアログ");
}

void TestPluginDialog::formsAreFixed()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QString, title);

    PluginManager manager;
    QScopedPointer<QDialog> dialog(kind == QLatin1String("list")
                                       ? static_cast<QDialog *>(new PluginDialog)
                                       : static_cast<QDialog *>(new PluginDetailDialog));
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    QVERIFY(closeButton(dialog.data()));
    QCOMPARE(dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->standardButtons(),
             QDialogButtonBox::Close);
}

void TestPluginDialog::emptyListKeepsDetailClosed_data()
{
    QTest::addColumn<bool>("withManager");
    QTest::newRow("manager without plug-ins") << true;
    QTest::newRow("no manager at all") << false;
}

void TestPluginDialog::emptyListKeepsDetailClosed()
{
    QFETCH(bool, withManager);

    QScopedPointer<PluginManager> manager(withManager ? new PluginManager : nullptr);
    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(tree(&dialog)->topLevelItemCount(), 0);
    QVERIFY(!detailButton(&dialog)->isEnabled());
    // A click into the empty list hits no row, so the button stays closed.
    QTest::mouseClick(tree(&dialog)->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(!detailButton(&dialog)->isEnabled());
    Shown shown;
    QVERIFY(!showDetail(&dialog, shown));
}

void TestPluginDialog::listShowsNameAndVersion()
{
    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    QCOMPARE(plugins.copied, 2);
    QVERIFY(plugins.loaded);
    const QList<PluginInterface *> loaded = plugins.manager.plugins();
    QCOMPARE(loaded.size(), 2);

    PluginDialog dialog;
    QTreeWidget *widget = tree(&dialog);
    QCOMPARE(widget->columnCount(), 2);
    QCOMPARE(widget->headerItem()->text(0), QStringLiteral("名前"));
    QCOMPARE(widget->headerItem()->text(1), QStringLiteral("バージョン"));
    QCOMPARE(widget->topLevelItemCount(), loaded.size());
    QStringList names;
    for (int row = 0; row < loaded.size(); ++row) {
        // In load order, row by row.
        QCOMPARE(widget->topLevelItem(row)->text(0), loaded.at(row)->information()->name);
        QCOMPARE(widget->topLevelItem(row)->text(1), loaded.at(row)->information()->version);
        names.append(widget->topLevelItem(row)->text(0) + QLatin1Char('/') +
                     widget->topLevelItem(row)->text(1));
    }
    names.sort();
    QCOMPARE(names, QStringList({QStringLiteral("Alpha Store/2.3.4"),
                                 QStringLiteral("Beta Store/0.9-beta")}));
}

void TestPluginDialog::detailButtonWaitsForClick()
{
    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    QVERIFY(plugins.loaded);
    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *widget = tree(&dialog);
    QVERIFY(!detailButton(&dialog)->isEnabled());

    // Moving the current row with the keyboard does not open the button.
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Down);
    QTest::keyClick(widget, Qt::Key_Down);
    QVERIFY(widget->currentIndex().isValid());
    QVERIFY(!detailButton(&dialog)->isEnabled());

    clickCell(widget, 1, 0);
    QVERIFY(detailButton(&dialog)->isEnabled());
    // Once open it stays open, whatever the keyboard does.
    QTest::keyClick(widget, Qt::Key_Up);
    QVERIFY(detailButton(&dialog)->isEnabled());
}

void TestPluginDialog::detailShowsClickedRow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("copyright");
    QTest::addColumn<QString>("supportPlain");
    QTest::addColumn<bool>("supportRich");

    QTest::newRow("alpha, name column")
        << QStringLiteral("Alpha Store") << 0 << QStringLiteral("2.3.4")
        << QStringLiteral("Copyright (C) 2025 Alpha Makers") << QStringLiteral("alpha.example.test")
        << false;
    QTest::newRow("alpha, version column")
        << QStringLiteral("Alpha Store") << 1 << QStringLiteral("2.3.4")
        << QStringLiteral("Copyright (C) 2025 Alpha Makers") << QStringLiteral("alpha.example.test")
        << false;
    // A support text with markup is shown as HTML.
    QTest::newRow("beta, name column")
        << QStringLiteral("Beta Store") << 0 << QStringLiteral("0.9-beta")
        << QStringLiteral("(C) Beta") << QStringLiteral("beta.example.test") << true;
    QTest::newRow("beta, version column")
        << QStringLiteral("Beta Store") << 1 << QStringLiteral("0.9-beta")
        << QStringLiteral("(C) Beta") << QStringLiteral("beta.example.test") << true;
}

void TestPluginDialog::detailShowsClickedRow()
{
    QFETCH(QString, name);
    QFETCH(int, column);
    QFETCH(QString, version);
    QFETCH(QString, copyright);
    QFETCH(QString, supportPlain);
    QFETCH(bool, supportRich);

    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    QVERIFY(plugins.loaded);
    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *widget = tree(&dialog);
    const QList<QTreeWidgetItem *> rows = widget->findItems(name, Qt::MatchExactly, 0);
    QCOMPARE(rows.size(), 1);
    const int row = widget->indexOfTopLevelItem(rows.first());

    clickCell(widget, row, column);
    QCOMPARE(widget->currentIndex().column(), column);
    Shown shown;
    QVERIFY(showDetail(&dialog, shown));
    QCOMPARE(shown.name, name);
    QCOMPARE(shown.version, version);
    QCOMPARE(shown.copyright, copyright);
    QCOMPARE(shown.supportPlain, supportPlain);
    QCOMPARE(shown.supportHtml.contains(QLatin1String("font-weight:600")), supportRich);
    // Values longer than their field show their beginning.
    QCOMPARE(shown.cursorSum, 0);
    // The list stays open behind the closed detail dialog.
    QVERIFY(dialog.isVisible());
}

void TestPluginDialog::sameNameShowsFirstLoaded()
{
    LoadedPlugins plugins(QStringLiteral("dialog-twins"));
    QVERIFY(plugins.loaded);
    const QList<PluginInterface *> loaded = plugins.manager.plugins();
    QCOMPARE(loaded.size(), 2);
    const QString firstVersion = loaded.at(0)->information()->version;
    const QString secondVersion = loaded.at(1)->information()->version;
    QVERIFY(firstVersion != secondVersion);

    PluginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *widget = tree(&dialog);
    QCOMPARE(widget->topLevelItemCount(), 2);
    QCOMPARE(widget->topLevelItem(0)->text(0), QStringLiteral("Twin Store"));
    QCOMPARE(widget->topLevelItem(1)->text(0), QStringLiteral("Twin Store"));

    // Whichever row is chosen, the name finds the first one loaded.
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            clickCell(widget, row, column);
            Shown shown;
            QVERIFY(showDetail(&dialog, shown));
            QCOMPARE(shown.name, QStringLiteral("Twin Store"));
            QCOMPARE(shown.version, firstVersion);
        }
    }
}

void TestPluginDialog::detailShowsNothingWithoutPlugin()
{
    PluginDetailDialog dialog;
    const Shown before = read(&dialog);
    dialog.updateView();
    const Shown after = read(&dialog);
    QCOMPARE(after.name, QString());
    QCOMPARE(after.version, QString());
    QCOMPARE(after.copyright, QString());
    QCOMPARE(after.supportHtml, before.supportHtml);
    for (const char *name : {"nameValueLineEdit", "versionValueLineEdit", "copyrightValueLineEdit"})
        QVERIFY(dialog.findChild<QLineEdit *>(QLatin1String(name))->isReadOnly());
}

void TestPluginDialog::closeRejects_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("list") << QStringLiteral("list");
    QTest::newRow("detail") << QStringLiteral("detail");
}

void TestPluginDialog::closeRejects()
{
    QFETCH(QString, kind);

    PluginManager manager;
    QScopedPointer<QDialog> dialog(kind == QLatin1String("list")
                                       ? static_cast<QDialog *>(new PluginDialog)
                                       : static_cast<QDialog *>(new PluginDetailDialog));
    QSignalSpy rejected(dialog.data(), SIGNAL(rejected()));
    QSignalSpy accepted(dialog.data(), SIGNAL(accepted()));
    ModalWatcher<QDialog> watcher(
        [](QDialog *shown) { QTest::mouseClick(closeButton(shown), Qt::LeftButton); });
    QCOMPARE(dialog->exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(accepted.count(), 0);
}

void TestPluginDialog::openedModallyFromList()
{
    // The whole road: the list runs modally, the detail opens modally on top
    // of it with the list as its parent, and both close again.
    LoadedPlugins plugins(QStringLiteral("dialog-list"));
    QVERIFY(plugins.loaded);
    PluginDialog dialog;
    QWidget *detailParent = nullptr;
    bool detailWasModal = false;
    Shown shown;
    ModalWatcher<PluginDialog> watcher([&](PluginDialog *list) {
        clickCell(tree(list), 0, 0);
        ModalWatcher<PluginDetailDialog> inner([&](PluginDetailDialog *detail) {
            detailParent = detail->parentWidget();
            detailWasModal = detail->isModal();
            shown = read(detail);
            QTest::mouseClick(closeButton(detail), Qt::LeftButton);
        });
        QTest::mouseClick(detailButton(list), Qt::LeftButton);
        QVERIFY(inner.handled());
        QTest::mouseClick(closeButton(list), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(detailParent, &dialog);
    QVERIFY(detailWasModal);
    QCOMPARE(shown.name, tree(&dialog)->topLevelItem(0)->text(0));
    // The detail dialog lived only for its exec().
    QVERIFY(dialog.findChildren<PluginDetailDialog *>().isEmpty());
}

QTEST_MAIN(TestPluginDialog)
#include "tst_plugindialog.moc"
