#pragma once

#include <QDialog>

namespace Ui {
class PluginDetailDialog;
}

namespace zorv {

class PluginInterface;

// Shows one plug-in's name, version, copyright notice and supported site.
// The plug-in stays owned by its loader; the dialog only reads it.
class PluginDetailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PluginDetailDialog(QWidget *parent = nullptr);
    ~PluginDetailDialog() override;

    void setPlugin(PluginInterface *plugin);
    void updateView();

private:
    Ui::PluginDetailDialog *ui;
    PluginInterface *plugin;
};

} // namespace zorv
