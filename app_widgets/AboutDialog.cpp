#include "AboutDialog.h"

#include "DialogFit.h"
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
    // A translation names itself on the last line, which is empty in the
    // form; the Japanese the program is written in needs no such line.
    //: The about box's last line, naming this translation and who made it.
    const char *const creditKey = QT_TR_NOOP("TRANSLATION_CREDIT");
    const QString credit = tr(creditKey);
    if (credit != QLatin1String(creditKey)) {
        QTextCursor end(ui->zorvTextBrowser->document()->lastBlock());
        end.insertText(credit);
    }

    // The box shows the whole text at the desktop's font, each line whole.
    DialogFit::showWholeText(ui->zorvTextBrowser, QWIDGETSIZE_MAX);

    setWindowTitle(tr("ZORVについて"));
    DialogFit::fixSize(this);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

} // namespace zorv
