#include "DialogFit.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtMath>

namespace zorv {

namespace {

// The widest a value may make its widget, in characters: a longer one
// (a plug-in may say anything) scrolls.
const int maxCharacters = 80;
// The most lines a text view shows before it scrolls.
const int maxLines = 25;

} // namespace

void DialogFit::fixSize(QDialog *dialog)
{
    // The layouts keep the sizes they measured; before the dialog is shown
    // a changed minimum of a child does not reach them.
    for (QWidget *child : dialog->findChildren<QWidget *>())
        child->updateGeometry();
    for (QLayout *layout : dialog->findChildren<QLayout *>())
        layout->invalidate();
    // The window manager writes the title in about the desktop's font, with
    // its buttons beside it; a dialog narrower than that cuts its own title.
    const QFontMetrics metrics(dialog->font());
    const int titleWidth = metrics.horizontalAdvance(dialog->windowTitle()) + 6 * metrics.height();
    dialog->setFixedSize(
        dialog->size().expandedTo(dialog->minimumSizeHint()).expandedTo(QSize(titleWidth, 0)));
}

void DialogFit::showWholeText(QLineEdit *edit)
{
    const QFontMetrics metrics(edit->font());
    // The size hint is room for 17 'x' plus the frame and margins; the
    // line shows its text unscrolled when that leaves a cursor's width.
    const int frame = edit->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    const int wanted = frame + metrics.horizontalAdvance(edit->text()) + 4;
    edit->setMinimumWidth(qMin(wanted, maxCharacters * metrics.averageCharWidth()));
    // A long value shows its beginning, not its end.
    edit->setCursorPosition(0);
}

void DialogFit::showWholeText(QTextEdit *text, int preferredWidth)
{
    text->setWordWrapMode(QTextOption::WordWrap);
    const QFontMetrics metrics(text->font());
    // Measured on the view's own document (a copy may lay out otherwise),
    // which is left laid out at the width the view will have.
    QTextDocument *document = text->document();
    document->setTextWidth(0);
    const int wordWidth = qCeil(document->idealWidth());
    document->setTextWidth(-1);
    const int lineWidth = qCeil(document->idealWidth());
    document->setTextWidth(qMin(qMax(wordWidth, qMin(lineWidth, preferredWidth)),
                                maxCharacters * metrics.averageCharWidth()));
    const int height = qCeil(document->size().height());
    const int width = qCeil(document->size().width());
    const int maxHeight = maxLines * metrics.lineSpacing();
    const int frame = 2 * text->frameWidth();
    QSize wanted(width + frame, qMin(height, maxHeight) + frame);
    // A scroll bar shown while the view is still small would narrow it for
    // good, wrapping the text once more.
    text->setVerticalScrollBarPolicy(height > maxHeight ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
    if (height > maxHeight)
        wanted.rwidth() += text->verticalScrollBar()->sizeHint().width();
    text->setMinimumSize(wanted);
}

void DialogFit::showAllRows(QListWidget *list)
{
    int height = 2 * list->frameWidth();
    for (int row = 0; row < list->count(); ++row)
        height += list->sizeHintForRow(row);
    list->setMinimumSize(list->sizeHintForColumn(0) + 2 * list->frameWidth(), height);
}

void DialogFit::showWholeColumns(QTreeWidget *tree)
{
    QHeaderView *header = tree->header();
    // The tree's own measure (with the indentation of the first column),
    // public only through its base.
    const QAbstractItemView *view = tree;
    int width = 2 * tree->frameWidth() + tree->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < tree->columnCount(); ++column) {
        const int wanted = qMax(view->sizeHintForColumn(column),
                                header->isHidden() ? 0 : header->sectionSizeHint(column));
        header->resizeSection(column, wanted);
        width += wanted;
    }
    tree->setMinimumWidth(width);
}

} // namespace zorv
