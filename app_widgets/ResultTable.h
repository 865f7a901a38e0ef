#pragma once

#include <QTableWidget>
#include <QTimer>

class QMimeData;

namespace zorv {

// The columns of the result table, one row per entry.
enum ResultColumn {
    IdColumn = 0,
    HostColumn = 1,
    StateColumn = 2,
    OldNameColumn = 3,
    NewNameColumn = 4,
    CommentColumn = 5,
    ColumnCount = 6
};

// The main window's result table. The short columns (ID, host, state, old
// name) fit their texts until the user sizes one; the new name and the
// comment share the rest of the width, the shorter of the two whole where it
// can be. Ctrl+C copies the selected rows as tab-separated text (state, old
// name, new name, comment); Delete asks for them to be taken out of the list
// (the window hides their rows). Files dropped on the table are handed on
// like those dropped on the drop area. Tab and Shift+Tab leave the table.
class ResultTable : public QTableWidget
{
    Q_OBJECT
public:
    explicit ResultTable(QWidget *parent = nullptr);

    // The widths of the short columns the user set, for the next start;
    // empty while they follow their texts.
    QVariantList columnWidths() const;
    // Sets the short columns to widths columnWidths() gave; they then keep them.
    void setColumnWidths(const QVariantList &widths);
    // Brings the row of the file in progress into view, unless the user has
    // scrolled the last one followed out of it: then the view stays where
    // they put it until they bring the file in progress back.
    void followRow(int row);

public slots:
    void copySelectedRows();

signals:
    void dropped(const QMimeData *mimeData);
    void removalRequested(QList<int> rows);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onSectionResized(int column);
    void onTriggered_remove();
    void fitColumns();

private:
    // The selected rows still in the list, top to bottom.
    QList<int> selectedListedRows() const;
    bool rowInView(int row) const;
    void shareSpareWidth();
    int wantedWidth(int column) const;

    // The user sized a short column (or a start restored the widths).
    bool userSized = false;
    // Set while the table sizes its columns itself.
    bool adjusting = false;
    int followedRow = -1;
    // Texts change row by row; the columns are fitted once they have.
    QTimer fitTimer;
};

} // namespace zorv
