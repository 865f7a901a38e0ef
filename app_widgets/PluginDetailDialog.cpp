#include "PluginDetailDialog.h"

#include "DialogFit.h"
#include "plugin/PluginInterface.h"
#include "ui_PluginDetailDialog.h"

namespace zorv {

PluginDetailDialog::PluginDetailDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::PluginDetailDialog)
    , plugin(nullptr)
{
    ui->setupUi(this);
    setWindowTitle(tr("ZORV:プラグイン詳細ダイアログ"));
    DialogFit::fixSize(this);
}

PluginDetailDialog::~PluginDetailDialog()
{
    delete ui;
}

void PluginDetailDialog::setPlugin(PluginInterface *plugin)
{
    this->plugin = plugin;
}

void PluginDetailDialog::updateView()
{
    if (!plugin)
        return;
    const PluginInfo *info = plugin->information();
    if (!info)
        return;
    ui->nameValueLineEdit->setText(info->name);
    ui->versionValueLineEdit->setText(info->version);
    ui->copyrightValueLineEdit->setText(info->copyright);
    for (QLineEdit *edit :
         {ui->nameValueLineEdit, ui->versionValueLineEdit, ui->copyrightValueLineEdit})
        DialogFit::showWholeText(edit);
    // setText decides per text: markup is shown as HTML, anything else as plain text.
    ui->supportTextBrowser->setText(info->support);
    // A host name per line, none broken in the middle.
    DialogFit::showWholeText(ui->supportTextBrowser, QWIDGETSIZE_MAX);
    DialogFit::fixSize(this);
}

} // namespace zorv
