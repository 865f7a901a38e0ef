#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "LibraryInfo.h"
#include "ModalWatcher.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtTest>

#include <tidy/tidy.h>

using namespace zorv;

namespace {

// What a library detail page showed, read from its document.
struct Page
{
    QString heading;
    int headingLevel = 0;
    QString plain;
    QStringList links; // link targets, in document order
    QStringList linkTexts;
};

Page readPage(QDialog *dialog)
{
    Page page;
    const QTextDocument *document =
        dialog->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->document();
    page.heading = document->firstBlock().text();
    page.headingLevel = document->firstBlock().blockFormat().headingLevel();
    page.plain = document->toPlainText();
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                page.links.append(it.fragment().charFormat().anchorHref());
                page.linkTexts.append(it.fragment().text());
            }
        }
    }
    return page;
}

QTreeWidget *tree(QDialog *dialog)
{
    return dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

QPushButton *detailButton(QDialog *dialog)
{
    return dialog->findChild<QPushButton *>(QStringLiteral("detailPushButton"));
}

void clickClose(QDialog *dialog)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close),
                      Qt::LeftButton);
}

void clickRow(QTreeWidget *widget, int row)
{
    const QRect rect = widget->visualRect(widget->model()->index(row, 0));
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

// Counts the close events a widget receives: close() sends one, reject() does not.
class CloseEventCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Close ? 1 : 0;
        return false;
    }
};

} // namespace

// Receives the links the text browser hands to the desktop, instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void openUrl(const QUrl &url) { urls.append(url); }
};

class TestLibraryDialog : public QObject
{
    Q_OBJECT

private slots:
    void fixedAndClosed_data();
    void fixedAndClosed();
    void listHoldsQtAndTidy();
    void detailButtonWaitsForClick();
    void detailPage_data();
    void detailPage();
    void detailPageWithoutLibrary_data();
    void detailPageWithoutLibrary();
    void linkOpensOutside();
};

void TestLibraryDialog::fixedAndClosed_data()
{
    QTest::addColumn<bool>("list");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("closeEvents");
    QTest::newRow("list closes through reject()")
        << true << QStringLiteral("ZORV:ライブラリダイアログ") << 0;
    QTest::newRow("detail closes through close()")
        << false << QStringLiteral("ZORV:ライブラリ詳細ダイアログ") << 1;
}

void TestLibraryDialog::fixedAndClosed()
{
    QFETCH(bool, list);
    QFETCH(QString, title);
    QFETCH(int, closeEvents);

    QScopedPointer<QDialog> dialog(list ? static_cast<QDialog *>(new LibraryDialog)
                                        : static_cast<QDialog *>(new LibraryDetailDialog));
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->minimumSize(), dialog->size());
    QCOMPARE(dialog->maximumSize(), dialog->size());
    CloseEventCounter counter;
    dialog->installEventFilter(&counter);
    QSignalSpy rejected(dialog.data(), SIGNAL(rejected()));
    ModalWatcher<QDialog> watcher(clickClose);
    QCOMPARE(dialog->exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(counter.count, closeEvents);
    QCOMPARE(rejected.count(), 1);
}

void TestLibraryDialog::listHoldsQtAndTidy()
{
    LibraryDialog dialog;
    QStringList rows;
    for (int row = 0; row < tree(&dialog)->topLevelItemCount(); ++row)
        rows.append(tree(&dialog)->topLevelItem(row)->text(0));
    QCOMPARE(rows, QStringList({QStringLiteral("Qt"), QStringLiteral("HTML Tidy")}));
}

void TestLibraryDialog::detailButtonWaitsForClick()
{
    LibraryDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!detailButton(&dialog)->isEnabled());
    tree(&dialog)->setFocus();
    QTest::keyClick(tree(&dialog), Qt::Key_Down);
    QVERIFY(tree(&dialog)->currentIndex().isValid());
    QVERIFY(!detailButton(&dialog)->isEnabled());

    // Pressing the closed button opens nothing.
    ModalWatcher<LibraryDetailDialog> none([](LibraryDetailDialog *detail) { detail->close(); });
    QTest::mouseClick(detailButton(&dialog), Qt::LeftButton);
    QVERIFY(!none.handled());

    clickRow(tree(&dialog), 0);
    QVERIFY(detailButton(&dialog)->isEnabled());
}

void TestLibraryDialog::detailPage_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("license");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("licenseUrl");
    QTest::addColumn<QString>("copyright");

    // The versions are the ones this process runs with.
    QTest::newRow("Qt") << 0 << QStringLiteral("Qt") << QString::fromLatin1(qVersion())
                        << QStringLiteral("LGPL v3") << QStringLiteral("https://www.qt.io/")
                        << QStringLiteral("https://doc.qt.io/qt-5/lgpl.html")
                        << QStringLiteral("The Qt Company");
    QTest::newRow("HTML Tidy")
        << 1 << QStringLiteral("HTML Tidy") << QString::fromLatin1(tidyLibraryVersion())
        << QStringLiteral("tidy") << QStringLiteral("https://www.html-tidy.org/")
        << QStringLiteral("https://github.com/htacg/tidy-html5/blob/next/README/LICENSE.md")
        << QStringLiteral("World Wide Web Consortium");
}

void TestLibraryDialog::detailPage()
{
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, license);
    QFETCH(QString, home);
    QFETCH(QString, licenseUrl);
    QFETCH(QString, copyright);

    // Never the versions the table once named.
    QVERIFY(!version.isEmpty() && version != QLatin1String("5.2.0") &&
            version != QLatin1String("1.2.2"));

    LibraryDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickRow(tree(&dialog), row);
    Page page;
    QWidget *detailParent = nullptr;
    ModalWatcher<LibraryDetailDialog> watcher([&](LibraryDetailDialog *detail) {
        page = readPage(detail);
        detailParent = detail->parentWidget();
        clickClose(detail);
    });
    QTest::mouseClick(detailButton(&dialog), Qt::LeftButton);
    QVERIFY(watcher.handled());
    QCOMPARE(detailParent, &dialog);

    QCOMPARE(page.heading, name);
    QCOMPARE(page.headingLevel, 1);
    for (const QString &line :
         {QStringLiteral("Version: ") + version, QStringLiteral("Home: ") + home,
          QStringLiteral("License: ") + license + QLatin1Char('\n'),
          QStringLiteral("License Url: ") + licenseUrl, copyright})
        QVERIFY2(page.plain.contains(line), qPrintable(page.plain));
    // Both addresses are links that show themselves.
    QCOMPARE(page.links, QStringList({home, licenseUrl}));
    QCOMPARE(page.linkTexts, page.links);
}

void TestLibraryDialog::detailPageWithoutLibrary_data()
{
    QTest::addColumn<int>("library"); // -2: never set
    QTest::newRow("never set") << -2;
    QTest::newRow("index -1") << -1;
    QTest::newRow("index 3") << 3;
}

void TestLibraryDialog::detailPageWithoutLibrary()
{
    QFETCH(int, library);

    LibraryDetailDialog dialog;
    if (library != -2)
        dialog.setLibrary(library);
    dialog.updateView();
    const Page page = readPage(&dialog);
    QCOMPARE(page.heading, QString());
    QCOMPARE(page.headingLevel, 1);
    QVERIFY2(page.plain.contains(QStringLiteral("Version: \n")), qPrintable(page.plain));
    QVERIFY2(page.plain.contains(QStringLiteral("License: \n")), qPrintable(page.plain));
    QVERIFY(page.links.isEmpty() || page.links == QStringList({QString(), QString()}));
    QVERIFY(!page.plain.contains(QLatin1Char('%')));
}

void TestLibraryDialog::linkOpensOutside()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "openUrl");
    LibraryDetailDialog dialog;
    dialog.setLibrary(1);
    dialog.updateView();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // Click the middle of the home-page link.
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
    const QString home = LibraryInfo::fromIndex(1).homeUrl;
    QTextCursor cursor(browser->document());
    cursor.setPosition(browser->document()->toPlainText().indexOf(home) + home.size() / 2);
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier,
                      browser->cursorRect(cursor).center());

    QTRY_COMPARE_WITH_TIMEOUT(catcher.urls.size(), 1, 10000);
    QCOMPARE(catcher.urls.first(), QUrl(home));
    // The page stays as it was and the dialog stays open.
    QVERIFY(dialog.isVisible());
    QCOMPARE(readPage(&dialog).heading, QStringLiteral("HTML Tidy"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

QTEST_MAIN(TestLibraryDialog)
#include "tst_librarydialog.moc"
