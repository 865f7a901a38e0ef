#include "PluginDetailDialog.h"

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
    // The drawn size, or more where the desktop's font needs it.
    setFixedSize(size().expandedTo(minimumSizeHint()));
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
    // Long values show their beginning, not their end.
    for (QLineEdit *edit :
         {ui->nameValueLineEdit, ui->versionValueLineEdit, ui->copyrightValueLineEdit})
        edit->setCursorPosition(0);
    // setText decides per text: markup is shown as HTML, anything else as plain text.
    ui->supportTextBrowser->setText(info->support);
}

} // namespace zorv
