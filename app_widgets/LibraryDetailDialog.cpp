#include "LibraryDetailDialog.h"

#include "DialogFit.h"
#include "LibraryInfo.h"
#include "ui_LibraryDetailDialog.h"

namespace zorv {

LibraryDetailDialog::LibraryDetailDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LibraryDetailDialog)
    , library(LibraryInfo::LibraryCount)
{
    ui->setupUi(this);
    connect(ui->buttonBox, SIGNAL(clicked(QAbstractButton *)), this, SLOT(close()));
    setWindowTitle(tr("ZORV:ライブラリ詳細ダイアログ"));
    DialogFit::fixSize(this);
}

LibraryDetailDialog::~LibraryDetailDialog()
{
    delete ui;
}

void LibraryDetailDialog::setLibrary(int index)
{
    library = index;
}

void LibraryDetailDialog::updateView()
{
    const LibraryInfo info = LibraryInfo::fromIndex(library);
    const QString page =
        QStringLiteral("<html><body><h1>%1</h1><br><br>Version: %2<br><br>Home: <a "
                       "href=\"%3\">%3</a><br><br>License: %4<br><br>License Url: <a "
                       "href=\"%5\">%5</a><br><br>%6</body></html>")
            .arg(info.name, 0, QLatin1Char(' '))
            .arg(info.version, 0, QLatin1Char(' '))
            .arg(info.homeUrl, 0, QLatin1Char(' '))
            .arg(info.licenseName, 0, QLatin1Char(' '))
            .arg(info.licenseUrl, 0, QLatin1Char(' '))
            .arg(info.copyright, 0, QLatin1Char(' '));
    ui->textBrowser->setText(page);
    // The page whole, in lines of a comfortable length; an address is
    // never broken.
    DialogFit::showWholeText(ui->textBrowser,
                             ui->textBrowser->fontMetrics().averageCharWidth() * 50);
    DialogFit::fixSize(this);
}

} // namespace zorv
