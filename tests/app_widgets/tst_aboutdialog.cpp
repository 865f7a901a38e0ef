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
        count += event->type() == QEvent::Close ? 1 : 0;
        return false;
    }
};

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void text();
    void fixedAndClosedThroughReject();
};

void TestAboutDialog::text()
{
    AboutDialog dialog;
    const QTextDocument *document =
        dialog.findChild<QTextBrowser *>(QStringLiteral("zorvTextBrowser"))->document();
    QStringList paragraphs;
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
        paragraphs.append(block.text());
    QCOMPARE(paragraphs.size(), 4);
    QCOMPARE(paragraphs.at(0), QStringLiteral("Zorvane 1.0.1"));
    QCOMPARE(paragraphs.at(1) + paragraphs.at(3), QString());
    // Our own copyright line.
    QVERIFY2(paragraphs.at(2).startsWith(QLatin1String("Copyright (C) ")) &&
                 paragraphs.at(2).contains(QLatin1String("Zorvane")),
             qPrintable(paragraphs.at(2)));
}

void TestAboutDialog::fixedAndClosedThroughReject()
{
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ZORVについて"));
    QCOMPARE(dialog.minimumSize(), dialog.size());
    QCOMPARE(dialog.maximumSize(), dialog.size());
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
