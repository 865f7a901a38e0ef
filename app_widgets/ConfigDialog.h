#pragma once

#include "data/Option.h"
#include "data/RenameOption.h"

#include <QDialog>
#include <QSharedPointer>
#include <QString>

namespace Ui {
class ConfigDialog;
}

namespace zorv {

// Edits the shared rename options. The form is only written back on OK, in
// one store, so the renamer never sees a half-edited set.
class ConfigDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConfigDialog(QWidget *parent = nullptr);
    ~ConfigDialog() override;

    void setOption(const QSharedPointer<Option> &option);

    // The word the order list shows for an element: "id", "title", "maker",
    // "date", "age"; empty for anything else.
    static QString elementName(int element);
    // The reverse of elementName; 5 (no element) for any other text.
    static int elementFromName(const QString &text);

private slots:
    void onAccepted();
    void onCurrentRowChanged(qint32 currentRow);
    void onOrderUpBottonClicked();
    void onOrderDownBottonClicked();
    void updatePreview();

private:
    // The options as the form shows them, on top of the stored ones.
    RenameOption formOption() const;
    void moveCurrentRow(int offset);

    Ui::ConfigDialog *ui;
    QSharedPointer<Option> option;
};

} // namespace zorv
