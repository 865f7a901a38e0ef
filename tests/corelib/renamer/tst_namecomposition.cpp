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

        QTest::newRow("defaults") << ""
                                  << "[M] T [I] [A] [D] ";
        QTest::newRow("every switch off, delimiters on") << "off=id,maker,date,age"
                                                         << "T ";
        QTest::newRow("space size 0") << "space=0"
                                      << "[M]T[I][A][D]";
        QTest::newRow("space size 3") << "space=3 off=maker,date,age"
                                      << "T   [I]   ";
        QTest::newRow("no delimiters") << "off=begin,end"
                                       << "M T I A D ";
        QTest::newRow("only the end delimiter") << "off=begin"
                                                << "M] T I] A] D] ";
        QTest::newRow("empty begin delimiter switched on") << "begin="
                                                           << "M] T I] A] D] ";
        QTest::newRow("longer delimiters used whole") << "begin=(( end=))"
                                                      << "((M)) T ((I)) ((A)) ((D)) ";
        QTest::newRow("id off removes it and its blank") << "off=id"
                                                         << "[M] T [A] [D] ";
        QTest::newRow("reordered") << "order=date,id,title,maker,age"
                                   << "[D] [I] T [M] [A] ";
        QTest::newRow("element twice") << "order=title,title,id,id,id"
                                       << "T T [I] [I] [I] ";
        QTest::newRow("slot outside the elements gives delimiters only")
            << "order=maker,title,5,age,date"
            << "[M] T [] [A] [D] ";
        QTest::newRow("negative slot value") << "order=-1,title,id,age,date space=0"
                                             << "[]T[I][A][D]";
    }

    void compose()
    {
        QFETCH(QString, changes);
        QFETCH(QString, expected);
        const RenameOption option = OptionText::parse(changes);
        WorkInfo work;
        work.title = QStringLiteral("T");
        work.makers = QStringList{QStringLiteral("M")};
        work.date = QStringLiteral("D");
        work.age = QStringLiteral("A");
        work.id = QStringLiteral("page id, not used");
        QCOMPARE(composeBaseName(option, QStringLiteral("I"), work), expected);
    }

    void titleIsNeverDelimited()
    {
        RenameOption option;
        option.setBeginDelimiter(QStringLiteral("<"));
        option.setEndDelimiter(QStringLiteral(">"));
        WorkInfo work;
        work.title = QStringLiteral("[already bracketed]");
        const QString name = composeBaseName(option, QStringLiteral("RJ000001"), work);
        QVERIFY2(name.contains(QStringLiteral(" [already bracketed] ")), qPrintable(name));
        QVERIFY(!name.contains(QStringLiteral("<[already")));
    }

    void severalMakersJoined()
    {
        RenameOption option;
        option.setIdEnabled(false);
        option.setDateEnabled(false);
        option.setAgeEnabled(false);
        WorkInfo work;
        work.title = QStringLiteral("T");
        work.makers = QStringList{QStringLiteral("サークルA"), QStringLiteral("B")};
        QCOMPARE(composeBaseName(option, QString(), work), QStringLiteral("[サークルA, B] T "));
    }

    void sanitize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("backslash") << "a\\b" << QStringLiteral("a￥b");
        QTest::newRow("solidus") << "a/b" << QStringLiteral("a／b");
        QTest::newRow("colon") << "a:b" << QStringLiteral("a：b");
        QTest::newRow("asterisk") << "a*b" << QStringLiteral("a＊b");
        QTest::newRow("question mark") << "a?b" << QStringLiteral("a？b");
        QTest::newRow("quotation mark")
            << "a\"b" << QString(QStringLiteral("a") + QChar(0x201D) + QStringLiteral("b"));
        QTest::newRow("less-than") << "a<b" << QStringLiteral("a＜b");
        QTest::newRow("greater-than") << "a>b" << QStringLiteral("a＞b");
        QTest::newRow("vertical line") << "a|b" << QStringLiteral("a｜b");
        QTest::newRow("all nine, repeated")
            << "\\/:*?\"<>|/"
            << QString(QStringLiteral("￥／：＊？") + QChar(0x201D) + QStringLiteral("＜＞｜／"));
        QTest::newRow("unchanged") << QStringLiteral("[作者] 題名 [RJ000001] ")
                                   << QStringLiteral("[作者] 題名 [RJ000001] ");
        QTest::newRow("line breaks from headings") << "\nTitle\n" << QStringLiteral("Title");
        QTest::newRow("tab and carriage return") << "a\tb\r\nc" << QStringLiteral("abc");
        QTest::newRow("nul and escape")
            << QString(QStringLiteral("a") + QChar(0) + QChar(0x1B) + QStringLiteral("b"))
            << QStringLiteral("ab");
        QTest::newRow("delete") << QString(QStringLiteral("a") + QChar(0x7F) + QStringLiteral("b"))
                                << QStringLiteral("ab");
        QTest::newRow("unit separator") << QString(QChar(0x1F)) << QString();
        QTest::newRow("space and tilde kept") << " ~ " << QStringLiteral(" ~ ");
        QTest::newRow("no trimming") << "  x  " << QStringLiteral("  x  ");
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
