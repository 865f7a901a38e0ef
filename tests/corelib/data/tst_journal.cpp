#include "data/Journal.h"
#include "renamer/Undo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using zorv::Journal;
using zorv::Undo;

// The undo as the journal and the folder leave it: files removed or old names
// taken after the run, a crash between intent and outcome, damaged lines (the
// last one unfinished). The run renamed "a" to "A", then "b" to "B".
class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void undo_data()
    {
        QTest::addColumn<bool>("crashed");      // the journal ends in the intent for "b"
        QTest::addColumn<QByteArray>("damage"); // written between the two renames
        // Folder before the undo | "from:state" of each step, newest first | folder after
        QTest::addColumn<QString>("course");
        QTest::newRow("one removed meanwhile") << false << QByteArray() << "A|B:1 A:0|a";
        QTest::newRow("old name taken meanwhile") << false << QByteArray() << "A B b|B:1 A:0|B a b";
        QTest::newRow("crash after the rename") << true << QByteArray() << "A B|B:0 A:0|a b";
        QTest::newRow("crash before the rename") << true << QByteArray() << "A b|A:0|a b";
        QTest::newRow("damaged lines")
            << false << QByteArray("\xff]\n{\"type\":\"outc") << "A B|B:0 A:0|a b";
    }

    void undo()
    {
        QFETCH(bool, crashed);
        QFETCH(QByteArray, damage);
        QFETCH(QString, course);
        QTemporaryDir dir, files;
        const QString path = QDir(dir.path()).filePath("journal.jsonl");
        Journal journal(path);
        const int run = journal.beginRun("batch");
        journal.outcome(journal.intent(files.path(), "a", "A"), true);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) && file.write(damage) == damage.size());
        file.close();
        const int seq = journal.intent(files.path(), "b", "B");
        if (!crashed)
            journal.outcome(seq, true);
        for (const QString &name : course.section('|', 0, 0).split(' '))
            QVERIFY(QFile(files.filePath(name)).open(QIODevice::WriteOnly));
        const Undo undo(journal);
        QCOMPARE(undo.latestRun(), run);
        QStringList got;
        for (const Undo::Step &step : undo.undo(run, false, path))
            got.append(QStringLiteral("%1:%2").arg(step.from).arg(step.state));
        QCOMPARE(got.join(' '), course.section('|', 1, 1));
        QCOMPARE(QDir(files.path()).entryList(QDir::Files, QDir::Name).join(' '),
                 course.section('|', 2, 2));
        // The undo is journaled: a second one takes nothing back twice.
        for (const Undo::Step &step : Undo(journal).undo(run, false, path))
            QVERIFY(step.state != Undo::Step::Done);
    }

    // Past its limit the journal starts a new file and keeps one old one.
    void staysBounded()
    {
        QTemporaryDir dir;
        Journal journal(QDir(dir.path()).filePath("journal.jsonl"), 1000);
        for (int i = 0; i < 40; ++i)
            journal.beginRun("batch");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{"journal.jsonl", "journal.jsonl.1"}));
        QVERIFY(QFileInfo(journal.path()).size() < 1200 && journal.run() == 40);
    }

    // A run that outlasts rotations (a watch of days) keeps its later renames.
    void longRunOutlivesRotations()
    {
        QTemporaryDir dir;
        Journal journal(QDir(dir.path()).filePath("journal.jsonl"), 1000);
        const int run = journal.beginRun("watch");
        for (int i = 0; i < 40; ++i)
            journal.outcome(journal.intent(dir.path(), QString::number(i), "new"), true);
        const QList<Undo::Run> runs = Undo(journal).history();
        QCOMPARE(runs.size(), 1);
        QVERIFY(runs.first().number == run && runs.first().renames > 0);
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
