#include "data/Journal.h"
#include "renamer/Undo.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using zorv::FileIdentity;
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
    }

    // Undo takes back only the file the run renamed, as its identity was
    // recorded, and only records that stay in their absolute folder; a
    // record is written by hand where the run could not have written it.
    void undoTouchesOnlyItsFile_data()
    {
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName"); // empty: the record has none
        QTest::addColumn<bool>("absoluteFolder");
        QTest::addColumn<QString>("meanwhile"); // what became of "A" after the run
        QTest::addColumn<int>("state");
        const auto row = [](const char *name, const QString &oldName, const QString &newName,
                            bool absoluteFolder, const QString &meanwhile, int state) {
            QTest::addRow("%s", name) << oldName << newName << absoluteFolder << meanwhile << state;
        };
        row("the file the run renamed", "a", "A", true, "", Undo::Step::Done);
        row("the file the run renamed, its device numbered anew (mounted again)", "a", "A", true,
            "remounted", Undo::Step::Done);
        row("another file under its name", "a", "A", true, "replaced", Undo::Step::Skipped);
        row("the file changed since", "a", "A", true, "grown", Undo::Step::Skipped);
        row("old name outside the folder", "../a", "A", true, "", Undo::Step::Skipped);
        row("relative folder", "a", "A", false, "", Undo::Step::Skipped);
        row("no new name", "a", "", true, "", Undo::Step::Skipped);
    }

    void undoTouchesOnlyItsFile()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(bool, absoluteFolder);
        QFETCH(QString, meanwhile);
        QFETCH(int, state);
        QTemporaryDir dir;
        // A relative folder would name the one beside the working directory.
        QVERIFY(QDir(dir.path()).mkdir("files") && QDir::setCurrent(dir.path()));
        const QString files = dir.filePath("files"), path = dir.filePath("journal.jsonl");
        Journal journal(path);
        const qint64 run = journal.beginRun("batch");
        QFile file(QDir(files).filePath("a"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("a") == 1);
        file.close();
        QJsonObject intent{{"type", "intent"}, {"run", run}, {"seq", 1}, {"old", oldName}};
        intent.insert("folder", absoluteFolder ? files : "files");
        if (!newName.isEmpty())
            intent.insert("new", newName);
        // The run's own record, else one written by hand as no run writes it
        // or with the device number the file system had at another mount.
        const bool own =
            oldName == "a" && newName == "A" && absoluteFolder && meanwhile != "remounted";
        FileIdentity then = FileIdentity::of(file.fileName());
        then.device += meanwhile == "remounted" ? 1 : 0;
        then.addTo(intent);
        QFile records(path);
        if (!own)
            QVERIFY(records.open(QIODevice::Append) &&
                    records.write(QJsonDocument(intent).toJson(QJsonDocument::Compact)) > 0);
        records.close();
        const int seq = own ? journal.intent(files, "a", "A") : 1;
        journal.outcome(seq, file.rename(files + "/A"));
        QThread::msleep(10); // a later modification time
        if (meanwhile == "replaced")
            QVERIFY(file.remove() && file.open(QIODevice::WriteOnly) && file.write("b") == 1);
        if (meanwhile == "grown")
            QVERIFY(file.open(QIODevice::Append) && file.write("b") == 1);
        file.close();
        const QList<Undo::Step> steps = Undo(journal).undo(run, false, path);
        QCOMPARE(steps.size(), 1);
        QCOMPARE(int(steps.first().state), state);
        QCOMPARE(QDir(files).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{state == Undo::Step::Done ? "a" : "A"});
    }

    // Run numbers go on past 32 bits; a journal over its limit, whoever made
    // it so, is read only at its end and becomes the one old file kept.
    void oddJournal_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("nextRun");
        QTest::addColumn<bool>("rotated");
        QTest::addRow("run number at the 32-bit limit")
            << QByteArray("{\"type\":\"run\",\"run\":2147483647}\n") << Q_INT64_C(2147483648)
            << false;
        QTest::addRow("over the limit, grown by hand")
            << QByteArray("{\"type\":\"run\",\"run\":9}\n" + QByteArray(3000, 'x') +
                          "\n{\"type\":\"run\",\"run\":7}\n")
            << qint64(8) << true;
    }

    void oddJournal()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, nextRun);
        QFETCH(bool, rotated);
        QTemporaryDir dir;
        QFile file(QDir(dir.path()).filePath("journal.jsonl")), old(file.fileName() + ".1");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
        file.close(), old.close();
        Journal journal(file.fileName(), 1000);
        QCOMPARE(journal.beginRun("batch"), nextRun);
        QCOMPARE(old.size(), rotated ? content.size() : 4);
        QVERIFY(file.size() < 100 || !rotated);
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

ZORV_TEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
