#include "DropArea.h"

#include <QMimeData>
#include <QtTest>

// A drag over the area lights it up and is accepted; leaving or dropping turns
// it dark again; a drop hands its data on (the main window picks the files).
class TestDropArea : public QObject
{
    Q_OBJECT

private slots:
    void dragLeavesThenDrops()
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/RJ100001.zip"))});
        zorv::DropArea area;
        QList<QUrl> handedOn;
        connect(&area, &zorv::DropArea::dropped, this,
                [&handedOn](const QMimeData *mimeData) { handedOn += mimeData->urls(); });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDragLeaveEvent leave;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        for (QEvent *end : {static_cast<QEvent *>(&leave), static_cast<QEvent *>(&drop)}) {
            enter.setAccepted(false);
            QApplication::sendEvent(&area, &enter);
            QVERIFY(enter.isAccepted());
            QCOMPARE(area.backgroundRole(), QPalette::Highlight);
            QApplication::sendEvent(&area, end);
            QCOMPARE(area.backgroundRole(), QPalette::Dark);
        }
        QCOMPARE(handedOn, data.urls()); // once, for the drop
    }
};

ZORV_TEST_MAIN(TestDropArea)
#include "tst_droparea.moc"
