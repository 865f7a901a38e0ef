#pragma once

#include <QDialog>

namespace Ui {
class LibraryDetailDialog;
}

namespace zorv {

// Shows one library's name, version, home page, licence and copyright
// notice as a small page whose links open in the desktop's browser.
class LibraryDetailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LibraryDetailDialog(QWidget *parent = nullptr);
    ~LibraryDetailDialog() override;

    void setLibrary(int index);
    void updateView();

private:
    Ui::LibraryDetailDialog *ui;
    int library;
};

} // namespace zorv
