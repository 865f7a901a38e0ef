#include "PluginDialog.h"

#include "DialogFit.h"
#include "PluginDetailDialog.h"
#include "TreeSelection.h"
#include "plugin/PluginInterface.h"
#include "plugin/PluginManager.h"
#include "ui_PluginDialog.h"

#include <QList>
#include <QTreeWidgetItem>

namespace zorv {

namespace {

// The plug-ins in load order; none while no manager exists.
QList<PluginInterface *> loadedPlugins()
{
    const PluginManager *manager = Singleton<PluginManager>::instance();
    return manager ? manager->plugins() : QList<PluginInterface *>();
}

} // namespace

PluginDialog::PluginDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::PluginDialog)
{
    ui->setupUi(this);

    const QList<PluginInterface *> plugins = loadedPlugins();
    for (const PluginInterface *plugin : plugins) {
        const PluginInfo *info = plugin->information();
        auto *item = new QTreeWidgetItem();
        if (info) {
            item->setText(0, info->name);
            item->setText(1, info->version);
        }
        ui->treeWidget->addTopLevelItem(item);
    }

    DialogFit::showWholeColumns(ui->treeWidget);
    // The row the keyboard or the mouse makes current is the one the
    // button shows.
    connect(ui->treeWidget->selectionModel(), SIGNAL(currentChanged(QModelIndex, QModelIndex)),
            this, SLOT(onClicked(QModelIndex)));
    connect(ui->detailPushButton, SIGNAL(clicked()), this, SLOT(onDetailBottonClicked()));

    setWindowTitle(tr("ZORV:プラグインダイアログ"));
    DialogFit::fixSize(this);
}

PluginDialog::~PluginDialog()
{
    delete ui;
}

void PluginDialog::onClicked(QModelIndex index)
{
    ui->detailPushButton->setEnabled(index.isValid());
}

void PluginDialog::onDetailBottonClicked()
{
    // The row is identified by its name, whichever column was clicked.
    const QString name = TreeSelection::currentName(ui->treeWidget);
    if (name.isNull())
        return;

    // Plug-ins are found by name: with two of the same name the first loaded wins.
    const QList<PluginInterface *> plugins = loadedPlugins();
    PluginInterface *found = nullptr;
    for (PluginInterface *plugin : plugins) {
        const PluginInfo *info = plugin->information();
        if (info && info->name == name) {
            found = plugin;
            break;
        }
    }
    if (!found)
        return;

    PluginDetailDialog dialog(this);
    dialog.setPlugin(found);
    dialog.updateView();
    dialog.exec();
}

} // namespace zorv
