#include "AboutDialog.h"
#include "ModalWatcher.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

using namespace zorv;

namespace {

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

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void formIsFixed();
    void text();
    void closesThroughReject();
};

void TestAboutDialog::formIsFixed()
{
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ZORVについて"));
    QCOMPARE(dialog.size(), QSize(282, 134));
    QCOMPARE(dialog.minimumSize(), QSize(282, 134));
    QCOMPARE(dialog.maximumSize(), QSize(282, 134));
    auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("okButtonBox"));
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Close);
}

void TestAboutDialog::text()
{
    AboutDialog dialog;
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("zorvTextBrowser"));
    QVERIFY(browser);
    QVERIFY(browser->autoFillBackground());
    const QTextDocument *document = browser->document();

    QStringList paragraphs;
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
        paragraphs.append(block.text());
    QCOMPARE(paragraphs.size(), 4);
    QCOMPARE(paragraphs.at(0), QStringLiteral("Zorvane 1.0.1"));
    QCOMPARE(paragraphs.at(1), QString());
    QVERIFY2(paragraphs.at(2).startsWith(QLatin1String("Copyright (C) ")),
             qPrintable(paragraphs.at(2)));
    QVERIFY(paragraphs.at(2).contains(QLatin1String("Zorvane")));
    QCOMPARE(paragraphs.at(3), QString());

    // The version line keeps the form's character format.
    const QTextCharFormat format = document->firstBlock().begin().fragment().charFormat();
    QCOMPARE(format.fontFamily(), QStringLiteral("MS UI Gothic"));
    QCOMPARE(format.fontPointSize(), 9.0);
    QCOMPARE(document->firstBlock().blockFormat().topMargin(), 0.0);
}

void TestAboutDialog::closesThroughReject()
{
    AboutDialog dialog;
    CloseEventCounter counter;
    dialog.installEventFilter(&counter);
    QSignalSpy rejected(&dialog, SIGNAL(rejected()));
    ModalWatcher<AboutDialog> watcher([](AboutDialog *shown) {
        auto *box = shown->findChild<QDialogButtonBox *>(QStringLiteral("okButtonBox"));
        QTest::mouseClick(box->button(QDialogButtonBox::Close), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(watcher.handled());
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(counter.count, 0);
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
