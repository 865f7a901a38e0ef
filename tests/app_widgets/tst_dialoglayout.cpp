#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "LibraryDialog.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "data/Option.h"

#include <QtTest>
#include <QtWidgets>

using namespace zorv;

// At a large desktop font every dialog shows each label and button whole, the
// configuration also with its widest preview, and the about box its text.
class TestDialogLayout : public QObject
{
    Q_OBJECT

private slots:
    void textsAreWholeAt16Points()
    {
        QApplication::setFont(QFont(QApplication::font().family(), 16));
        auto *config = new ConfigDialog;
        config->setOption(Option::createDefault());
        const QList<QDialog *> dialogs = {config, new AboutDialog, new PluginDialog,
                                          new PluginDetailDialog, new LibraryDialog};
        for (QDialog *dialog : dialogs) {
            QScopedPointer<QDialog> owner(dialog);
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            if (auto *spin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox")))
                spin->setValue(5);
            QApplication::processEvents();
            if (auto *about = dialog->findChild<QTextBrowser *>(QStringLiteral("zorvTextBrowser")))
                QVERIFY(about->verticalScrollBar()->maximum() == 0);
            for (QWidget *text : dialog->findChildren<QWidget *>()) {
                if (qobject_cast<QLabel *>(text) || qobject_cast<QAbstractButton *>(text))
                    QVERIFY2(text->width() >= text->sizeHint().width() &&
                                 text->height() >= text->sizeHint().height(),
                             qPrintable(text->property("text").toString()));
            }
        }
    }
};

ZORV_TEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
