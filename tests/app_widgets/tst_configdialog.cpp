#include "ConfigDialog.h"
#include "ModalWatcher.h"
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

// The option switches, one bit each, so a data row can name any combination.
enum Flag {
    BeginFlag = 1,
    EndFlag = 2,
    IdFlag = 4,
    MakerFlag = 8,
    DateFlag = 16,
    AgeFlag = 32,
    AllFlags = 63
};

const QString defaultPreview = QStringLiteral("[maker] title [id] [age] [date] ");

QSharedPointer<Option> makeOption(int flags, int spaceSize, const QString &begin,
                                  const QString &end, const QList<int> &orders)
{
    QSharedPointer<Option> option = Option::createDefault();
    RenameOption record = option->copyRenameOption();
    record.setBeginDelimiterEnabled(flags & BeginFlag);
    record.setEndDelimiterEnabled(flags & EndFlag);
    record.setIdEnabled(flags & IdFlag);
    record.setMakerEnabled(flags & MakerFlag);
    record.setDateEnabled(flags & DateFlag);
    record.setAgeEnabled(flags & AgeFlag);
    record.setSpaceSize(spaceSize);
    record.setBeginDelimiter(begin);
    record.setEndDelimiter(end);
    for (int slot = 0; slot < orders.size(); ++slot)
        record.setOrder(slot, static_cast<RenameElement>(orders.at(slot)));
    option->storeRenameOption(record);
    return option;
}

int flagsOf(const RenameOption &record)
{
    return (record.isBeginDelimiterEnabled() ? BeginFlag : 0) |
           (record.isEndDelimiterEnabled() ? EndFlag : 0) | (record.isIdEnabled() ? IdFlag : 0) |
           (record.isMakerEnabled() ? MakerFlag : 0) | (record.isDateEnabled() ? DateFlag : 0) |
           (record.isAgeEnabled() ? AgeFlag : 0);
}

QList<int> ordersOf(const RenameOption &record)
{
    QList<int> orders;
    for (int slot = 0; slot < RenameOption::OrderCount; ++slot)
        orders.append(record.order(slot));
    return orders;
}

const QList<int> defaultOrders = {Maker, Title, Id, Age, Date};

// The dialog's widgets, found by their object names.
struct Form
{
    explicit Form(QDialog *dialog)
    {
        beginCheck = dialog->findChild<QCheckBox *>(QStringLiteral("beginDelimiterCheckBox"));
        endCheck = dialog->findChild<QCheckBox *>(QStringLiteral("endDelimiterCheckBox"));
        idCheck = dialog->findChild<QCheckBox *>(QStringLiteral("idCheckBox"));
        makerCheck = dialog->findChild<QCheckBox *>(QStringLiteral("makerCheckBox"));
        dateCheck = dialog->findChild<QCheckBox *>(QStringLiteral("dateCheckBox"));
        ageCheck = dialog->findChild<QCheckBox *>(QStringLiteral("ageCheckBox"));
        beginEdit = dialog->findChild<QLineEdit *>(QStringLiteral("beginDelimiterLineEdit"));
        endEdit = dialog->findChild<QLineEdit *>(QStringLiteral("endDelimiterLineEdit"));
        spaceSpin = dialog->findChild<QSpinBox *>(QStringLiteral("spaceSizeSpinBox"));
        list = dialog->findChild<QListWidget *>(QStringLiteral("orderListWidget"));
        up = dialog->findChild<QPushButton *>(QStringLiteral("orderUpPushButton"));
        down = dialog->findChild<QPushButton *>(QStringLiteral("orderDownPushButton"));
        preview = dialog->findChild<QLabel *>(QStringLiteral("previewLabel"));
        buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    }

    bool complete() const
    {
        return beginCheck && endCheck && idCheck && makerCheck && dateCheck && ageCheck &&
               beginEdit && endEdit && spaceSpin && list && up && down && preview && buttons;
    }

    int flags() const
    {
        return (beginCheck->isChecked() ? BeginFlag : 0) | (endCheck->isChecked() ? EndFlag : 0) |
               (idCheck->isChecked() ? IdFlag : 0) | (makerCheck->isChecked() ? MakerFlag : 0) |
               (dateCheck->isChecked() ? DateFlag : 0) | (ageCheck->isChecked() ? AgeFlag : 0);
    }

    QStringList rows() const
    {
        QStringList texts;
        for (int row = 0; row < list->count(); ++row)
            texts.append(list->item(row)->text());
        return texts;
    }

    // Makes a row current the way the user does: by clicking it.
    void clickRow(int row) const
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    void click(QAbstractButton *button) const { QTest::mouseClick(button, Qt::LeftButton); }

    // Replaces a line edit's text by typing, as the user does.
    void type(QLineEdit *edit, const QString &text) const
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    QCheckBox *beginCheck = nullptr;
    QCheckBox *endCheck = nullptr;
    QCheckBox *idCheck = nullptr;
    QCheckBox *makerCheck = nullptr;
    QCheckBox *dateCheck = nullptr;
    QCheckBox *ageCheck = nullptr;
    QLineEdit *beginEdit = nullptr;
    QLineEdit *endEdit = nullptr;
    QSpinBox *spaceSpin = nullptr;
    QListWidget *list = nullptr;
    QPushButton *up = nullptr;
    QPushButton *down = nullptr;
    QLabel *preview = nullptr;
    QDialogButtonBox *buttons = nullptr;
};

} // namespace

class TestConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void formIsFixed();
    void elementNames_data();
    void elementNames();
    void setOptionFillsForm_data();
    void setOptionFillsForm();
    void previewFollowsForm_data();
    void previewFollowsForm();
    void buttonStatesFollowCurrentRow_data();
    void buttonStatesFollowCurrentRow();
    void dateMovesToTopInFourClicks();
    void moveRows_data();
    void moveRows();
    void upWithoutSelectionChangesNothing();
    void okStoresEveryField();
    void okStoresWhatTheFormShows();
    void rejectKeepsOptions_data();
    void rejectKeepsOptions();
    void nameAfterOkFollowsNewOptions();
    void noOptionStoresNothing();
};

void TestConfigDialog::formIsFixed()
{
    ConfigDialog dialog;
    Form form(&dialog);
    QVERIFY(form.complete());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ZORV:設定ダイアログ"));
    QCOMPARE(dialog.size(), QSize(365, 519));
    QCOMPARE(dialog.minimumSize(), QSize(365, 519));
    QCOMPARE(dialog.maximumSize(), QSize(365, 519));
    // Before any option arrives: the form's own words and closed buttons.
    QCOMPARE(form.rows(),
             QStringList({QStringLiteral("maker"), QStringLiteral("title"), QStringLiteral("age"),
                          QStringLiteral("id"), QStringLiteral("date")}));
    QCOMPARE(form.preview->text(), QStringLiteral("Preview"));
    QVERIFY(!form.up->isEnabled());
    QVERIFY(!form.down->isEnabled());
    QCOMPARE(form.spaceSpin->minimum(), 0);
    QCOMPARE(form.spaceSpin->maximum(), 5);
    QCOMPARE(form.beginEdit->maxLength(), 1);
    QCOMPARE(form.endEdit->maxLength(), 1);
    QCOMPARE(form.buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void TestConfigDialog::elementNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("element");
    QTest::addColumn<bool>("roundTrip");

    QTest::newRow("id") << QStringLiteral("id") << int(Id) << true;
    QTest::newRow("title") << QStringLiteral("title") << int(Title) << true;
    QTest::newRow("maker") << QStringLiteral("maker") << int(Maker) << true;
    QTest::newRow("date") << QStringLiteral("date") << int(Date) << true;
    QTest::newRow("age") << QStringLiteral("age") << int(Age) << true;
    QTest::newRow("empty") << QString() << 5 << false;
    QTest::newRow("other case") << QStringLiteral("Title") << 5 << false;
    QTest::newRow("trailing blank") << QStringLiteral("date ") << 5 << false;
}

void TestConfigDialog::elementNames()
{
    QFETCH(QString, name);
    QFETCH(int, element);
    QFETCH(bool, roundTrip);

    QCOMPARE(ConfigDialog::elementFromName(name), element);
    if (roundTrip)
        QCOMPARE(ConfigDialog::elementName(element), name);
    else
        QCOMPARE(ConfigDialog::elementName(element), QString());
}

void TestConfigDialog::setOptionFillsForm_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("spaceSize");
    QTest::addColumn<QString>("begin");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QList<int>>("orders");
    QTest::addColumn<int>("shownSpace");
    QTest::addColumn<QString>("shownBegin");
    QTest::addColumn<QString>("shownEnd");
    QTest::addColumn<QStringList>("shownRows");

    const QStringList defaultRows = {QStringLiteral("maker"), QStringLiteral("title"),
                                     QStringLiteral("id"), QStringLiteral("age"),
                                     QStringLiteral("date")};
    QTest::newRow("defaults") << int(AllFlags) << 1 << QStringLiteral("[") << QStringLiteral("]")
                              << defaultOrders << 1 << QStringLiteral("[") << QStringLiteral("]")
                              << defaultRows;
    // Each switch on its own, so that two swapped check boxes cannot pass.
    for (const int flag : {BeginFlag, EndFlag, IdFlag, MakerFlag, DateFlag, AgeFlag}) {
        QTest::addRow("only flag %d", flag)
            << flag << 2 << QStringLiteral("(") << QStringLiteral(")") << defaultOrders << 2
            << QStringLiteral("(") << QStringLiteral(")") << defaultRows;
        QTest::addRow("all but flag %d", flag)
            << (AllFlags & ~flag) << 0 << QStringLiteral("(") << QStringLiteral(")")
            << defaultOrders << 0 << QStringLiteral("(") << QStringLiteral(")") << defaultRows;
    }
    QTest::newRow("space size above 5 shows 5")
        << int(AllFlags) << 9 << QStringLiteral("[") << QStringLiteral("]") << defaultOrders << 5
        << QStringLiteral("[") << QStringLiteral("]") << defaultRows;
    QTest::newRow("two-character delimiters show their first character")
        << int(AllFlags) << 1 << QStringLiteral("<<") << QStringLiteral("]}") << defaultOrders << 1
        << QStringLiteral("<") << QStringLiteral("]") << defaultRows;
    QTest::newRow("empty delimiters")
        << int(AllFlags) << 1 << QString() << QString() << defaultOrders << 1 << QString()
        << QString() << defaultRows;
    QTest::newRow("another order")
        << int(AllFlags) << 1 << QStringLiteral("[") << QStringLiteral("]")
        << QList<int>({Date, Age, Id, Title, Maker}) << 1 << QStringLiteral("[")
        << QStringLiteral("]")
        << QStringList({QStringLiteral("date"), QStringLiteral("age"), QStringLiteral("id"),
                        QStringLiteral("title"), QStringLiteral("maker")});
    QTest::newRow("out-of-range slot shows an empty item")
        << int(AllFlags) << 1 << QStringLiteral("[") << QStringLiteral("]")
        << QList<int>({Maker, Title, 7, Age, Date}) << 1 << QStringLiteral("[")
        << QStringLiteral("]")
        << QStringList({QStringLiteral("maker"), QStringLiteral("title"), QString(),
                        QStringLiteral("age"), QStringLiteral("date")});
}

void TestConfigDialog::setOptionFillsForm()
{
    QFETCH(int, flags);
    QFETCH(int, spaceSize);
    QFETCH(QString, begin);
    QFETCH(QString, end);
    QFETCH(QList<int>, orders);
    QFETCH(int, shownSpace);
    QFETCH(QString, shownBegin);
    QFETCH(QString, shownEnd);
    QFETCH(QStringList, shownRows);

    const QSharedPointer<Option> option = makeOption(flags, spaceSize, begin, end, orders);
    const RenameOption before = option->copyRenameOption();
    ConfigDialog dialog;
    dialog.setOption(option);
    Form form(&dialog);

    QCOMPARE(form.flags(), flags);
    QCOMPARE(form.spaceSpin->value(), shownSpace);
    QCOMPARE(form.beginEdit->text(), shownBegin);
    QCOMPARE(form.endEdit->text(), shownEnd);
    QCOMPARE(form.rows(), shownRows);
    // Showing the options changes nothing in them.
    QVERIFY(option->copyRenameOption() == before);
}

void TestConfigDialog::previewFollowsForm_data()
{
    QTest::addColumn<QList<int>>("orders");
    QTest::addColumn<int>("uncheck");
    QTest::addColumn<QString>("begin");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("spaceSize");
    QTest::addColumn<QString>("preview");

    const QString b = QStringLiteral("[");
    const QString e = QStringLiteral("]");
    QTest::newRow("defaults") << defaultOrders << 0 << b << e << 1 << defaultPreview;
    QTest::newRow("id unchecked") << defaultOrders << int(IdFlag) << b << e << 1
                                  << QStringLiteral("[maker] title [age] [date] ");
    QTest::newRow("maker, date and age unchecked")
        << defaultOrders << int(MakerFlag | DateFlag | AgeFlag) << b << e << 1
        << QStringLiteral("title [id] ");
    QTest::newRow("every element unchecked: the title alone, never delimited")
        << defaultOrders << int(IdFlag | MakerFlag | DateFlag | AgeFlag) << b << e << 2
        << QStringLiteral("title  ");
    QTest::newRow("without delimiters") << defaultOrders << int(BeginFlag | EndFlag) << b << e << 1
                                        << QStringLiteral("maker title id age date ");
    QTest::newRow("only the end delimiter") << defaultOrders << int(BeginFlag) << b << e << 1
                                            << QStringLiteral("maker] title id] age] date] ");
    QTest::newRow("space size 0") << defaultOrders << 0 << b << e << 0
                                  << QStringLiteral("[maker]title[id][age][date]");
    QTest::newRow("space size 3") << defaultOrders << 0 << b << e << 3
                                  << QStringLiteral("[maker]   title   [id]   [age]   [date]   ");
    QTest::newRow("empty begin delimiter, switch on")
        << defaultOrders << 0 << QString() << e << 1
        << QStringLiteral("maker] title id] age] date] ");
    QTest::newRow("other delimiters")
        << defaultOrders << 0 << QStringLiteral("(") << QStringLiteral("}") << 1
        << QStringLiteral("(maker} title (id} (age} (date} ");
    QTest::newRow("another order") << QList<int>({Date, Id, Title, Maker, Age}) << int(MakerFlag)
                                   << b << e << 1 << QStringLiteral("[date] [id] title [age] ");
    // Delimiters that make the name look like markup ("< title >") are shown
    // as typed, like any other name.
    QTest::newRow("markup-like delimiters")
        << defaultOrders << 0 << QStringLiteral(">") << QStringLiteral("<") << 1
        << QStringLiteral(">maker< title >id< >age< >date< ");
    QTest::newRow("markup-like delimiters, space size 0")
        << defaultOrders << 0 << QStringLiteral(">") << QStringLiteral("<") << 0
        << QStringLiteral(">maker<title>id<>age<>date<");
    // No element, so no check box applies: only delimiters and blanks remain.
    QTest::newRow("out-of-range slot") << QList<int>({Maker, Title, 7, Age, Date}) << 0 << b << e
                                       << 1 << QStringLiteral("[maker] title [] [age] [date] ");
    QTest::newRow("out-of-range slot, every element unchecked")
        << QList<int>({Maker, Title, 7, Age, Date}) << int(IdFlag | MakerFlag | DateFlag | AgeFlag)
        << b << e << 1 << QStringLiteral("title [] ");
}

void TestConfigDialog::previewFollowsForm()
{
    QFETCH(QList<int>, orders);
    QFETCH(int, uncheck);
    QFETCH(QString, begin);
    QFETCH(QString, end);
    QFETCH(int, spaceSize);
    QFETCH(QString, preview);

    ConfigDialog dialog;
    dialog.setOption(makeOption(AllFlags, 1, QStringLiteral("["), QStringLiteral("]"), orders));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Form form(&dialog);

    // Edit the form as the user does; the preview follows every edit.
    const QList<QPair<int, QCheckBox *>> boxes = {
        {BeginFlag, form.beginCheck}, {EndFlag, form.endCheck},   {IdFlag, form.idCheck},
        {MakerFlag, form.makerCheck}, {DateFlag, form.dateCheck}, {AgeFlag, form.ageCheck}};
    for (const auto &box : boxes) {
        if (uncheck & box.first)
            form.click(box.second);
    }
    QCOMPARE(form.flags(), AllFlags & ~uncheck);
    form.type(form.beginEdit, begin);
    form.type(form.endEdit, end);
    form.spaceSpin->setValue(spaceSize);

    QCOMPARE(form.preview->text(), preview);
    // Every character is on screen: nothing is taken for markup and hidden.
    const int shownWidth = form.preview->sizeHint().width();
    const int textWidth = form.preview->fontMetrics().horizontalAdvance(preview);
    QVERIFY2(shownWidth >= textWidth,
             qPrintable(QStringLiteral("%1 < %2").arg(shownWidth).arg(textWidth)));
}

void TestConfigDialog::buttonStatesFollowCurrentRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("upEnabled");
    QTest::addColumn<bool>("downEnabled");

    QTest::newRow("first row") << 0 << false << true;
    QTest::newRow("second row") << 1 << true << true;
    QTest::newRow("middle row") << 2 << true << true;
    QTest::newRow("fourth row") << 3 << true << true;
    QTest::newRow("last row") << 4 << true << false;
}

void TestConfigDialog::buttonStatesFollowCurrentRow()
{
    QFETCH(int, row);
    QFETCH(bool, upEnabled);
    QFETCH(bool, downEnabled);

    ConfigDialog dialog;
    dialog.setOption(Option::createDefault());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Form form(&dialog);
    QVERIFY(!form.up->isEnabled());
    QVERIFY(!form.down->isEnabled());

    // Come from the opposite end so that both buttons have to change.
    form.clickRow(row < 2 ? 4 : 0);
    form.clickRow(row);
    QCOMPARE(form.list->currentRow(), row);
    QCOMPARE(form.up->isEnabled(), upEnabled);
    QCOMPARE(form.down->isEnabled(), downEnabled);

    // Losing the current row leaves the buttons as they were.
    form.list->setCurrentRow(-1);
    QCOMPARE(form.up->isEnabled(), upEnabled);
    QCOMPARE(form.down->isEnabled(), downEnabled);
}

void TestConfigDialog::dateMovesToTopInFourClicks()
{
    const QSharedPointer<Option> option = Option::createDefault();
    const RenameOption before = option->copyRenameOption();
    ConfigDialog dialog;
    dialog.setOption(option);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Form form(&dialog);

    form.clickRow(4);
    QCOMPARE(form.list->currentItem()->text(), QStringLiteral("date"));
    const QStringList previews = {QStringLiteral("[maker] title [id] [date] [age] "),
                                  QStringLiteral("[maker] title [date] [id] [age] "),
                                  QStringLiteral("[maker] [date] title [id] [age] "),
                                  QStringLiteral("[date] [maker] title [id] [age] ")};
    for (int click = 0; click < previews.size(); ++click) {
        QVERIFY(form.up->isEnabled());
        form.click(form.up);
        const int row = 3 - click;
        QCOMPARE(form.list->currentRow(), row);
        const QList<QListWidgetItem *> selected = form.list->selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first()->text(), QStringLiteral("date"));
        QCOMPARE(form.preview->text(), previews.at(click));
    }
    QCOMPARE(form.rows(),
             QStringList({QStringLiteral("date"), QStringLiteral("maker"), QStringLiteral("title"),
                          QStringLiteral("id"), QStringLiteral("age")}));
    QVERIFY(!form.up->isEnabled());
    QVERIFY(form.down->isEnabled());
    // Moving rows edits the form only.
    QVERIFY(option->copyRenameOption() == before);
}

void TestConfigDialog::moveRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("currentRow");
    QTest::addColumn<QStringList>("rows");

    const QString m = QStringLiteral("maker");
    const QString t = QStringLiteral("title");
    const QString i = QStringLiteral("id");
    const QString a = QStringLiteral("age");
    const QString d = QStringLiteral("date");
    QTest::newRow("maker down once")
        << 0 << QStringLiteral("down") << 1 << 1 << QStringList({t, m, i, a, d});
    QTest::newRow("maker down to the bottom")
        << 0 << QStringLiteral("down") << 4 << 4 << QStringList({t, i, a, d, m});
    QTest::newRow("id up once") << 2 << QStringLiteral("up") << 1 << 1
                                << QStringList({m, i, t, a, d});
    QTest::newRow("title down twice")
        << 1 << QStringLiteral("down") << 2 << 3 << QStringList({m, i, a, t, d});
    QTest::newRow("up and down cancel out")
        << 2 << QStringLiteral("up,down") << 1 << 2 << QStringList({m, t, i, a, d});
}

void TestConfigDialog::moveRows()
{
    QFETCH(int, row);
    QFETCH(QString, button);
    QFETCH(int, clicks);
    QFETCH(int, currentRow);
    QFETCH(QStringList, rows);

    ConfigDialog dialog;
    dialog.setOption(Option::createDefault());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Form form(&dialog);

    form.clickRow(row);
    for (const QString &name : button.split(QLatin1Char(','))) {
        QPushButton *pushButton = name == QLatin1String("up") ? form.up : form.down;
        for (int click = 0; click < clicks; ++click)
            form.click(pushButton);
    }
    QCOMPARE(form.rows(), rows);
    QCOMPARE(form.list->currentRow(), currentRow);
    QCOMPARE(form.list->currentItem()->text(), QStringList(form.rows()).at(currentRow));
}

void TestConfigDialog::upWithoutSelectionChangesNothing()
{
    ConfigDialog dialog;
    dialog.setOption(Option::createDefault());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Form form(&dialog);

    form.clickRow(3);
    form.list->clearSelection();
    QCOMPARE(form.list->currentRow(), 3);
    QVERIFY(form.list->selectedItems().isEmpty());
    QVERIFY(form.up->isEnabled());
    const QStringList rows = form.rows();

    form.click(form.up);
    QCOMPARE(form.rows(), rows);
    QCOMPARE(form.list->currentRow(), 3);
    QCOMPARE(form.preview->text(), defaultPreview);

    form.click(form.down);
    QCOMPARE(form.rows(), rows);
    QCOMPARE(form.list->currentRow(), 3);
}

void TestConfigDialog::okStoresEveryField()
{
    // Switches alternate so that every one of them has to be written to its
    // own field for the result to come out right.
    const QSharedPointer<Option> option = makeOption(
        BeginFlag | IdFlag | DateFlag, 2, QStringLiteral("["), QStringLiteral("]"), defaultOrders);
    const QSharedPointer<RenameOption> shared = option->renameOption();
    const RenameOption before = option->copyRenameOption();
    bool unchangedBeforeOk = false;

    ConfigDialog dialog;
    dialog.setOption(option);
    ModalWatcher<ConfigDialog> watcher([&](ConfigDialog *shown) {
        Form form(shown);
        for (QCheckBox *box : {form.beginCheck, form.endCheck, form.idCheck, form.makerCheck,
                               form.dateCheck, form.ageCheck})
            form.click(box);
        form.type(form.beginEdit, QStringLiteral("<"));
        form.type(form.endEdit, QString());
        form.spaceSpin->setValue(4);
        form.clickRow(4);
        form.click(form.up); // maker title id date age
        form.clickRow(0);
        form.click(form.down); // title maker id date age
        // Nothing is stored before OK.
        unchangedBeforeOk = option->copyRenameOption() == before;
        form.click(form.buttons->button(QDialogButtonBox::Ok));
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(watcher.handled());
    QVERIFY(unchangedBeforeOk);

    const RenameOption after = option->copyRenameOption();
    QCOMPARE(flagsOf(after), int(EndFlag | MakerFlag | AgeFlag));
    QCOMPARE(after.beginDelimiter(), QStringLiteral("<"));
    QCOMPARE(after.endDelimiter(), QString());
    QCOMPARE(after.spaceSize(), 4);
    QCOMPARE(ordersOf(after), QList<int>({Title, Maker, Id, Date, Age}));
    // Stored in place: every holder of the record sees the new values.
    QCOMPARE(option->renameOption(), shared);
    QVERIFY(*shared == after);
}

void TestConfigDialog::okStoresWhatTheFormShows()
{
    // Values the widgets cannot hold are stored as the widgets show them.
    const QSharedPointer<Option> option = makeOption(
        AllFlags, 9, QStringLiteral("<<"), QStringLiteral("]]"), {Maker, Title, 7, Age, Date});

    ConfigDialog dialog;
    dialog.setOption(option);
    ModalWatcher<ConfigDialog> watcher([](ConfigDialog *shown) {
        Form form(shown);
        form.click(form.buttons->button(QDialogButtonBox::Ok));
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(watcher.handled());

    const RenameOption after = option->copyRenameOption();
    QCOMPARE(after.spaceSize(), 5);
    QCOMPARE(after.beginDelimiter(), QStringLiteral("<"));
    QCOMPARE(after.endDelimiter(), QStringLiteral("]"));
    QCOMPARE(ordersOf(after), QList<int>({Maker, Title, 5, Age, Date}));
    QCOMPARE(flagsOf(after), int(AllFlags));
}

void TestConfigDialog::rejectKeepsOptions_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << QStringLiteral("cancel");
    QTest::newRow("Escape key") << QStringLiteral("escape");
    QTest::newRow("window closed") << QStringLiteral("close");
}

void TestConfigDialog::rejectKeepsOptions()
{
    QFETCH(QString, how);

    const QSharedPointer<Option> option = Option::createDefault();
    const RenameOption before = option->copyRenameOption();
    {
        ConfigDialog dialog;
        dialog.setOption(option);
        ModalWatcher<ConfigDialog> watcher([&](ConfigDialog *shown) {
            Form form(shown);
            form.click(form.idCheck);
            form.click(form.ageCheck);
            form.type(form.beginEdit, QStringLiteral("("));
            form.spaceSpin->setValue(3);
            form.clickRow(4);
            form.click(form.up);
            QVERIFY(form.preview->text() != defaultPreview);
            if (how == QLatin1String("cancel"))
                form.click(form.buttons->button(QDialogButtonBox::Cancel));
            else if (how == QLatin1String("escape"))
                QTest::keyClick(shown, Qt::Key_Escape);
            else
                shown->close();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(watcher.handled());
    }
    QVERIFY(option->copyRenameOption() == before);

    // Opened again, the form shows the options as they were.
    ConfigDialog again;
    again.setOption(option);
    Form form(&again);
    QCOMPARE(form.flags(), int(AllFlags));
    QCOMPARE(form.beginEdit->text(), QStringLiteral("["));
    QCOMPARE(form.spaceSpin->value(), 1);
    QCOMPARE(form.rows(),
             QStringList({QStringLiteral("maker"), QStringLiteral("title"), QStringLiteral("id"),
                          QStringLiteral("age"), QStringLiteral("date")}));
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
    const QString id = QStringLiteral("RJ000111");
    QCOMPARE(composeBaseName(option->copyRenameOption(), id, work),
             QStringLiteral("[Blue Works] Sea Song [RJ000111] [All] [2024-05-01] "));

    ConfigDialog dialog;
    dialog.setOption(option);
    ModalWatcher<ConfigDialog> watcher([](ConfigDialog *shown) {
        Form form(shown);
        form.click(form.ageCheck);
        form.type(form.beginEdit, QStringLiteral("("));
        form.type(form.endEdit, QStringLiteral(")"));
        form.spaceSpin->setValue(0);
        form.clickRow(2);
        form.click(form.up);
        form.click(form.up); // id maker title age date
        form.click(form.buttons->button(QDialogButtonBox::Ok));
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(watcher.handled());

    // The renamer composes from the same record, the way it reads it.
    QCOMPARE(composeBaseName(option->copyRenameOption(), id, work),
             QStringLiteral("(RJ000111)(Blue Works)Sea Song(2024-05-01)"));
}

void TestConfigDialog::noOptionStoresNothing()
{
    ConfigDialog dialog;
    dialog.setOption(QSharedPointer<Option>());
    Form form(&dialog);
    QCOMPARE(form.preview->text(), QStringLiteral("Preview"));
    ModalWatcher<ConfigDialog> watcher([](ConfigDialog *shown) {
        Form form(shown);
        form.click(form.idCheck);
        form.click(form.buttons->button(QDialogButtonBox::Ok));
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(watcher.handled());
}

QTEST_MAIN(TestConfigDialog)
#include "tst_configdialog.moc"
