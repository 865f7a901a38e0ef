#include "data/Journal.h"
#include "renamer/Undo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using zorv::Journal;
using zorv::Undo;

namespace {

// "name=content ..." of the folder's files, sorted by name.
QString filesIn(const QDir &dir)
{
    QStringList files;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        files.append(name + QLatin1Char('=') +
                     QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "?"));
    }
    return files.join(QLatin1Char(' '));
}

} // namespace

// The undo as the journal and the folder leave it: files removed or old names
// taken after the run, a crash between intent and outcome, damaged lines (the
// last one unfinished). The run renamed "a" to "A", then "b" to "B".
class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void undo_data();
    void undo();
    void staysBounded();
};

void TestJournal::undo_data()
{
    QTest::addColumn<bool>("crashed");      // the journal ends in the intent for "b", no outcome
    QTest::addColumn<QByteArray>("damage"); // written between the two renames
    // The folder when the undo starts | "from:state" of each step, newest first | the folder after
    QTest::addColumn<QString>("course");

    QTest::newRow("both renamed") << false << QByteArray() << "A B|B:0 A:0|a=A b=B";
    QTest::newRow("one removed meanwhile") << false << QByteArray() << "A|B:1 A:0|a=A";
    QTest::newRow("old name taken meanwhile")
        << false << QByteArray() << "A B b|B:1 A:0|B=B a=A b=b";
    QTest::newRow("crash after the rename") << true << QByteArray() << "A B|B:0 A:0|a=A b=B";
    QTest::newRow("crash before the rename") << true << QByteArray() << "A b|A:0|a=A b=b";
    QTest::newRow("damaged lines")
        << false << QByteArray("\xff]\n{\"type\":\"outc") << "A B|B:0 A:0|a=A b=B";
}

void TestJournal::undo()
{
    QFETCH(bool, crashed);
    QFETCH(QByteArray, damage);
    QFETCH(QString, course);

    QTemporaryDir dir;
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("files")));
    const QDir files(folder.filePath(QStringLiteral("files")));
    const QString path = folder.filePath(QStringLiteral("journal.jsonl"));
    Journal journal(path);
    const int run = journal.beginRun(QStringLiteral("batch"));
    journal.outcome(journal.intent(files.path(), QStringLiteral("a"), QStringLiteral("A")), true);
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write(damage) == damage.size());
    file.close();
    const int seq = journal.intent(files.path(), QStringLiteral("b"), QStringLiteral("B"));
    if (!crashed)
        journal.outcome(seq, true);
    for (const QString &name : course.section(QLatin1Char('|'), 0, 0).split(QLatin1Char(' '))) {
        QFile product(files.filePath(name));
        QVERIFY(product.open(QIODevice::WriteOnly) && product.write(name.toUtf8()) > 0);
    }

    const Undo undo(journal);
    QCOMPARE(undo.latestRun(), run);
    QStringList got;
    for (const Undo::Step &step : undo.undo(run, false, path))
        got.append(QStringLiteral("%1:%2").arg(step.from).arg(step.state));
    QCOMPARE(got.join(QLatin1Char(' ')), course.section(QLatin1Char('|'), 1, 1));
    QCOMPARE(filesIn(files), course.section(QLatin1Char('|'), 2, 2));
    // The undo is journaled: a second one takes nothing back twice.
    for (const Undo::Step &step : Undo(journal).undo(run, false, path))
        QVERIFY(step.state != Undo::Step::Done);
}

// Past its limit the journal starts a new file and keeps one old one.
void TestJournal::staysBounded()
{
    QTemporaryDir dir;
    Journal journal(QDir(dir.path()).filePath(QStringLiteral("journal.jsonl")), 1000);
    for (int i = 0; i < 40; ++i)
        journal.beginRun(QStringLiteral("batch"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             (QStringList{QStringLiteral("journal.jsonl"), QStringLiteral("journal.jsonl.1")}));
    QVERIFY(QFileInfo(journal.path()).size() < 1200 && journal.run() == 40);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
