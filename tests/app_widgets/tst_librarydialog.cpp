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
    QStringList links;     // link targets, in document order
    QStringList linkTexts; // the texts those links show
};

Page readPage(QTextBrowser *browser)
{
    Page page;
    const QTextDocument *document = browser->document();
    const QTextBlock first = document->firstBlock();
    page.heading = first.text();
    page.headingLevel = first.blockFormat().headingLevel();
    page.plain = document->toPlainText();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor()) {
                page.links.append(fragment.charFormat().anchorHref());
                page.linkTexts.append(fragment.text());
            }
        }
    }
    return page;
}

QTextBrowser *browserOf(QDialog *dialog)
{
    return dialog->findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
}

QTreeWidget *tree(QDialog *dialog)
{
    return dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

QPushButton *detailButton(QDialog *dialog)
{
    return dialog->findChild<QPushButton *>(QStringLiteral("detailPushButton"));
}

QPushButton *closeButton(QDialog *dialog, const char *boxName)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QLatin1String(boxName));
    return box ? box->button(QDialogButtonBox::Close) : nullptr;
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
        if (event->type() == QEvent::Close)
            ++count;
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
    void formsAreFixed_data();
    void formsAreFixed();
    void listHoldsQtAndTidy();
    void libraryNames_data();
    void libraryNames();
    void detailButtonWaitsForClick();
    void detailPage_data();
    void detailPage();
    void detailPageWithoutLibrary();
    void linkOpensOutside();
    void closeWay_data();
    void closeWay();
};

void TestLibraryDialog::formsAreFixed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("title");
    QTest::newRow("list") << QStringLiteral("list") << QSize(240, 180)
                          << QStringLiteral("ZORV:ライブラリダイアログ");
    QTest::newRow("detail") << QStringLiteral("detail") << QSize(318, 253)
                            << QStringLiteral("ZORV:ライブラリ詳細ダイアログ");
}

void TestLibraryDialog::formsAreFixed()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QString, title);

    QScopedPointer<QDialog> dialog(kind == QLatin1String("list")
                                       ? static_cast<QDialog *>(new LibraryDialog)
                                       : static_cast<QDialog *>(new LibraryDetailDialog));
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    QCOMPARE(dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->standardButtons(),
             QDialogButtonBox::Close);
}

void TestLibraryDialog::listHoldsQtAndTidy()
{
    LibraryDialog dialog;
    QTreeWidget *widget = tree(&dialog);
    QCOMPARE(widget->columnCount(), 1);
    QVERIFY(widget->isHeaderHidden());
    QCOMPARE(widget->headerItem()->text(0), QStringLiteral("名前"));
    QCOMPARE(widget->topLevelItemCount(), 2);
    QCOMPARE(widget->topLevelItem(0)->text(0), QStringLiteral("Qt"));
    QCOMPARE(widget->topLevelItem(1)->text(0), QStringLiteral("HTML Tidy"));
}

void TestLibraryDialog::libraryNames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("-1") << -1 << QString();
    QTest::newRow("0") << 0 << QStringLiteral("Qt");
    QTest::newRow("1") << 1 << QStringLiteral("HTML Tidy");
    QTest::newRow("2 (no library)") << 2 << QString();
    QTest::newRow("3") << 3 << QString();
}

void TestLibraryDialog::libraryNames()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(libraryName(index), name);
    QCOMPARE(LibraryInfo::fromIndex(index).name, name);
    if (name.isEmpty()) {
        const LibraryInfo info = LibraryInfo::fromIndex(index);
        QVERIFY(info.version.isEmpty() && info.homeUrl.isEmpty() && info.licenseName.isEmpty() &&
                info.licenseUrl.isEmpty() && info.copyright.isEmpty());
    }
}

void TestLibraryDialog::detailButtonWaitsForClick()
{
    LibraryDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *widget = tree(&dialog);
    QVERIFY(!detailButton(&dialog)->isEnabled());

    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Down);
    QVERIFY(widget->currentIndex().isValid());
    QVERIFY(!detailButton(&dialog)->isEnabled());

    // Pressing the closed button opens nothing.
    ModalWatcher<LibraryDetailDialog> none([](LibraryDetailDialog *detail) { detail->close(); });
    QTest::mouseClick(detailButton(&dialog), Qt::LeftButton);
    QVERIFY(!none.handled());

    clickRow(widget, 0);
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
    QVERIFY(version != QLatin1String("5.2.0") && version != QLatin1String("1.2.2"));
    QVERIFY(!version.isEmpty());

    LibraryDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickRow(tree(&dialog), row);

    Page page;
    QWidget *detailParent = nullptr;
    ModalWatcher<LibraryDetailDialog> watcher([&](LibraryDetailDialog *detail) {
        page = readPage(browserOf(detail));
        detailParent = detail->parentWidget();
        QTest::mouseClick(closeButton(detail, "buttonBox"), Qt::LeftButton);
    });
    QTest::mouseClick(detailButton(&dialog), Qt::LeftButton);
    QVERIFY(watcher.handled());
    QCOMPARE(detailParent, &dialog);

    QCOMPARE(page.heading, name);
    QCOMPARE(page.headingLevel, 1);
    QVERIFY2(page.plain.contains(QStringLiteral("Version: ") + version), qPrintable(page.plain));
    QVERIFY2(page.plain.contains(QStringLiteral("License: ") + license + QLatin1Char('\n')),
             qPrintable(page.plain));
    QVERIFY2(page.plain.contains(QStringLiteral("Home: ") + home), qPrintable(page.plain));
    QVERIFY2(page.plain.contains(QStringLiteral("License Url: ") + licenseUrl),
             qPrintable(page.plain));
    QVERIFY2(page.plain.contains(copyright), qPrintable(page.plain));
    // Both addresses are links that show themselves.
    QCOMPARE(page.links, QStringList({home, licenseUrl}));
    QCOMPARE(page.linkTexts, QStringList({home, licenseUrl}));
}

void TestLibraryDialog::detailPageWithoutLibrary()
{
    LibraryDetailDialog dialog;
    dialog.updateView();
    const Page page = readPage(browserOf(&dialog));
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
    QTextBrowser *browser = browserOf(&dialog);
    QVERIFY(browser->openExternalLinks());

    // Click the middle of the home-page link.
    const QString home = LibraryInfo::fromIndex(1).homeUrl;
    const int at = browser->document()->toPlainText().indexOf(home);
    QVERIFY(at > 0);
    QTextCursor cursor(browser->document());
    cursor.setPosition(at + home.size() / 2);
    const QPoint point = browser->cursorRect(cursor).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, point);

    QTRY_COMPARE_WITH_TIMEOUT(catcher.urls.size(), 1, 10000);
    QCOMPARE(catcher.urls.first(), QUrl(home));
    // The page stays as it was and the dialog stays open.
    QVERIFY(dialog.isVisible());
    QCOMPARE(readPage(browser).heading, QStringLiteral("HTML Tidy"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestLibraryDialog::closeWay_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("closeEvents");
    QTest::newRow("list closes through reject()") << QStringLiteral("list") << 0;
    QTest::newRow("detail closes through close()") << QStringLiteral("detail") << 1;
}

void TestLibraryDialog::closeWay()
{
    QFETCH(QString, kind);
    QFETCH(int, closeEvents);

    QScopedPointer<QDialog> dialog(kind == QLatin1String("list")
                                       ? static_cast<QDialog *>(new LibraryDialog)
                                       : static_cast<QDialog *>(new LibraryDetailDialog));
    CloseEventCounter counter;
    dialog->installEventFilter(&counter);
    QSignalSpy rejected(dialog.data(), SIGNAL(rejected()));
    QSignalSpy accepted(dialog.data(), SIGNAL(accepted()));
    ModalWatcher<QDialog> watcher(
        [](QDialog *shown) { QTest::mouseClick(closeButton(shown, "buttonBox"), Qt::LeftButton); });
    QCOMPARE(dialog->exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(counter.count, closeEvents);
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(accepted.count(), 0);
}

QTEST_MAIN(TestLibraryDialog)
#include "tst_librarydialog.moc"
