#pragma once

#include <QDialog>
#include <QModelIndex>

namespace Ui {
class PluginDialog;
}

namespace zorv {

// Lists the loaded store plug-ins by name and version; the detail button
// shows the chosen one in a PluginDetailDialog.
class PluginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PluginDialog(QWidget *parent = nullptr);
    ~PluginDialog() override;

private slots:
    void onClicked(QModelIndex index);
    void onDetailBottonClicked();

private:
    Ui::PluginDialog *ui;
};

} // namespace zorv
