#include "AboutDialog.h"
#include "LibraryDialog.h"
#include "ModalWatcher.h"
#include "PluginDialog.h"
#include "plugin/PluginManager.h"

#include <QtTest>
#include <QtWidgets>

#include <tidy/tidy.h>

using namespace zorv;

// The about box, and the lists of the loaded plug-ins and of the libraries the
// program runs with: a click on a row (in any column) and on the detail button
// shows that row's detail, and so do the keys that choose a row and press it.
class TestInfoDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(manager.load(QStringLiteral(ZORV_FAKE_PLUGIN_DIR))); }

    void aboutShowsVersion()
    {
        QCOMPARE(AboutDialog().findChild<QTextBrowser *>()->toPlainText().section('\n', 0, 0),
                 QStringLiteral("Zorvane " ZORV_PROJECT_VERSION));
    }

    void detail_data()
    {
        QTest::addColumn<bool>("plugins");  // else the libraries
        QTest::addColumn<int>("column");    // of the clicked cell, whose text is the row's tag
        QTest::addColumn<bool>("keyboard"); // End, Tab, Space; else two clicks
        QTest::addColumn<QString>("detail");
        const QString beta = "Beta Store|0.9-beta|(C) Beta|beta.example.test";
        const QString tidy =
            "HTML Tidy|Version: " + QString(tidyLibraryVersion()) + "|https://www.html-tidy.org/";
        // The second row of each list: the click picks the row it is on.
        QTest::newRow("0.9-beta") << true << 1 << false << beta;
        QTest::newRow("HTML Tidy") << false << 0 << false << tidy;
        QTest::newRow("Beta Store") << true << 0 << true << beta;
        QTest::newRow("HTML Tidy by keyboard") << false << 0 << true << tidy;
    }

    void detail()
    {
        QFETCH(bool, plugins);
        QFETCH(int, column);
        QFETCH(bool, keyboard);
        QFETCH(QString, detail);
        QScopedPointer<QDialog> list(plugins ? static_cast<QDialog *>(new PluginDialog)
                                             : new LibraryDialog);
        list->show();
        QVERIFY(QTest::qWaitForWindowActive(list.data()));
        auto *tree = list->findChild<QTreeWidget *>();
        const QModelIndex index =
            tree->model()
                ->match(tree->model()->index(0, column), Qt::DisplayRole, QTest::currentDataTag())
                .value(0);
        if (!keyboard)
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                              tree->visualRect(index).center());
        QString shown;
        ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
            for (const QLineEdit *edit : dialog->findChildren<QLineEdit *>())
                shown += edit->text() + '|';
            shown += dialog->findChild<QTextBrowser *>()->toPlainText().replace('\n', '|');
            dialog->close();
        });
        if (keyboard) {
            // Tab skips a disabled button, and Space then closes the list.
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_End);
            QTest::keyClick(tree, Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        } else {
            QTest::mouseClick(list->findChild<QPushButton *>(QStringLiteral("detailPushButton")),
                              Qt::LeftButton);
        }
        QVERIFY(watcher.handled());
        for (const QString &text : detail.split('|'))
            QVERIFY2(shown.contains(text), qPrintable(shown));
    }

private:
    PluginManager manager;
};

ZORV_TEST_MAIN(TestInfoDialogs)
#include "tst_infodialogs.moc"
