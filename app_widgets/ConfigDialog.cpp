#include "ConfigDialog.h"

#include "DialogFit.h"
#include "plugin/PluginInterface.h"
#include "renamer/NameComposition.h"
#include "ui_ConfigDialog.h"

#include <QFont>
#include <QListWidgetItem>

namespace zorv {

namespace {

// The order list has one row per element.
constexpr int LastRow = RenameOption::OrderCount - 1;
// What elementFromName answers for a text that names no element.
constexpr int NoElement = 5;

// Long enough to pass the usual limit of 255 bytes for a file name.
const QString longSampleTitle = QStringLiteral(
    "夏休みの最後の日に僕たちが見つけた海辺の古い図書館と、そこで毎晩ひとりで本を読んでいる"
    "不思議な司書さんと過ごした七日間の記録、そして誰も知らない最後の一冊をめぐる長い物語");

} // namespace

ConfigDialog::ConfigDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ConfigDialog)
{
    ui->setupUi(this);
    // The preview stands out a little from the desktop's font, whatever its size.
    QFont previewFont = ui->previewLabel->font();
    previewFont.setPointSizeF(previewFont.pointSizeF() * 11 / 9);
    ui->previewLabel->setFont(previewFont);
    DialogFit::showAllRows(ui->orderListWidget);

    connect(ui->ageCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->dateCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->beginDelimiterCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->beginDelimiterLineEdit, SIGNAL(textChanged(QString)), this, SLOT(updatePreview()));
    connect(ui->endDelimiterCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->endDelimiterLineEdit, SIGNAL(textChanged(QString)), this, SLOT(updatePreview()));
    connect(ui->idCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->makerCheckBox, SIGNAL(clicked(bool)), this, SLOT(updatePreview()));
    connect(ui->spaceSizeSpinBox, SIGNAL(valueChanged(int)), this, SLOT(updatePreview()));
    connect(ui->orderUpPushButton, SIGNAL(clicked()), this, SLOT(onOrderUpBottonClicked()));
    connect(ui->orderDownPushButton, SIGNAL(clicked()), this, SLOT(onOrderDownBottonClicked()));
    connect(ui->orderListWidget, SIGNAL(currentRowChanged(int)), this,
            SLOT(onCurrentRowChanged(qint32)));
    // After the form's own connection to accept(): OK closes first, then stores.
    connect(ui->buttonBox, SIGNAL(accepted()), this, SLOT(onAccepted()));

    setWindowTitle(tr("ZORV:設定ダイアログ"));
    DialogFit::fixSize(this);
}

ConfigDialog::~ConfigDialog()
{
    delete ui;
}

void ConfigDialog::setOption(const QSharedPointer<Option> &option)
{
    this->option = option;
    if (!option)
        return;

    const RenameOption renameOption = option->copyRenameOption();
    ui->ageCheckBox->setChecked(renameOption.isAgeEnabled());
    ui->beginDelimiterCheckBox->setChecked(renameOption.isBeginDelimiterEnabled());
    ui->endDelimiterCheckBox->setChecked(renameOption.isEndDelimiterEnabled());
    // The line edits and the spin box cut what they cannot hold (one
    // character, 0 to 5 blanks); OK stores the cut values.
    ui->beginDelimiterLineEdit->setText(renameOption.beginDelimiter());
    ui->endDelimiterLineEdit->setText(renameOption.endDelimiter());
    ui->dateCheckBox->setChecked(renameOption.isDateEnabled());
    ui->makerCheckBox->setChecked(renameOption.isMakerEnabled());
    ui->idCheckBox->setChecked(renameOption.isIdEnabled());
    ui->spaceSizeSpinBox->setValue(renameOption.spaceSize());
    for (int row = 0; row < RenameOption::OrderCount; ++row) {
        QListWidgetItem *item = ui->orderListWidget->item(row);
        if (item)
            item->setText(elementName(renameOption.order(row)));
    }

    updatePreview();
}

QString ConfigDialog::elementName(int element)
{
    switch (element) {
    case Id:
        return QStringLiteral("id");
    case Title:
        return QStringLiteral("title");
    case Maker:
        return QStringLiteral("maker");
    case Date:
        return QStringLiteral("date");
    case Age:
        return QStringLiteral("age");
    default:
        return QString();
    }
}

int ConfigDialog::elementFromName(const QString &text)
{
    if (text == QLatin1String("id"))
        return Id;
    if (text == QLatin1String("maker"))
        return Maker;
    if (text == QLatin1String("title"))
        return Title;
    if (text == QLatin1String("date"))
        return Date;
    if (text == QLatin1String("age"))
        return Age;
    return NoElement;
}

void ConfigDialog::onAccepted()
{
    if (!option)
        return;
    option->storeRenameOption(formOption());
}

void ConfigDialog::onCurrentRowChanged(qint32 currentRow)
{
    if (!ui->orderListWidget->item(currentRow))
        return;
    ui->orderUpPushButton->setEnabled(currentRow != 0);
    ui->orderDownPushButton->setEnabled(currentRow != LastRow);
}

void ConfigDialog::onOrderUpBottonClicked()
{
    moveCurrentRow(-1);
}

void ConfigDialog::onOrderDownBottonClicked()
{
    moveCurrentRow(1);
}

void ConfigDialog::updatePreview()
{
    // The preview is the renamer's own composition applied to the words the
    // list shows, so the two can never disagree.
    WorkInfo work;
    work.id = elementName(Id);
    work.title = elementName(Title);
    work.makers = QStringList{elementName(Maker)};
    work.date = elementName(Date);
    work.age = elementName(Age);
    const RenameOption renameOption = formOption();
    ui->previewLabel->setText(composeBaseName(renameOption, elementName(Id), work));
    // A real title is often too long for a file name; the tool tip shows
    // how such a name is shortened under the same options, the limit being
    // the common one of a name's bytes.
    work.title = longSampleTitle;
    ui->previewLabel->setToolTip(tr("長い題名の例:\n") +
                                 composeFileName(renameOption, elementName(Id), work,
                                                 QStringLiteral("zip"), 0, DefaultNameMaxBytes));
    // A longer preview widens the dialog rather than being cut off.
    if (!minimumSizeHint().isEmpty())
        DialogFit::fixSize(this);
}

RenameOption ConfigDialog::formOption() const
{
    // Starting from the stored set keeps any field the form does not show.
    RenameOption result = option ? option->copyRenameOption() : RenameOption();
    result.setBeginDelimiterEnabled(ui->beginDelimiterCheckBox->isChecked());
    result.setEndDelimiterEnabled(ui->endDelimiterCheckBox->isChecked());
    result.setAgeEnabled(ui->ageCheckBox->isChecked());
    result.setDateEnabled(ui->dateCheckBox->isChecked());
    result.setIdEnabled(ui->idCheckBox->isChecked());
    result.setMakerEnabled(ui->makerCheckBox->isChecked());
    result.setBeginDelimiter(ui->beginDelimiterLineEdit->text());
    result.setEndDelimiter(ui->endDelimiterLineEdit->text());
    result.setSpaceSize(ui->spaceSizeSpinBox->value());
    for (int row = 0; row < RenameOption::OrderCount; ++row) {
        const QListWidgetItem *item = ui->orderListWidget->item(row);
        const int element = item ? elementFromName(item->text()) : NoElement;
        result.setOrder(row, static_cast<RenameElement>(element));
    }
    return result;
}

void ConfigDialog::moveCurrentRow(int offset)
{
    QListWidget *list = ui->orderListWidget;
    if (list->selectedItems().isEmpty())
        return;
    const int row = list->currentRow();
    const int target = row + offset;
    QListWidgetItem *current = list->item(row);
    QListWidgetItem *other = list->item(target);
    if (!current || !other)
        return;

    // The items stay where they are; only their words change places.
    const QString text = current->text();
    current->setText(other->text());
    other->setText(text);
    list->setCurrentRow(target);
    updatePreview();
}

} // namespace zorv
