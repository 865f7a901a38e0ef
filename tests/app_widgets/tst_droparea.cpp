#include "DropArea.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using zorv::DropArea;

Q_DECLARE_METATYPE(const QMimeData *)

class TestDropArea : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void idleAfterConstruction();
    void neverSmallerThanItsMinimum();
    void dragEnterLightsUpWhateverTheData_data();
    void dragEnterLightsUpWhateverTheData();
    void dragMoveAcceptsProposedAction();
    void dragLeaveDarkensAgain();
    void changedOncePerEntry();
    void dropHandsOverTheEventsData_data();
    void dropHandsOverTheEventsData();

private:
    static QMimeData *makeMimeData(const QString &kind);
};

void TestDropArea::initTestCase()
{
    qRegisterMetaType<const QMimeData *>();
}

QMimeData *TestDropArea::makeMimeData(const QString &kind)
{
    QMimeData *data = new QMimeData;
    if (kind == QLatin1String("files")) {
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/RJ100001.zip")),
                       QUrl::fromLocalFile(QStringLiteral("/tmp/BJ200002.pdf"))});
    } else if (kind == QLatin1String("text")) {
        data->setText(QStringLiteral("RJ100001"));
    } else if (kind == QLatin1String("web")) {
        data->setUrls({QUrl(QStringLiteral("http://www.sakuvo.example/"))});
    } else if (kind == QLatin1String("custom")) {
        data->setData(QStringLiteral("application/x-zorv-test"), QByteArray("\x01\x02", 2));
    }
    return data;
}

void TestDropArea::idleAfterConstruction()
{
    DropArea area;
    QCOMPARE(area.text(), QStringLiteral("<ここにドロップしてください>"));
    QCOMPARE(area.text().size(), 15);
    QCOMPARE(area.backgroundRole(), QPalette::Dark);
    QVERIFY(area.autoFillBackground());
    QVERIFY(area.acceptDrops());
    QCOMPARE(area.alignment(), Qt::AlignCenter);
    QCOMPARE(area.frameStyle(), int(QFrame::StyledPanel | QFrame::Sunken));
    QCOMPARE(area.minimumSize(), QSize(100, 100));
}

void TestDropArea::neverSmallerThanItsMinimum()
{
    QWidget window;
    QVBoxLayout *layout = new QVBoxLayout(&window);
    DropArea *area = new DropArea(&window);
    layout->addWidget(area);
    window.resize(20, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(area->width() >= 100);
    QVERIFY(area->height() >= 100);
}

void TestDropArea::dragEnterLightsUpWhateverTheData_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("local files") << QStringLiteral("files");
    QTest::newRow("plain text") << QStringLiteral("text");
    QTest::newRow("web address") << QStringLiteral("web");
    QTest::newRow("unknown type") << QStringLiteral("custom");
    QTest::newRow("empty") << QStringLiteral("empty");
}

void TestDropArea::dragEnterLightsUpWhateverTheData()
{
    QFETCH(QString, kind);
    DropArea area;
    // Something else in the label must not survive a drag: the prompt is shown again.
    area.setText(QStringLiteral("stale"));
    QSignalSpy changed(&area, SIGNAL(changed(const QMimeData *)));
    QSignalSpy dropped(&area, SIGNAL(dropped(const QMimeData *)));
    QScopedPointer<QMimeData> data(makeMimeData(kind));

    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, data.data(),
                          Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&area, &enter);

    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), enter.proposedAction());
    QCOMPARE(area.backgroundRole(), QPalette::Highlight);
    QCOMPARE(area.text(), DropArea::prompt());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<const QMimeData *>(), data.data());
    QCOMPARE(dropped.count(), 0);
}

void TestDropArea::dragMoveAcceptsProposedAction()
{
    DropArea area;
    QScopedPointer<QMimeData> data(makeMimeData(QStringLiteral("files")));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.data(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&area, &enter);

    QDragMoveEvent move(QPoint(20, 20), Qt::CopyAction | Qt::LinkAction, data.data(),
                        Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(Qt::LinkAction);
    move.setAccepted(false);
    QApplication::sendEvent(&area, &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(move.dropAction(), move.proposedAction());
    QCOMPARE(area.backgroundRole(), QPalette::Highlight);
}

void TestDropArea::dragLeaveDarkensAgain()
{
    DropArea area;
    QSignalSpy dropped(&area, SIGNAL(dropped(const QMimeData *)));
    QScopedPointer<QMimeData> data(makeMimeData(QStringLiteral("text")));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.data(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&area, &enter);
    QCOMPARE(area.backgroundRole(), QPalette::Highlight);

    area.setText(QStringLiteral("stale"));
    QDragLeaveEvent leave;
    leave.setAccepted(false);
    QApplication::sendEvent(&area, &leave);
    QVERIFY(leave.isAccepted());
    QCOMPARE(area.backgroundRole(), QPalette::Dark);
    QCOMPARE(area.text(), DropArea::prompt());
    QCOMPARE(dropped.count(), 0);
}

void TestDropArea::changedOncePerEntry()
{
    DropArea area;
    QSignalSpy changed(&area, SIGNAL(changed(const QMimeData *)));
    QSignalSpy dropped(&area, SIGNAL(dropped(const QMimeData *)));
    QScopedPointer<QMimeData> data(makeMimeData(QStringLiteral("files")));

    for (int round = 1; round <= 3; ++round) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.data(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&area, &enter);
        for (int step = 0; step < 4; ++step) {
            QDragMoveEvent move(QPoint(10 + step, 10), Qt::CopyAction, data.data(), Qt::LeftButton,
                                Qt::NoModifier);
            QApplication::sendEvent(&area, &move);
        }
        QDragLeaveEvent leave;
        QApplication::sendEvent(&area, &leave);
        QCOMPARE(changed.count(), round);
        QCOMPARE(area.backgroundRole(), QPalette::Dark);
    }
    QCOMPARE(dropped.count(), 0);
}

void TestDropArea::dropHandsOverTheEventsData_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("urlCount");
    QTest::newRow("local files") << QStringLiteral("files") << 2;
    QTest::newRow("plain text") << QStringLiteral("text") << 0;
    QTest::newRow("web address") << QStringLiteral("web") << 1;
    QTest::newRow("unknown type") << QStringLiteral("custom") << 0;
}

void TestDropArea::dropHandsOverTheEventsData()
{
    QFETCH(QString, kind);
    QFETCH(int, urlCount);
    DropArea area;
    QSignalSpy changed(&area, SIGNAL(changed(const QMimeData *)));
    QScopedPointer<QMimeData> data(makeMimeData(kind));

    // The receiver reads the data while the drop is being handled, as the
    // main window does; the connection must therefore be direct.
    int urlsSeen = -1;
    const QMimeData *seen = nullptr;
    QPalette::ColorRole roleDuringEmission = QPalette::NoRole;
    connect(&area, &DropArea::dropped, this, [&](const QMimeData *mimeData) {
        seen = mimeData;
        urlsSeen = mimeData->urls().size();
        roleDuringEmission = area.backgroundRole();
    });

    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.data(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&area, &enter);

    QDropEvent drop(QPointF(12, 12), Qt::CopyAction | Qt::MoveAction, data.data(), Qt::LeftButton,
                    Qt::NoModifier);
    drop.setDropAction(Qt::IgnoreAction);
    drop.setAccepted(false);
    QApplication::sendEvent(&area, &drop);

    QCOMPARE(seen, data.data());
    QCOMPARE(urlsSeen, urlCount);
    // dropped comes first, then the area goes dark: no leave event follows a drop.
    QCOMPARE(roleDuringEmission, QPalette::Highlight);
    QCOMPARE(area.backgroundRole(), QPalette::Dark);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), drop.proposedAction());
    QCOMPARE(changed.count(), 1);
}

QTEST_MAIN(TestDropArea)
#include "tst_droparea.moc"
