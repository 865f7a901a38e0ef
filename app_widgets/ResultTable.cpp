#include "ResultTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>

#include <algorithm>
#include <iterator>

namespace zorv {

namespace {

const int shortColumns[] = {IdColumn, HostColumn, StateColumn, OldNameColumn};
const int copiedColumns[] = {StateColumn, OldNameColumn, NewNameColumn, CommentColumn};
// Percent of the table's width the short columns take at most.
const int shortColumnsShare = 45;

// A cell as one field of a tab-separated line.
QString field(const QTableWidgetItem *item)
{
    QString text = item ? item->text() : QString();
    for (const QChar separator : {QLatin1Char('\t'), QLatin1Char('\n'), QLatin1Char('\r')})
        text.replace(separator, QLatin1Char(' '));
    return text;
}

} // namespace

ResultTable::ResultTable(QWidget *parent)
    : QTableWidget(parent)
{
    setColumnCount(ColumnCount);
    setHorizontalHeaderLabels({QStringLiteral("ID"), tr("ホスト"), tr("状態"), tr("変更前"),
                               tr("変更後"), tr("コメント")});
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAutoScroll(true);
    // Tab moves on to the next control, not to the next cell.
    setTabKeyNavigation(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);

    QAction *copy = new QAction(tr("コピー(&C)"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, SIGNAL(triggered()), this, SLOT(copySelectedRows()));
    addAction(copy);
    QAction *remove = new QAction(tr("一覧から外す(&D)"), this);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(remove, SIGNAL(triggered()), this, SLOT(onTriggered_remove()));
    addAction(remove);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    QHeaderView *header = horizontalHeader();
    header->setStretchLastSection(false);
    for (const int column : {NewNameColumn, CommentColumn})
        header->setSectionResizeMode(column, QHeaderView::Fixed);
    connect(header, SIGNAL(sectionResized(int, int, int)), this, SLOT(onSectionResized(int)));
    fitTimer.setSingleShot(true);
    fitTimer.setInterval(0);
    connect(&fitTimer, SIGNAL(timeout()), this, SLOT(fitColumns()));
    connect(model(), SIGNAL(dataChanged(QModelIndex, QModelIndex, QVector<int>)), &fitTimer,
            SLOT(start()));
    connect(model(), SIGNAL(rowsInserted(QModelIndex, int, int)), &fitTimer, SLOT(start()));
}

QVariantList ResultTable::columnWidths() const
{
    QVariantList widths;
    for (const int column : shortColumns) {
        if (userSized)
            widths.append(columnWidth(column));
    }
    return widths;
}

void ResultTable::setColumnWidths(const QVariantList &widths)
{
    if (widths.size() != int(std::size(shortColumns)))
        return;
    adjusting = true;
    for (int i = 0; i < widths.size(); ++i)
        setColumnWidth(shortColumns[i], qMax(widths.at(i).toInt(), 1));
    adjusting = false;
    userSized = true;
    shareSpareWidth();
}

void ResultTable::followRow(int row)
{
    const bool follow = followedRow < 0 || isRowHidden(followedRow) || rowInView(followedRow);
    followedRow = row;
    if (follow && item(row, IdColumn))
        scrollToItem(item(row, IdColumn));
}

bool ResultTable::rowInView(int row) const
{
    const int top = rowViewportPosition(row);
    return top >= 0 && top + rowHeight(row) <= viewport()->height();
}

QList<int> ResultTable::selectedListedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows()) {
        if (!isRowHidden(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ResultTable::onTriggered_remove()
{
    const QList<int> rows = selectedListedRows();
    if (!rows.isEmpty())
        emit removalRequested(rows);
}

void ResultTable::copySelectedRows()
{
    QString text;
    for (const int row : selectedListedRows()) {
        QStringList fields;
        for (const int column : copiedColumns)
            fields.append(field(item(row, column)));
        text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void ResultTable::keyPressEvent(QKeyEvent *event)
{
    // The view's own copy takes the current cell alone.
    if (event == QKeySequence::Copy)
        copySelectedRows();
    else
        QTableWidget::keyPressEvent(event);
}

void ResultTable::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void ResultTable::dragMoveEvent(QDragMoveEvent *event)
{
    // Files only; the main window sorts out which of them it can take.
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ResultTable::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    // The MIME data belongs to the event: the (direct) receivers read it
    // before this handler returns.
    emit dropped(event->mimeData());
    event->acceptProposedAction();
}

void ResultTable::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    shareSpareWidth();
}

void ResultTable::onSectionResized(int column)
{
    if (adjusting || column == NewNameColumn || column == CommentColumn)
        return;
    userSized = true;
    shareSpareWidth();
}

void ResultTable::fitColumns()
{
    if (!userSized) {
        // The short columns take at most a share of the width, so that a
        // long old name or a large font leaves room for the new name: the
        // narrow ones whole, the wide ones an even part of the rest.
        QList<QPair<int, int>> wanted; // width, column
        for (const int column : shortColumns)
            wanted.append({wantedWidth(column), column});
        std::sort(wanted.begin(), wanted.end());
        int budget = viewport()->width() * shortColumnsShare / 100;
        adjusting = true;
        for (int i = 0; i < wanted.size(); ++i) {
            const int width = qMin(wanted.at(i).first, budget / (wanted.size() - i));
            setColumnWidth(wanted.at(i).second, width);
            budget -= width;
        }
        adjusting = false;
    }
    shareSpareWidth();
}

void ResultTable::shareSpareWidth()
{
    int spare = viewport()->width();
    for (const int column : shortColumns)
        spare -= columnWidth(column);
    const int newName = wantedWidth(NewNameColumn);
    const int comment = wantedWidth(CommentColumn);
    // Both whole, with the rest shared evenly; else the shorter whole where
    // it needs at most half, the longer the rest; else half each.
    int commentWidth = spare / 2;
    if (newName + comment <= spare)
        commentWidth = comment + (spare - newName - comment) / 2;
    else if (comment <= spare / 2)
        commentWidth = comment;
    else if (newName <= spare / 2)
        commentWidth = spare - newName;
    const int minimum = horizontalHeader()->minimumSectionSize();
    adjusting = true;
    setColumnWidth(CommentColumn, qMax(commentWidth, minimum));
    setColumnWidth(NewNameColumn, qMax(spare - commentWidth, minimum));
    adjusting = false;
}

int ResultTable::wantedWidth(int column) const
{
    return qMax(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
}

} // namespace zorv
