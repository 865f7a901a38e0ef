#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

namespace zorv {

// The program's name, version and copyright notice.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog *ui;
};

} // namespace zorv
