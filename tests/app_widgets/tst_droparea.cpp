#include "DropArea.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

using zorv::DropArea;

Q_DECLARE_METATYPE(const QMimeData *)

class TestDropArea : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<const QMimeData *>(); }
    void dragsOverTheArea_data();
    void dragsOverTheArea();
};

void TestDropArea::dragsOverTheArea_data()
{
    // Whatever a drag carries, the area lights up and hands it on: the main
    // window sorts out what is usable.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("dropIt"); // else the drag leaves again
    for (const char *kind : {"files", "text", "web", "custom", "empty"}) {
        QTest::addRow("%s, left", kind) << QString::fromLatin1(kind) << false;
        QTest::addRow("%s, dropped", kind) << QString::fromLatin1(kind) << true;
    }
}

// Two drags in a row over one area, each entering, moving and then leaving
// or dropping.
void TestDropArea::dragsOverTheArea()
{
    QFETCH(QString, kind);
    QFETCH(bool, dropIt);
    QMimeData data;
    if (kind == QLatin1String("files"))
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/RJ100001.zip")),
                      QUrl::fromLocalFile(QStringLiteral("/tmp/BJ200002.pdf"))});
    else if (kind == QLatin1String("text"))
        data.setText(QStringLiteral("RJ100001"));
    else if (kind == QLatin1String("web"))
        data.setUrls({QUrl(QStringLiteral("http://www.sakuvo.example/"))});
    else if (kind == QLatin1String("custom"))
        data.setData(QStringLiteral("application/x-zorv-test"), QByteArray("\x01\x02", 2));

    DropArea area;
    QCOMPARE(area.backgroundRole(), QPalette::Dark);
    QSignalSpy changed(&area, SIGNAL(changed(const QMimeData *)));
    // The receiver reads the data while the drop is handled, as the main
    // window does: the connection must be direct.
    int droppedCount = 0;
    const QMimeData *seen = nullptr;
    QStringList seenFormats;
    QPalette::ColorRole roleWhileDropped = QPalette::NoRole;
    connect(&area, &DropArea::dropped, this, [&](const QMimeData *mimeData) {
        ++droppedCount;
        seen = mimeData;
        seenFormats = mimeData->formats();
        roleWhileDropped = area.backgroundRole();
    });

    for (int round = 1; round <= 2; ++round) {
        // Something else in the label must not survive a drag.
        area.setText(QStringLiteral("stale"));
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data,
                              Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&area, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), enter.proposedAction());
        QCOMPARE(area.backgroundRole(), QPalette::Highlight);
        QCOMPARE(area.text(), DropArea::prompt());
        QCOMPARE(changed.count(), round);
        QCOMPARE(changed.last().at(0).value<const QMimeData *>(), &data);

        for (int step = 0; step < 3; ++step) {
            QDragMoveEvent move(QPoint(11 + step, 10), Qt::CopyAction | Qt::LinkAction, &data,
                                Qt::LeftButton, Qt::NoModifier);
            move.setDropAction(Qt::LinkAction);
            move.setAccepted(false);
            QApplication::sendEvent(&area, &move);
            QVERIFY(move.isAccepted());
            QCOMPARE(move.dropAction(), move.proposedAction());
        }
        QCOMPARE(changed.count(), round);
        QCOMPARE(area.backgroundRole(), QPalette::Highlight);

        if (dropIt) {
            QDropEvent drop(QPointF(12, 12), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
            drop.setDropAction(Qt::IgnoreAction);
            drop.setAccepted(false);
            QApplication::sendEvent(&area, &drop);
            QVERIFY(drop.isAccepted());
            QCOMPARE(drop.dropAction(), drop.proposedAction());
            QCOMPARE(droppedCount, round);
            QCOMPARE(seen, &data);
            QCOMPARE(seenFormats, data.formats());
            // dropped comes first, then the area goes dark: no leave event follows a drop.
            QCOMPARE(roleWhileDropped, QPalette::Highlight);
        } else {
            area.setText(QStringLiteral("stale"));
            QDragLeaveEvent leave;
            leave.setAccepted(false);
            QApplication::sendEvent(&area, &leave);
            QVERIFY(leave.isAccepted());
            QCOMPARE(area.text(), DropArea::prompt());
            QCOMPARE(droppedCount, 0);
        }
        QCOMPARE(area.backgroundRole(), QPalette::Dark);
    }
}

QTEST_MAIN(TestDropArea)
#include "tst_droparea.moc"
