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
// shows that row's detail.
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
        QTest::addColumn<bool>("plugins"); // else the libraries
        QTest::addColumn<int>("column");   // of the clicked cell, whose text is the row's tag
        QTest::addColumn<QString>("detail");
        // The second row of each list: the click picks the row it is on.
        QTest::newRow("0.9-beta") << true << 1 << "Beta Store|0.9-beta|(C) Beta|beta.example.test";
        QTest::newRow("HTML Tidy") << false << 0
                                   << "HTML Tidy|Version: " + QString(tidyLibraryVersion()) +
                                          "|https://www.html-tidy.org/";
    }

    void detail()
    {
        QFETCH(bool, plugins);
        QFETCH(int, column);
        QFETCH(QString, detail);
        QScopedPointer<QDialog> list(plugins ? static_cast<QDialog *>(new PluginDialog)
                                             : new LibraryDialog);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.data()));
        auto *tree = list->findChild<QTreeWidget *>();
        const QModelIndex index =
            tree->model()
                ->match(tree->model()->index(0, column), Qt::DisplayRole, QTest::currentDataTag())
                .value(0);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(index).center());
        QString shown;
        ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
            for (const QLineEdit *edit : dialog->findChildren<QLineEdit *>())
                shown += edit->text() + '|';
            shown += dialog->findChild<QTextBrowser *>()->toPlainText().replace('\n', '|');
            dialog->close();
        });
        QTest::mouseClick(list->findChild<QPushButton *>(QStringLiteral("detailPushButton")),
                          Qt::LeftButton);
        QVERIFY(watcher.handled());
        for (const QString &text : detail.split('|'))
            QVERIFY2(shown.contains(text), qPrintable(shown));
    }

private:
    PluginManager manager;
};

ZORV_TEST_MAIN(TestInfoDialogs)
#include "tst_infodialogs.moc"
