#include "DropArea.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace zorv {

DropArea::DropArea(QWidget *parent)
    : QLabel(parent)
{
    setMinimumSize(100, 100);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setText(prompt());
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(tr("ファイルをここにドロップするか、Enter キーで選んでください。"));
}

QString DropArea::prompt()
{
    return tr("<ここにドロップしてください>");
}

void DropArea::setCompact(bool compact)
{
    const int line = fontMetrics().height();
    setMinimumSize(100, compact ? line : 100);
    setMaximumHeight(compact ? line + line / 2 + 2 * frameWidth() : QWIDGETSIZE_MAX);
}

void DropArea::dragEnterEvent(QDragEnterEvent *event)
{
    // Every drag is accepted, whatever it carries: the receiver of dropped()
    // sorts out what is usable.
    setText(prompt());
    setBackgroundRole(QPalette::Highlight);
    event->acceptProposedAction();
    emit changed(event->mimeData());
}

void DropArea::dragMoveEvent(QDragMoveEvent *event)
{
    event->acceptProposedAction();
}

void DropArea::dragLeaveEvent(QDragLeaveEvent *event)
{
    setText(prompt());
    setBackgroundRole(QPalette::Dark);
    event->accept();
}

void DropArea::dropEvent(QDropEvent *event)
{
    // The MIME data belongs to the event: the (direct) receivers read it
    // before this handler returns and must not keep the pointer.
    emit dropped(event->mimeData());
    setBackgroundRole(QPalette::Dark);
    event->acceptProposedAction();
}

void DropArea::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit activated();
        break;
    default:
        QLabel::keyPressEvent(event);
    }
}

void DropArea::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // A label draws no focus of its own; the keyboard user needs to see it.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect().adjusted(2, 2, -2, -2);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

} // namespace zorv
