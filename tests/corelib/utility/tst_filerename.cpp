#include "utility/FileRename.h"

#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using zorv::FileRename;

class TestFileRename : public QObject
{
    Q_OBJECT

    // Every entry of the folder, links not followed: a file by its content, a
    // folder as "dir", a link by where it points.
    static QMap<QString, QString> entries(const QString &path)
    {
        QMap<QString, QString> found;
        const QFileInfoList list =
            QDir(path).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &info : list) {
            QFile file(info.absoluteFilePath());
            if (info.isSymLink())
                found.insert(info.fileName(), QStringLiteral("-> ") + info.symLinkTarget());
            else if (info.isDir())
                found.insert(info.fileName(), QStringLiteral("dir"));
            else if (file.open(QIODevice::ReadOnly))
                found.insert(info.fileName(), QString::fromUtf8(file.readAll()));
        }
        return found;
    }

private slots:
    void renameNoReplace_data()
    {
        QTest::addColumn<QString>("target"); // what is there before
        QTest::addColumn<int>("result");
        QTest::addRow("free name") << "" << int(FileRename::Renamed);
        // Another process took the name between a look and the rename.
        QTest::addRow("existing file") << "file" << int(FileRename::TargetExists);
        QTest::addRow("folder") << "folder" << int(FileRename::TargetExists);
        QTest::addRow("dangling link") << "dangling" << int(FileRename::TargetExists);
        QTest::addRow("missing source") << "no source" << int(FileRename::SourceMissing);
        QTest::addRow("missing target folder") << "no folder" << int(FileRename::Failed);
    }

    void renameNoReplace()
    {
        QFETCH(QString, target);
        QFETCH(int, result);
        QTemporaryDir dir, outside;
        const QString from = dir.filePath(QStringLiteral("RJ100207.zip"));
        const QString to = dir.filePath(target == "no folder" ? "none/new.zip" : "new.zip");
        const QString pointee = outside.filePath(QStringLiteral("stolen.zip"));
        const auto write = [](const QString &path, const QByteArray &content) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        if (target != QLatin1String("no source"))
            QVERIFY(write(from, "product"));
        if (target == QLatin1String("file"))
            QVERIFY(write(to, "the other file"));
        if (target == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(to));
        if (target == QLatin1String("dangling"))
            QVERIFY(QFile::link(pointee, to));
        QMap<QString, QString> expected = entries(dir.path());
        if (result == FileRename::Renamed)
            expected.insert(QStringLiteral("new.zip"),
                            expected.take(QStringLiteral("RJ100207.zip")));

        QString error;
        QCOMPARE(int(FileRename::renameNoReplace(from, to, &error)), result);
        QCOMPARE(entries(dir.path()), expected);
        QVERIFY(!QFileInfo::exists(pointee));
        QCOMPARE(error.isEmpty(), result != FileRename::Failed);
    }

    void survivesDecoding()
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        QVERIFY(FileRename::survivesDecoding(QStringLiteral("/tmp/作品 RJ100207.zip").toUtf8()));
        QVERIFY(!FileRename::survivesDecoding(QByteArray("/tmp/RJ100207\xff\xfe.zip")));
    }
};

QTEST_GUILESS_MAIN(TestFileRename)
#include "tst_filerename.moc"
