#pragma once

#include <QLabel>

class QMimeData;

namespace zorv {

// The framed panel the user drops product files onto. It lights up while a
// drag hovers over it and hands every drop on unexamined: deciding which
// drops carry usable files is the main window's job.
class DropArea : public QLabel
{
    Q_OBJECT
public:
    explicit DropArea(QWidget *parent = nullptr);

    // The prompt the area always shows.
    static QString prompt();

signals:
    void changed(const QMimeData *mimeData = nullptr);
    void dropped(const QMimeData *mimeData);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

} // namespace zorv
