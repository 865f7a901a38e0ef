#include "utility/FileRename.h"

#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using zorv::FileRename;

class TestFileRename : public QObject
{
    Q_OBJECT

private slots:
    void renameNoReplace_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("target"); // what is there before
        QTest::addColumn<int>("result");
        const int atomic = FileRename::AtomicRename, link = FileRename::HardLink;
        QTest::addRow("free name") << atomic << "" << int(FileRename::Renamed);
        // Another process took the name between a look and the rename.
        QTest::addRow("existing file") << atomic << "file" << int(FileRename::TargetExists);
        QTest::addRow("dangling link") << atomic << "dangling" << int(FileRename::TargetExists);
        QTest::addRow("missing source") << atomic << "no source" << int(FileRename::SourceMissing);
        QTest::addRow("missing target folder") << atomic << "no folder" << int(FileRename::Failed);
        // File systems without the atomic rename: the old name goes once the new one holds.
        QTest::addRow("hard link, free name") << link << "" << int(FileRename::Renamed);
        QTest::addRow("hard link, existing file")
            << link << "file" << int(FileRename::TargetExists);
        // Nor hard links: the file goes onto an empty placeholder made exclusively.
        const int placeholder = FileRename::Placeholder;
        QTest::addRow("placeholder, free name") << placeholder << "" << int(FileRename::Renamed);
        QTest::addRow("placeholder, existing file")
            << placeholder << "file" << int(FileRename::TargetExists);
        QTest::addRow("placeholder, dangling link")
            << placeholder << "dangling" << int(FileRename::TargetExists);
        // A folder renamed into itself fails: its placeholder goes again.
        QTest::addRow("placeholder, folder into itself")
            << placeholder << "inside" << int(FileRename::Failed);
    }

    void renameNoReplace()
    {
        QFETCH(int, way);
        QFETCH(QString, target);
        QFETCH(int, result);
        QTemporaryDir dir, outside;
        const QString from = dir.filePath("RJ100207.zip");
        const QString to = target == "inside"
                               ? from + "/new.zip"
                               : dir.filePath(target == "no folder" ? "none/new.zip" : "new.zip");
        const QString pointee = outside.filePath("stolen.zip");
        if (target == "inside")
            QVERIFY(QDir(dir.path()).mkdir("RJ100207.zip"));
        else if (target != "no source")
            QVERIFY(QFile(from).open(QIODevice::WriteOnly));
        if (target == "file")
            QVERIFY(QFile(to).open(QIODevice::WriteOnly));
        if (target == "dangling")
            QVERIFY(QFile::link(pointee, to));
        // Links are listed as themselves, not followed.
        const auto entries = [&] {
            return QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        };
        QStringList expected = entries();
        if (result == FileRename::Renamed)
            expected = QStringList{"new.zip"};
        QString error;
        FileRename::forceWay(FileRename::Way(way));
        const int got = FileRename::renameNoReplace(from, to, &error);
        FileRename::forceWay(FileRename::Automatic);
        QCOMPARE(got, result);
        QCOMPARE(entries(), expected);
        QVERIFY(!QFileInfo::exists(from + "/new.zip"));
        QVERIFY(!QFileInfo::exists(pointee));
        QCOMPARE(error.isEmpty(), result != FileRename::Failed);
    }

    // A name the locale's codec cannot give back is never renamed under a wrong one.
    void survivesDecoding()
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        QVERIFY(FileRename::survivesDecoding(QStringLiteral("/tmp/作品 RJ100207.zip").toUtf8()));
        QVERIFY(!FileRename::survivesDecoding(QByteArray("/tmp/RJ100207\xff\xfe.zip")));
    }
};

ZORV_TEST_GUILESS_MAIN(TestFileRename)
#include "tst_filerename.moc"
