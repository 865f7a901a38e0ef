#include "OptionText.h"
#include "renamer/NameComposition.h"

#include <QtTest>

using namespace zorv;

class TestNameComposition : public QObject
{
    Q_OBJECT

private slots:
    void compose_data()
    {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("expected");
        QTest::addRow("defaults; title never delimited") << ""
                                                         << "[M, N] T [I] [A] [D] ";
        QTest::addRow("every switch off") << "off=id,maker,date,age"
                                          << "T ";
        QTest::addRow("only the end delimiter, used whole") << "off=begin,maker,date,age end=))"
                                                            << "T I)) ";
        QTest::addRow("reordered, element twice") << "order=date,id,title,id,age"
                                                  << "[D] [I] T [I] [A] ";
        QTest::addRow("slot outside the elements gives delimiters only")
            << "order=maker,title,5,age,-1 space=0"
            << "[M, N]T[][A][]";
        // A hand-edited file must not make a name of two billion blanks.
        QTest::addRow("space size beyond any file name") << "space=2147483647 off=id,maker,date,age"
                                                         << "T" + QString(255, ' ');
    }

    void compose()
    {
        QFETCH(QString, changes);
        QFETCH(QString, expected);
        WorkInfo work;
        work.title = QStringLiteral("T");
        work.makers = QStringList{QStringLiteral("M"), QStringLiteral("N")};
        work.date = QStringLiteral("D");
        work.age = QStringLiteral("A");
        QCOMPARE(composeBaseName(OptionText::parse(changes), QStringLiteral("I"), work), expected);
    }

    void sanitize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::addRow("the nine forbidden, repeated")
            << "\\/:*?\"<>|/" << QStringLiteral("￥／：＊？\u201D＜＞｜／");
        QTest::addRow("unchanged") << QStringLiteral("[作者] 題名 [RJ000001] ")
                                   << QStringLiteral("[作者] 題名 [RJ000001] ");
        QTest::addRow("line breaks, tab, nul, escape, delete")
            << QStringLiteral("\nT\ti\r\nt\u0000l\u001Be\u007F") << QStringLiteral("Title");
        QTest::addRow("C1 controls, line and paragraph separators")
            << QStringLiteral("a\u0080b\u0085c\u009Fd\u2028e\u2029") << QStringLiteral("abcde");
        // Shown as "photoexe.jpg" by the right-to-left override.
        QTest::addRow("right-to-left override")
            << QStringLiteral("photo\u202Egpj.exe") << QStringLiteral("photogpj.exe");
        QTest::addRow("zero-width, byte order mark, beyond the first plane")
            << QStringLiteral("a\u200Bb\u200Dc\uFEFF\U000E0001") << QStringLiteral("abc");
        QTest::addRow("leading dot would hide the file") << ".hidden" << QStringLiteral("．hidden");
        QTest::addRow("dot that leads once a character is gone")
            << QStringLiteral("\u200B..x") << QStringLiteral("．.x");
        QTest::addRow("no trimming, inner dots kept") << "  x.y  " << QStringLiteral("  x.y  ");
    }

    void sanitize()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(sanitizeFileName(name), expected);
    }

    void extension_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        // "file name>extension"; anything but the known archive kinds keeps its last suffix.
        const QStringList rows =
            QStringLiteral("RJ123456.zip>zip RJ123456> x.tar.gz>tar.gz x.tar.bz2>tar.bz2 "
                           "x.tar.xz>tar.xz x.TAR.Zst>TAR.Zst x.tgz>tgz "
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

    // With "off=date,age": "[作者] title [RJ123456] .zip", 25 bytes besides the title.
    void fit_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("makers");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("expected");
        const QStringList maker{QStringLiteral("作者")};
        QTest::newRow("exactly the limit")
            << "題名" << maker << 0 << 31 << "[作者] 題名 [RJ123456] .zip";
        QTest::newRow("3-byte characters")
            << "あいうえお" << maker << 0 << 34 << "[作者] あい… [RJ123456] .zip";
        QTest::newRow("4-byte characters, never half a pair")
            << "\U00020BB7\U00020BB7\U00020BB7" << maker << 0 << 33
            << "[作者] \U00020BB7… [RJ123456] .zip";
        QTest::newRow("combining marks stay with their base")
            << "e\u0301e\u0301e\u0301" << maker << 0 << 32 << "[作者] e\u0301… [RJ123456] .zip";
        QTest::newRow("the collision number counts")
            << "あいうえお" << maker << 1 << 38 << "[作者] あい… [RJ123456]  (1).zip";
        QTest::newRow("replacement characters count")
            << "a/b" << maker << 0 << 29 << "[作者] a… [RJ123456] .zip";
        QTest::newRow("then the makers")
            << "題名" << QStringList{"ab", "cd"} << 0 << 27 << "[ab…] … [RJ123456] .zip";
        QTest::newRow("ID and extension never cut")
            << "題名" << maker << 0 << 10 << "[…] … [RJ123456] .zip";
    }

    void fit()
    {
        QFETCH(QString, title);
        QFETCH(QStringList, makers);
        QFETCH(int, number);
        QFETCH(int, maxBytes);
        QFETCH(QString, expected);
        WorkInfo work;
        work.title = title;
        work.makers = makers;
        bool shortened = true;
        const QString name =
            composeFileName(OptionText::parse("off=date,age"), QStringLiteral("RJ123456"), work,
                            QStringLiteral("zip"), number, maxBytes, &shortened);
        QCOMPARE(name, expected);
        QCOMPARE(shortened, !name.contains(title));
    }
};

QTEST_GUILESS_MAIN(TestNameComposition)
#include "tst_namecomposition.moc"
