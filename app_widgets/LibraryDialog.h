#pragma once

#include <QDialog>
#include <QModelIndex>

namespace Ui {
class LibraryDialog;
}

namespace zorv {

// Lists the libraries the program is built on; the detail button shows the
// chosen one in a LibraryDetailDialog.
class LibraryDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LibraryDialog(QWidget *parent = nullptr);
    ~LibraryDialog() override;

private slots:
    void onClicked(QModelIndex index);
    void onDetailBottonClicked();

private:
    Ui::LibraryDialog *ui;
};

} // namespace zorv
