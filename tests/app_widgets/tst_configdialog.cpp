#include "ConfigDialog.h"
#include "data/Option.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace zorv;

// The user edits the widget a row names (a check box by its Alt key) and
// presses OK (or Cancel): the
// preview follows the form, and the dialog opened again shows what OK stored.
class TestConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void edit_data()
    {
        QTest::addColumn<QString>("preview"); // of the defaults: "[maker] title [id] [age] [date] "
        QTest::addRow("idCheckBox") << "[maker] title [age] [date] ";
        QTest::addRow("makerCheckBox") << "title [id] [age] [date] ";
        QTest::addRow("ageCheckBox") << "[maker] title [id] [date] ";
        QTest::addRow("dateCheckBox") << "[maker] title [id] [age] ";
        QTest::addRow("beginDelimiterCheckBox") << "maker] title id] age] date] ";
        QTest::addRow("endDelimiterCheckBox") << "[maker title [id [age [date ";
        QTest::addRow("beginDelimiterLineEdit") << "(maker] title (id] (age] (date] ";
        QTest::addRow("endDelimiterLineEdit") << "[maker( title [id( [age( [date( ";
        QTest::addRow("spaceSizeSpinBox") << "[maker]title[id][age][date]";
        QTest::addRow("orderUpPushButton") << "[maker] title [id] [date] [age] ";
        QTest::addRow("orderDownPushButton") << "title [maker] [id] [age] [date] ";
        QTest::addRow("idCheckBox, Cancel") << "[maker] title [age] [date] ";
    }

    void edit()
    {
        QFETCH(QString, preview);
        const QString widget = QString(QTest::currentDataTag()).section(',', 0, 0);
        const bool ok = !QString(QTest::currentDataTag()).endsWith("Cancel");
        const QSharedPointer<Option> option = Option::createDefault();
        const QSharedPointer<RenameOption> renamers = option->renameOption();
        QString shown[2]; // after the edit, and when opened again
        for (int pass = 0; pass < 2; ++pass) {
            ConfigDialog dialog;
            dialog.setOption(option);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            // A check box or button is pressed, a delimiter becomes "(", the
            // space size goes one down; up moves the last row, down the first.
            dialog.findChild<QListWidget *>()->setCurrentRow(widget.contains("Up") ? 4 : 0);
            QWidget *edit = pass == 0 ? dialog.findChild<QWidget *>(widget) : nullptr;
            if (auto *line = qobject_cast<QLineEdit *>(edit)) {
                line->selectAll();
                QTest::keyClicks(line, QStringLiteral("("));
            } else if (auto *box = qobject_cast<QCheckBox *>(edit)) {
                // By its mnemonic (which clicks a moment later): a box without
                // one, or one shared, is not ticked.
                const bool checked = box->isChecked();
                QTest::keySequence(&dialog, QKeySequence::mnemonic(box->text()));
                QTRY_VERIFY(box->isChecked() != checked);
            } else if (edit) {
                QTest::keyClick(edit,
                                qobject_cast<QSpinBox *>(edit) ? Qt::Key_Down : Qt::Key_Space);
            }
            shown[pass] = dialog.findChild<QLabel *>(QStringLiteral("previewLabel"))->text();
            QTest::keyClick(dialog.findChild<QDialogButtonBox *>()->button(
                                ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                            Qt::Key_Space);
        }
        QCOMPARE(shown[0], preview);
        QCOMPARE(shown[1], ok ? preview : QStringLiteral("[maker] title [id] [age] [date] "));
        // The renamer holds the same record and sees the change at once.
        QVERIFY(*renamers == option->copyRenameOption());
    }
};

ZORV_TEST_MAIN(TestConfigDialog)
#include "tst_configdialog.moc"
