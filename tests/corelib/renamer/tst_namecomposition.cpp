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
};

QTEST_GUILESS_MAIN(TestNameComposition)
#include "tst_namecomposition.moc"
