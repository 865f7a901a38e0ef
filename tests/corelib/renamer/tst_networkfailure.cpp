#include "renamer/NetworkFailure.h"

#include <QtTest>

using zorv::NetworkFailure;

// The failures the local shop cannot stage (its answers all come through the
// proxy, so the renamer test sees only HTTP statuses) in the user's words.
class TestNetworkFailure : public QObject
{
    Q_OBJECT

private slots:
    void describe_data()
    {
        QTest::addColumn<int>("error"); // QNetworkReply::NetworkError
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QString>("text");
        QTest::newRow("connection refused")
            << int(QNetworkReply::ConnectionRefusedError) << 0 << "接続が拒否されました";
        QTest::newRow("unknown host")
            << int(QNetworkReply::HostNotFoundError) << 0 << "ショップの名前を引けません";
        QTest::newRow("status of no other row") << int(QNetworkReply::UnknownContentError) << 418
                                                << "ショップがページの要求を断りました (418)";
        QTest::newRow("error unknown to this program")
            << 9999 << 0 << "ページを読み込めませんでした";
    }

    void describe()
    {
        QFETCH(int, error);
        QFETCH(int, httpStatus);
        QFETCH(QString, text);
        QCOMPARE(NetworkFailure::describe(QNetworkReply::NetworkError(error), httpStatus), text);
    }
};

ZORV_TEST_GUILESS_MAIN(TestNetworkFailure)
#include "tst_networkfailure.moc"
