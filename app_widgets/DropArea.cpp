#include "DropArea.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

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
}

QString DropArea::prompt()
{
    return tr("<ここにドロップしてください>");
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

} // namespace zorv
