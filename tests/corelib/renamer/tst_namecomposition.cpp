#include "OptionText.h"
#include "renamer/NameComposition.h"

#include <QtTest>

using namespace zorv;

class TestNameComposition : public QObject
{
    Q_OBJECT

private slots:
    void extension_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        // "file name>extension"; anything but the known archive kinds keeps its last suffix.
        const QStringList rows =
            QStringLiteral("RJ123456.zip>zip RJ123456> x.tar.gz>tar.gz x.tar.bz2>tar.bz2 "
                           "x.tar.xz>tar.xz x.TAR.Zst>TAR.Zst "
                           "RJ123456.part1.rar>part1.rar RJ123456.Part12.RAR>Part12.RAR "
                           "RJ123456.part1.exe>part1.exe x.7z.001>7z.001 x.zip.002>zip.002 "
                           "x.rar.010>rar.010 x.v1.2.zip>zip x.part.rar>rar x.part1.zip>zip "
                           "x.log.gz>gz x.txt.001>001")
                .split(QLatin1Char(' '));
        for (const QString &row : rows)
            QTest::newRow(qPrintable(row)) << row.section('>', 0, 0) << row.section('>', 1);
    }

    void extension()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        QCOMPARE(fileExtension(fileName), expected);
    }

    // "off=date,age" leaves "[作者] title [RJ123456] .zip", 25 bytes besides the title.
    void compose_data()
    {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("makers"); // "|" between them
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *changes, const QString &title,
                            const char *makers, int number, int maxBytes, const QString &expected) {
            QTest::newRow(name) << changes << title << makers << number << maxBytes << expected;
        };
        row("defaults; title never delimited", "", "T", "M|N", 0, 255,
            "[M, N] T [RJ123456] [A] [D] .zip");
        row("only the end delimiter, used whole", "off=begin,maker,date,age end=))", "T", "M", 0,
            255, "T RJ123456)) .zip");
        row("reordered, element twice, slot outside", "order=date,id,title,id,9 space=0", "T", "M",
            0, 255, "[D][RJ123456]T[RJ123456][].zip");
        row("space size beyond any file name", "space=2147483647 off=id,maker,date,age", "T", "M",
            0, 1000, "T" + QString(255, ' ') + ".zip");
        row("exactly the limit", "off=date,age", "題名", "作者", 0, 31,
            "[作者] 題名 [RJ123456] .zip");
        row("the collision number counts", "off=date,age", "あいうえお", "作者", 1, 38,
            "[作者] あい… [RJ123456]  (1).zip");
        row("4-byte characters, never half a pair", "off=date,age",
            "\U00020BB7\U00020BB7\U00020BB7", "作者", 0, 33, "[作者] \U00020BB7… [RJ123456] .zip");
        row("replacement characters count", "off=date,age", "a/b", "作者", 0, 29,
            "[作者] a… [RJ123456] .zip");
        row("then the makers", "off=date,age", "題名", "ab|cd", 0, 27, "[ab…] … [RJ123456] .zip");
        row("ID and extension never cut", "off=date,age", "題名", "作者", 0, 10,
            "[…] … [RJ123456] .zip");
        const char *titleOnly = "off=id,maker,date,age space=0";
        row("the nine forbidden, repeated", titleOnly, "\\/:*?\"<>|/", "M", 0, 255,
            QStringLiteral("￥／：＊？\u201D＜＞｜／.zip"));
        row("controls, delete, C1, line and paragraph separators", titleOnly,
            QStringLiteral("\nT\ti\r\nt\u0000l\u001Be\u007F\u0080\u009F\u2028\u2029"), "M", 0, 255,
            "Title.zip");
        // Shown as "photoexe.jpg" by the right-to-left override.
        row("invisible format characters, also beyond the first plane", titleOnly,
            QStringLiteral("photo\u202Egpj\u200B\uFEFF\U000E0001.exe"), "M", 0, 255,
            "photogpj.exe.zip");
        row("dot that leads once a character is gone would hide the file", titleOnly,
            QStringLiteral("\u200B..x"), "M", 0, 255, QStringLiteral("．.x.zip"));
    }

    void compose()
    {
        QFETCH(QString, changes);
        QFETCH(QString, title);
        QFETCH(QString, makers);
        QFETCH(int, number);
        QFETCH(int, maxBytes);
        QFETCH(QString, expected);
        const WorkInfo work{"RJ123456", title, "D", "A", makers.split('|')};
        bool shortened = true;
        const QString name = composeFileName(OptionText::parse(changes), work.id, work, "zip",
                                             number, maxBytes, &shortened);
        QCOMPARE(name, expected);
        QCOMPARE(shortened, name.contains("…"));
    }
};

ZORV_TEST_GUILESS_MAIN(TestNameComposition)
#include "tst_namecomposition.moc"
