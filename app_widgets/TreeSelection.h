#pragma once

#include <QString>

class QTreeWidget;

namespace zorv {

// What the list dialogs read from their tree widget when the detail button is
// pressed: a row is named by the text of its first column.
class TreeSelection
{
public:
    // The first-column text of the current row, whichever column is current.
    // A null string when there is no current row or it carries no text; a row
    // whose text is empty yields an empty string that is not null.
    static QString currentName(const QTreeWidget *tree);
};

} // namespace zorv
