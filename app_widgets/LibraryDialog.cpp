#include "LibraryDialog.h"

#include "DialogFit.h"
#include "LibraryDetailDialog.h"
#include "LibraryInfo.h"
#include "TreeSelection.h"
#include "ui_LibraryDialog.h"

#include <QTreeWidgetItem>

namespace zorv {

LibraryDialog::LibraryDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LibraryDialog)
{
    ui->setupUi(this);

    for (int index = 0; index < LibraryInfo::LibraryCount; ++index) {
        auto *item = new QTreeWidgetItem();
        item->setText(0, libraryName(index));
        ui->treeWidget->addTopLevelItem(item);
    }

    DialogFit::showWholeColumns(ui->treeWidget);
    // The row the keyboard or the mouse makes current is the one the
    // button shows.
    connect(ui->treeWidget->selectionModel(), SIGNAL(currentChanged(QModelIndex, QModelIndex)),
            this, SLOT(onClicked(QModelIndex)));
    connect(ui->detailPushButton, SIGNAL(clicked()), this, SLOT(onDetailBottonClicked()));

    setWindowTitle(tr("ZORV:ライブラリダイアログ"));
    DialogFit::fixSize(this);
}

LibraryDialog::~LibraryDialog()
{
    delete ui;
}

void LibraryDialog::onClicked(QModelIndex index)
{
    ui->detailPushButton->setEnabled(index.isValid());
}

void LibraryDialog::onDetailBottonClicked()
{
    const QString name = TreeSelection::currentName(ui->treeWidget);
    if (name.isNull())
        return;

    for (int library = 0; library < LibraryInfo::LibraryCount; ++library) {
        if (name != libraryName(library))
            continue;
        LibraryDetailDialog dialog(this);
        dialog.setLibrary(library);
        dialog.updateView();
        dialog.exec();
        return;
    }
}

} // namespace zorv
