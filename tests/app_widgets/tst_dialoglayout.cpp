#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "data/Option.h"

#include <QtTest>
#include <QtWidgets>

// At a large desktop font every dialog shows each label and button whole
// (the forms were drawn for one small font and cut their texts off at others),
// the configuration also with its widest preview, and the about box its text.
class TestDialogLayout : public QObject
{
    Q_OBJECT

private slots:
    void textsAreWholeAt16Points()
    {
        QApplication::setFont(QFont(QApplication::font().family(), 16));
        auto *config = new zorv::ConfigDialog;
        config->setOption(zorv::Option::createDefault());
        const QList<QDialog *> dialogs = {config,
                                          new zorv::AboutDialog,
                                          new zorv::PluginDialog,
                                          new zorv::PluginDetailDialog,
                                          new zorv::LibraryDialog,
                                          new zorv::LibraryDetailDialog};
        for (QDialog *dialog : dialogs) {
            QScopedPointer<QDialog> owner(dialog);
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            if (auto *spin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox")))
                spin->setValue(5);
            QApplication::processEvents();
            QList<QWidget *> texts;
            for (QLabel *label : dialog->findChildren<QLabel *>())
                texts.append(label);
            for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
                texts.append(button);
            for (QWidget *text : qAsConst(texts)) {
                const QSize need = text->sizeHint();
                QVERIFY2(QRect(QPoint(), text->size()).contains(QRect(QPoint(), need)),
                         qPrintable(text->objectName() + text->property("text").toString()));
            }
            if (auto *about = dialog->findChild<QTextBrowser *>(QStringLiteral("zorvTextBrowser")))
                QVERIFY(about->verticalScrollBar()->maximum() == 0 &&
                        about->horizontalScrollBar()->maximum() == 0);
        }
    }
};

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
