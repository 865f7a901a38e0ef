#include "AboutDialog.h"
#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "ModalWatcher.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include <tidy/tidy.h>

using namespace zorv;

// The about box and the library list with its detail pages: what they tell
// of the program and the libraries it runs with.
class TestAboutDialogs : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { opened.append(url); }

private slots:
    void aboutShowsVersion()
    {
        AboutDialog dialog;
        const QString text = dialog.findChild<QTextBrowser *>()->toPlainText();
        QCOMPARE(text.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Zorvane " ZORV_PROJECT_VERSION));
    }

    void libraryDetail_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QUrl>("home");
        QTest::addRow("Qt") << 0 << "Qt" << QString::fromLatin1(qVersion())
                            << QUrl(QStringLiteral("https://www.qt.io/"));
        QTest::addRow("HTML Tidy") << 1 << "HTML Tidy" << QString::fromLatin1(tidyLibraryVersion())
                                   << QUrl(QStringLiteral("https://www.html-tidy.org/"));
    }

    // A click on a row and on the detail button opens the row's page, whose
    // version is the running library's and whose home link opens outside.
    void libraryDetail()
    {
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(QUrl, home);
        LibraryDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *tree = dialog.findChild<QTreeWidget *>();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(tree->model()->index(row, 0)).center());
        QString text;
        opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        ModalWatcher<LibraryDetailDialog> watcher([&](LibraryDetailDialog *detail) {
            auto *browser = detail->findChild<QTextBrowser *>();
            text = browser->toPlainText();
            QTextCursor cursor(browser->document());
            cursor.setPosition(text.indexOf(home.toString()) + 3);
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier,
                              browser->cursorRect(cursor).center());
            detail->close();
        });
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("detailPushButton")),
                          Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVERIFY(watcher.handled());
        QVERIFY2(text.startsWith(name + QLatin1Char('\n')), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Version: ") + version + QLatin1Char('\n')),
                 qPrintable(text));
        QCOMPARE(opened, QList<QUrl>{home});
    }

private:
    QList<QUrl> opened;
};

QTEST_MAIN(TestAboutDialogs)
#include "tst_aboutdialogs.moc"
