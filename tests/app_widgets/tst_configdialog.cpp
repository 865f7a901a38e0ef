#include "ConfigDialog.h"
#include "ModalWatcher.h"
#include "OptionText.h"
#include "data/Option.h"
#include "data/RenameOption.h"
#include "plugin/PluginInterface.h"
#include "renamer/NameComposition.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace zorv;

namespace {

const QString defaultPreview = QStringLiteral("[maker] title [id] [age] [date] ");

QSharedPointer<Option> makeOption(const QString &settings)
{
    QSharedPointer<Option> option = Option::createDefault();
    option->storeRenameOption(OptionText::parse(settings));
    return option;
}

QString describe(const RenameOption &record)
{
    return OptionText::describe(record);
}

// The dialog's widgets, found by their object names, and the user's gestures.
struct Form
{
    explicit Form(QDialog *dialog)
        : window(dialog)
    {
        for (const char *name : {"beginDelimiterCheckBox", "endDelimiterCheckBox", "idCheckBox",
                                 "makerCheckBox", "dateCheckBox", "ageCheckBox"})
            boxes.append(dialog->findChild<QCheckBox *>(QLatin1String(name)));
        beginEdit = dialog->findChild<QLineEdit *>(QStringLiteral("beginDelimiterLineEdit"));
        endEdit = dialog->findChild<QLineEdit *>(QStringLiteral("endDelimiterLineEdit"));
        spaceSpin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"));
        list = dialog->findChild<QListWidget *>(QStringLiteral("orderListWidget"));
        up = dialog->findChild<QPushButton *>(QStringLiteral("orderUpPushButton"));
        down = dialog->findChild<QPushButton *>(QStringLiteral("orderDownPushButton"));
        preview = dialog->findChild<QLabel *>(QStringLiteral("previewLabel"));
        auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        ok = box->button(QDialogButtonBox::Ok);
        cancel = box->button(QDialogButtonBox::Cancel);
    }

    QString state() const
    {
        QStringList on;
        for (int bit = 0; bit < boxes.size(); ++bit) {
            if (boxes.at(bit)->isChecked())
                on.append(OptionText::switchNames().at(bit));
        }
        QStringList rows;
        for (int row = 0; row < list->count(); ++row)
            rows.append(list->item(row)->text());
        return OptionText::describe(on, spaceSpin->value(), beginEdit->text(), endEdit->text(),
                                    rows);
    }

    // Enters settings (all but the order) the way the user does.
    void enter(const QString &settings) const
    {
        for (const QString &item : settings.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString key = item.section(QLatin1Char('='), 0, 0);
            const QString value = item.section(QLatin1Char('='), 1);
            if (key == QLatin1String("on") || key == QLatin1String("off")) {
                for (int bit = 0; bit < boxes.size(); ++bit) {
                    if (OptionText::switchOn(key, value.split(QLatin1Char(',')), bit) !=
                        boxes.at(bit)->isChecked())
                        click(boxes.at(bit));
                }
            } else if (key == QLatin1String("space")) {
                spaceSpin->setValue(value.toInt());
            } else if (key == QLatin1String("begin") || key == QLatin1String("end")) {
                QLineEdit *edit = key == QLatin1String("begin") ? beginEdit : endEdit;
                edit->selectAll();
                QTest::keyClick(edit, Qt::Key_Delete);
                QTest::keyClicks(edit, value);
            } else {
                qFatal("cannot enter %s", qPrintable(item));
            }
        }
    }

    // Moves the word in row from the given number of rows, up (-) or down (+).
    void move(int row, int rows) const
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        for (int step = 0; step < qAbs(rows); ++step)
            click(rows < 0 ? up : down);
    }

    void click(QAbstractButton *button) const { QTest::mouseClick(button, Qt::LeftButton); }

    QDialog *window;
    QList<QCheckBox *> boxes;
    QLineEdit *beginEdit = nullptr;
    QLineEdit *endEdit = nullptr;
    QSpinBox *spaceSpin = nullptr;
    QListWidget *list = nullptr;
    QPushButton *up = nullptr;
    QPushButton *down = nullptr;
    QLabel *preview = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
};

// Runs a dialog on the option modally; act plays the user's part in it.
int runDialog(const QSharedPointer<Option> &option, const std::function<void(Form &)> &act)
{
    ConfigDialog dialog;
    dialog.setOption(option);
    ModalWatcher<ConfigDialog> watcher([&act](ConfigDialog *shown) {
        Form form(shown);
        act(form);
    });
    const int result = dialog.exec();
    return watcher.handled() ? result : -1;
}

} // namespace

class TestConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formIsFixed();
    void setOptionFillsForm_data();
    void setOptionFillsForm();
    void previewFollowsForm_data();
    void previewFollowsForm();
    void dateMovesToTopInFourClicks();
    void upWithoutSelectionChangesNothing();
    void okStoresEveryField();
    void rejectKeepsOptions_data();
    void rejectKeepsOptions();
    void nameAfterOkFollowsNewOptions();
    void noOptionStoresNothing();

private:
    // A shown dialog on the default options, for the cases that click in it.
    ConfigDialog *dialog = nullptr;
};

void TestConfigDialog::init()
{
    dialog = new ConfigDialog;
    dialog->setOption(Option::createDefault());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
}

void TestConfigDialog::cleanup()
{
    delete dialog;
    dialog = nullptr;
}

void TestConfigDialog::formIsFixed()
{
    QCOMPARE(dialog->windowTitle(), QStringLiteral("ZORV:設定ダイアログ"));
    QCOMPARE(dialog->minimumSize(), dialog->size());
    QCOMPARE(dialog->maximumSize(), dialog->size());
}

void TestConfigDialog::setOptionFillsForm_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("cut"); // what the widgets make of it

    QTest::newRow("defaults") << "" << QString();
    // Every switch is on in one row and off in another, and no two switches
    // agree in every row, so two swapped check boxes cannot pass.
    QTest::newRow("begin, id and date on") << "on=begin,id,date space=2" << QString();
    QTest::newRow("end, id and age on") << "on=end,id,age begin=( end=)" << QString();
    QTest::newRow("maker, date and age on")
        << "on=maker,date,age order=date,age,id,title,maker" << QString();
    QTest::newRow("space size above 5 shows 5") << "space=9" << QStringLiteral("space=5");
    QTest::newRow("two-character delimiters show their first character")
        << "begin=<< end=]}" << QStringLiteral("begin=< end=]");
    QTest::newRow("out-of-range slot shows an empty item")
        << "order=maker,title,7,age,date" << QString();
}

void TestConfigDialog::setOptionFillsForm()
{
    QFETCH(QString, stored);
    QFETCH(QString, cut);

    const QSharedPointer<Option> option = makeOption(stored);
    const RenameOption before = option->copyRenameOption();
    ConfigDialog fresh;
    fresh.setOption(option);
    QCOMPARE(Form(&fresh).state(),
             describe(makeOption(stored + QLatin1Char(' ') + cut)->copyRenameOption()));
    // Showing the options changes nothing in them.
    QVERIFY(option->copyRenameOption() == before);
}

void TestConfigDialog::previewFollowsForm_data()
{
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("preview");

    QTest::newRow("defaults") << "" << defaultPreview;
    QTest::newRow("id unchecked") << "off=id" << QStringLiteral("[maker] title [age] [date] ");
    QTest::newRow("without delimiters")
        << "off=begin,end" << QStringLiteral("maker title id age date ");
    QTest::newRow("space size 0") << "space=0" << QStringLiteral("[maker]title[id][age][date]");
    QTest::newRow("empty begin delimiter, switch on")
        << "begin=" << QStringLiteral("maker] title id] age] date] ");
    // A name that looks like markup ("< title >") is shown as typed.
    QTest::newRow("markup-like delimiters")
        << "begin=> end=<" << QStringLiteral(">maker< title >id< >age< >date< ");
}

void TestConfigDialog::previewFollowsForm()
{
    QFETCH(QString, entered);
    QFETCH(QString, preview);

    Form form(dialog);
    form.enter(entered);
    QCOMPARE(form.preview->text(), preview);
    // Every character is on screen: nothing is taken for markup and hidden.
    const int shownWidth = form.preview->sizeHint().width();
    const int textWidth = form.preview->fontMetrics().horizontalAdvance(preview);
    QVERIFY2(shownWidth >= textWidth,
             qPrintable(QStringLiteral("%1 < %2").arg(shownWidth).arg(textWidth)));
}

void TestConfigDialog::dateMovesToTopInFourClicks()
{
    const QSharedPointer<Option> option = Option::createDefault();
    const RenameOption before = option->copyRenameOption();
    dialog->setOption(option);
    Form form(dialog);
    QVERIFY(!form.up->isEnabled());
    QVERIFY(!form.down->isEnabled());
    // The buttons follow the current row: the first enables only down, the
    // last only up, the ones in between both.
    form.move(0, 0);
    QVERIFY(!form.up->isEnabled());
    QVERIFY(form.down->isEnabled());
    form.move(4, 0);
    QVERIFY(form.up->isEnabled());
    QVERIFY(!form.down->isEnabled());
    const QStringList previews = {QStringLiteral("[maker] title [id] [date] [age] "),
                                  QStringLiteral("[maker] title [date] [id] [age] "),
                                  QStringLiteral("[maker] [date] title [id] [age] "),
                                  QStringLiteral("[date] [maker] title [id] [age] ")};
    for (int click = 0; click < previews.size(); ++click) {
        form.click(form.up);
        QCOMPARE(form.list->currentRow(), 3 - click);
        QCOMPARE(form.up->isEnabled(), click < 3);
        QVERIFY(form.down->isEnabled());
        // The moved word stays the one selected item.
        const QList<QListWidgetItem *> selected = form.list->selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first()->text(), QStringLiteral("date"));
        QCOMPARE(form.preview->text(), previews.at(click));
    }
    // Losing the current row leaves the buttons as they were.
    form.list->setCurrentRow(-1);
    QVERIFY(!form.up->isEnabled());
    QVERIFY(form.down->isEnabled());
    // Moving rows edits the form only.
    QVERIFY(option->copyRenameOption() == before);
}

void TestConfigDialog::upWithoutSelectionChangesNothing()
{
    Form form(dialog);
    form.move(3, 0);
    form.list->clearSelection();
    QVERIFY(form.up->isEnabled());
    form.click(form.up);
    QCOMPARE(form.list->currentRow(), 3);
    QCOMPARE(form.state(), describe(Option::createDefault()->copyRenameOption()));
    QCOMPARE(form.preview->text(), defaultPreview);
}

void TestConfigDialog::okStoresEveryField()
{
    // Switches alternate so that each has to reach its own field; the values
    // the widgets cannot hold are stored as the widgets show them.
    const QSharedPointer<Option> option =
        makeOption(QStringLiteral("on=begin,id,date space=9 begin=<< end=]] "
                                  "order=maker,title,7,age,date"));
    const QSharedPointer<RenameOption> shared = option->renameOption();
    const RenameOption before = option->copyRenameOption();
    bool unchangedBeforeOk = false;
    const int result = runDialog(option, [&](Form &form) {
        form.enter(QStringLiteral("on=end,maker,age end="));
        form.move(4, -1); // maker title - date age
        form.move(0, 1);  // title maker - date age
        unchangedBeforeOk = option->copyRenameOption() == before;
        form.click(form.ok);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(unchangedBeforeOk);

    const RenameOption after = option->copyRenameOption();
    QCOMPARE(describe(after),
             QStringLiteral("on=end,maker,age space=5 begin=< end= order=title,maker,,date,age"));
    QCOMPARE(after.order(2), 5);
    // Stored in place: every holder of the record sees the new values.
    QCOMPARE(option->renameOption(), shared);
    QVERIFY(*shared == after);
}

void TestConfigDialog::rejectKeepsOptions_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape key") << true;
}

void TestConfigDialog::rejectKeepsOptions()
{
    QFETCH(bool, escape);

    const QSharedPointer<Option> option = Option::createDefault();
    const RenameOption before = option->copyRenameOption();
    const int result = runDialog(option, [&](Form &form) {
        form.enter(QStringLiteral("off=id,age begin=( space=3"));
        form.move(4, -1);
        if (escape)
            QTest::keyClick(form.window, Qt::Key_Escape);
        else
            form.click(form.cancel);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(option->copyRenameOption() == before);

    // Opened again, the form shows the options as they were.
    ConfigDialog again;
    again.setOption(option);
    Form form(&again);
    QCOMPARE(form.state(), describe(before));
    QCOMPARE(form.preview->text(), defaultPreview);
}

void TestConfigDialog::nameAfterOkFollowsNewOptions()
{
    const QSharedPointer<Option> option = Option::createDefault();
    WorkInfo work;
    work.id = QStringLiteral("RJ000111");
    work.title = QStringLiteral("Sea Song");
    work.makers = QStringList{QStringLiteral("Blue Works")};
    work.date = QStringLiteral("2024-05-01");
    work.age = QStringLiteral("All");
    QCOMPARE(composeBaseName(option->copyRenameOption(), work.id, work),
             QStringLiteral("[Blue Works] Sea Song [RJ000111] [All] [2024-05-01] "));

    const int result = runDialog(option, [](Form &form) {
        form.enter(QStringLiteral("off=age begin=( end=) space=0"));
        form.move(2, -2); // id maker title age date
        form.click(form.ok);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    // The renamer composes from the same record, the way it reads it.
    QCOMPARE(composeBaseName(option->copyRenameOption(), work.id, work),
             QStringLiteral("(RJ000111)(Blue Works)Sea Song(2024-05-01)"));
}

void TestConfigDialog::noOptionStoresNothing()
{
    // Without options the form still runs, and OK has nothing to write to.
    const int result = runDialog(QSharedPointer<Option>(), [](Form &form) {
        form.enter(QStringLiteral("off=id"));
        form.click(form.ok);
    });
    QCOMPARE(result, int(QDialog::Accepted));
}

QTEST_MAIN(TestConfigDialog)
#include "tst_configdialog.moc"
