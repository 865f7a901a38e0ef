#include "ModalWatcher.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "plugin/PluginManager.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

using namespace zorv;

// The plug-in list shows the loaded plug-ins; its detail button shows the
// clicked one's self-description, whichever column was clicked.
class TestPluginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(manager.load(QStringLiteral(ZORV_FAKE_PLUGIN_DIR))); }

    void detailShowsClickedRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("detail");
        QTest::addRow("Alpha, name column")
            << "Alpha Store" << 0
            << "Alpha Store|2.3.4|Copyright (C) 2025 Alpha Makers|alpha.example.test";
        QTest::addRow("Beta, version column")
            << "Beta Store" << 1 << "Beta Store|0.9-beta|(C) Beta|beta.example.test";
    }

    void detailShowsClickedRow()
    {
        QFETCH(QString, name);
        QFETCH(int, column);
        QFETCH(QString, detail);
        PluginDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *tree = dialog.findChild<QTreeWidget *>();
        QStringList rows;
        for (int row = 0; row < tree->topLevelItemCount(); ++row)
            rows.append(tree->topLevelItem(row)->text(0) + QLatin1Char('/') +
                        tree->topLevelItem(row)->text(1));
        QStringList loaded;
        for (const PluginInterface *plugin : manager.plugins())
            loaded.append(plugin->information()->name + QLatin1Char('/') +
                          plugin->information()->version);
        QCOMPARE(rows, loaded);
        QCOMPARE(loaded.size(), 2);

        const int row = tree->indexOfTopLevelItem(tree->findItems(name, Qt::MatchExactly).value(0));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(tree->model()->index(row, column)).center());
        QStringList shown;
        ModalWatcher<PluginDetailDialog> watcher([&shown](PluginDetailDialog *detail) {
            for (const char *field :
                 {"nameValueLineEdit", "versionValueLineEdit", "copyrightValueLineEdit"})
                shown.append(detail->findChild<QLineEdit *>(QLatin1String(field))->text());
            shown.append(detail->findChild<QTextBrowser *>()->toPlainText());
            detail->close();
        });
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("detailPushButton")),
                          Qt::LeftButton);
        QVERIFY(watcher.handled());
        QCOMPARE(shown.join(QLatin1Char('|')), detail);
    }

private:
    PluginManager manager;
};

QTEST_MAIN(TestPluginDialog)
#include "tst_plugindialog.moc"
