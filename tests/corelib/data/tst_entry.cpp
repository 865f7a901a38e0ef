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
        QTest::newRow("unknown") << 4 << QString();
        QTest::newRow("negative") << -1 << QString();
    }

    void statusLabels()
    {
        QFETCH(int, status);
        QFETCH(QString, label);
        QCOMPARE(Entry::statusLabel(status), label);
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
