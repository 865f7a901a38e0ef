#include "AboutDialog.h"
#include "LibraryDialog.h"
#include "ModalWatcher.h"
#include "PluginDialog.h"
#include "plugin/PluginManager.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include <tidy/tidy.h>

using namespace zorv;

// The about box, and the lists of the loaded plug-ins and of the libraries the
// program runs with: a click on a row (in any column) and on the detail button
// shows that row's detail, whose links open in the desktop's browser.
class TestInfoDialogs : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened.append(url); } // the desktop's browser

private slots:
    void initTestCase()
    {
        QVERIFY(manager.load(QStringLiteral(ZORV_FAKE_PLUGIN_DIR)));
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }

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
        const auto row = [](const char *cell, bool plugins, int column, const QString &detail) {
            QTest::newRow(cell) << plugins << column << detail;
        };
        row("Alpha Store", true, 0,
            "Alpha Store|2.3.4|Copyright (C) 2025 Alpha Makers|alpha.example.test");
        row("0.9-beta", true, 1, "Beta Store|0.9-beta|(C) Beta|beta.example.test");
        row("Qt", false, 0, "Qt|Version: " + QString(qVersion()) + "|https://www.qt.io/");
        row("HTML Tidy", false, 0,
            "HTML Tidy|Version: " + QString(tidyLibraryVersion()) + "|https://www.html-tidy.org/");
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
        opened.clear();
        ModalWatcher<QDialog> watcher([&](QDialog *dialog) {
            for (const QLineEdit *edit : dialog->findChildren<QLineEdit *>())
                shown += edit->text() + '|';
            auto *browser = dialog->findChild<QTextBrowser *>();
            shown += browser->toPlainText().replace('\n', '|');
            QTextCursor cursor(browser->document());
            cursor.setPosition(browser->toPlainText().indexOf("https://") + 12);
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier,
                              browser->cursorRect(cursor).center());
            dialog->close();
        });
        QTest::mouseClick(list->findChild<QPushButton *>(QStringLiteral("detailPushButton")),
                          Qt::LeftButton);
        QVERIFY(watcher.handled());
        for (const QString &text : detail.split('|'))
            QVERIFY2(shown.contains(text), qPrintable(shown));
        QCOMPARE(opened.size(), plugins ? 0 : 1);
    }

private:
    PluginManager manager;
    QList<QUrl> opened;
};

QTEST_MAIN(TestInfoDialogs)
#include "tst_infodialogs.moc"
