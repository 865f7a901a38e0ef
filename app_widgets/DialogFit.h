#pragma once

class QDialog;
class QLineEdit;
class QListWidget;
class QTextEdit;
class QTreeWidget;

namespace zorv {

// Sizes the dialogs to their contents at the desktop's font and scale. The
// forms are drawn for a small font: at 16 pt, or in another language, a
// drawn size would cut texts off, elide list items or break a host name in
// the middle. Call the widget functions once their texts are set, then
// fixSize.
class DialogFit
{
public:
    // Fixes the dialog's size: the drawn size, or more where its contents
    // or its title need it.
    static void fixSize(QDialog *dialog);
    // Makes the line edit wide enough for its whole text.
    static void showWholeText(QLineEdit *edit);
    // Makes the text view large enough for its whole document, wrapped only
    // between words, its lines no wider than preferredWidth unless a word
    // is wider. A very long text scrolls.
    static void showWholeText(QTextEdit *text, int preferredWidth);
    // Makes the list tall enough for every row and wide enough for each.
    static void showAllRows(QListWidget *list);
    // Makes every column of the tree as wide as its widest text.
    static void showWholeColumns(QTreeWidget *tree);
};

} // namespace zorv
