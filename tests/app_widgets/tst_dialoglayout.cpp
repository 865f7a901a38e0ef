#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "data/Option.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBrowser>
#include <QtTest>

using namespace zorv;

// At a large desktop font every dialog shows each label and button whole:
// the forms were drawn for one small font and cut their texts off at others.
class TestDialogLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QApplication::font().family(), 16)); }
    void textsAreWhole_data();
    void textsAreWhole();
};

void TestDialogLayout::textsAreWhole_data()
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("spaceSize"); // the configuration's blanks: the widest preview at 5
    const QStringList names = {QStringLiteral("configuration"), QStringLiteral("about"),
                               QStringLiteral("plug-ins"),      QStringLiteral("plug-in detail"),
                               QStringLiteral("libraries"),     QStringLiteral("library detail")};
    for (int i = 0; i < names.size(); ++i)
        QTest::addRow("%s", qPrintable(names.at(i))) << i << 1;
    QTest::addRow("configuration, widest preview") << 0 << 5;
}

void TestDialogLayout::textsAreWhole()
{
    QFETCH(int, dialog);
    QFETCH(int, spaceSize);
    QScopedPointer<QDialog> shown;
    switch (dialog) {
    case 0: {
        auto *config = new ConfigDialog;
        config->setOption(Option::createDefault());
        shown.reset(config);
        break;
    }
    case 1:
        shown.reset(new AboutDialog);
        break;
    case 2:
        shown.reset(new PluginDialog);
        break;
    case 3:
        shown.reset(new PluginDetailDialog);
        break;
    case 4:
        shown.reset(new LibraryDialog);
        break;
    default:
        shown.reset(new LibraryDetailDialog);
        break;
    }
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.data()));
    if (auto *spin = shown->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox")))
        spin->setValue(spaceSize);
    QApplication::processEvents();

    QList<QWidget *> texts;
    for (QLabel *label : shown->findChildren<QLabel *>())
        texts.append(label);
    for (QAbstractButton *button : shown->findChildren<QAbstractButton *>())
        texts.append(button);
    for (QWidget *text : qAsConst(texts)) {
        const QSize need = text->sizeHint();
        QVERIFY2(need.width() <= text->width() && need.height() <= text->height(),
                 qPrintable(QStringLiteral("%1: %2x%3 shown in %4x%5")
                                .arg(text->objectName())
                                .arg(need.width())
                                .arg(need.height())
                                .arg(text->width())
                                .arg(text->height())));
    }
    // The about box's few lines need no scrolling.
    if (auto *about = shown->findChild<QTextBrowser *>(QStringLiteral("zorvTextBrowser"))) {
        QCOMPARE(about->verticalScrollBar()->maximum(), 0);
        QCOMPARE(about->horizontalScrollBar()->maximum(), 0);
    }
}

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
