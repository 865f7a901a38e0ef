#include "AboutDialog.h"

#include "ui_AboutDialog.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#ifndef ZORV_VERSION
#error "ZORV_VERSION must be defined by the build (the project version)"
#endif

namespace zorv {

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);

    // The form carries the whole about text; its first line takes the version
    // the build was made as, in the form's own character format.
    QTextCursor cursor(ui->zorvTextBrowser->document()->firstBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QStringLiteral("Zorvane " ZORV_VERSION));

    setWindowTitle(QStringLiteral("ZORVについて"));
    setFixedSize(size());
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

} // namespace zorv
