#pragma once

#include <QLabel>

class QMimeData;

namespace zorv {

// The framed panel the user drops product files onto. It lights up while a
// drag hovers over it and hands every drop on unexamined: deciding which
// drops carry usable files is the main window's job. From the keyboard it
// is a stop of its own: Enter or Space there asks for files to choose.
class DropArea : public QLabel
{
    Q_OBJECT
public:
    explicit DropArea(QWidget *parent = nullptr);

    // The prompt the area always shows.
    static QString prompt();
    // Compact: no taller than a line of text, once the table below has rows
    // and needs the room; else at least 100 × 100 pixels.
    void setCompact(bool compact);

signals:
    void changed(const QMimeData *mimeData = nullptr);
    void dropped(const QMimeData *mimeData);
    void activated();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace zorv
