#include "data/Entry.h"

#include <QMetaType>
#include <QVariant>
#include <QtTest>

using namespace zorv;

class TestEntry : public QObject
{
    Q_OBJECT

private:
    static EntryPtr makeEntry(const QString &id)
    {
        QList<RequestPtr> requests{RequestPtr(new Request(id, QUrl(QStringLiteral("http://a/1"))))};
        return EntryPtr(new Entry(id, nullptr, QFileInfo(QStringLiteral("/tmp/x.zip")), requests));
    }

private slots:
    void numbersFollowCreationAcrossBatches()
    {
        const EntryPtr first = makeEntry(QStringLiteral("RJ000001"));
        QList<EntryPtr> later;
        for (int i = 0; i < 9; ++i)
            later.append(makeEntry(QStringLiteral("RJ000002")));
        QCOMPARE(later.last()->number(), first->number() + 9);
        for (int i = 1; i < later.size(); ++i)
            QCOMPARE(later.at(i)->number(), later.at(i - 1)->number() + 1);
    }

    void startsWaitingWithEmptyTexts()
    {
        const EntryPtr entry = makeEntry(QStringLiteral("RJ000003"));
        QCOMPARE(entry->status(), int(Entry::Waiting));
        QCOMPARE(entry->requestIndex(), 0);
        QVERIFY(entry->newName().isEmpty());
        QVERIFY(entry->message().isEmpty());
        QCOMPARE(entry->requests().size(), 1);
    }

    void statusLabels_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("label");
        QTest::newRow("waiting") << 0 << QStringLiteral("待機");
        QTest::newRow("processing") << 1 << QStringLiteral("処理中...");
        QTest::newRow("error") << 2 << QStringLiteral("エラー");
        QTest::newRow("done") << 3 << QStringLiteral("完了");
        QTest::newRow("preview") << 4 << QStringLiteral("プレビュー");
        QTest::newRow("unknown") << 5 << QString();
        QTest::newRow("negative") << -1 << QString();
    }

    void statusLabels()
    {
        QFETCH(int, status);
        QFETCH(QString, label);
        QCOMPARE(Entry::statusLabel(status), label);
    }

    void requestKeepsItsUrl_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("product page") << QUrl(
            QStringLiteral("http://www.sakuvo.example/home/work/=/product_id/RJ000001.html"));
        QTest::newRow("non-ascii path and query")
            << QUrl(QStringLiteral("http://例え.example/作品/一覧?q=あい&x=1#上"));
        QTest::newRow("encoded slash stays encoded")
            << QUrl(QStringLiteral("http://a.example/a%2Fb/c%20d"));
        QTest::newRow("tolerant repair")
            << QUrl(QStringLiteral("http://a.example/a b"), QUrl::TolerantMode);
        QTest::newRow("invalid") << QUrl(QStringLiteral("http://a b:-1/"), QUrl::StrictMode);
        QTest::newRow("empty") << QUrl();
    }

    void requestKeepsItsUrl()
    {
        QFETCH(QUrl, url);
        const Request request(QStringLiteral("RJ000001"), url);
        QCOMPARE(request.url(), url);
        QCOMPARE(request.url().toString(), url.toString());
        QCOMPARE(request.url().isValid(), url.isValid());
        QCOMPARE(request.id(), QStringLiteral("RJ000001"));
    }

    void metaTypesRegisteredByName()
    {
        Entry::registerMetaTypes();
        QCOMPARE(QMetaType::type("EntryPtr"), qMetaTypeId<EntryPtr>());
        QCOMPARE(QMetaType::type("RequestPtr"), qMetaTypeId<RequestPtr>());
        QVERIFY(QMetaType::type("QList<EntryPtr>") != QMetaType::UnknownType);
    }

    void entryInVariantConvertsToQObject()
    {
        Entry::registerMetaTypes();
        const EntryPtr entry = makeEntry(QStringLiteral("RJ000004"));
        const QVariant variant = QVariant::fromValue(entry);
        QVERIFY(variant.canConvert<QObject *>());
        QCOMPARE(variant.value<QObject *>(), static_cast<QObject *>(entry.data()));
    }
};

QTEST_GUILESS_MAIN(TestEntry)
#include "tst_entry.moc"
