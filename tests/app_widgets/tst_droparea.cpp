#include "DropArea.h"

#include <QMimeData>
#include <QtTest>

using zorv::DropArea;

// A drag over the area lights it up and is accepted; leaving or dropping
// turns it dark again, and a drop hands its data on while it is handled.
// (Which of the dropped URLs become entries is the main window's choice.)
class TestDropArea : public QObject
{
    Q_OBJECT

private slots:
    void drag_data()
    {
        QTest::addColumn<bool>("dropIt");
        QTest::addRow("left") << false;
        QTest::addRow("dropped") << true;
    }

    void drag()
    {
        QFETCH(bool, dropIt);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/RJ100001.zip"))});
        DropArea area;
        QList<QUrl> handedOn;
        connect(&area, &DropArea::dropped, this,
                [&handedOn](const QMimeData *mimeData) { handedOn = mimeData->urls(); });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&area, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(area.backgroundRole(), QPalette::Highlight);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDragLeaveEvent leave;
        QApplication::sendEvent(&area, dropIt ? static_cast<QEvent *>(&drop) : &leave);
        QCOMPARE(handedOn, dropIt ? data.urls() : QList<QUrl>());
        QCOMPARE(area.backgroundRole(), QPalette::Dark);
    }
};

QTEST_MAIN(TestDropArea)
#include "tst_droparea.moc"
