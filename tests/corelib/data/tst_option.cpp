#include "LogCapture.h"
#include "OptionText.h"
#include "TestPaths.h"
#include "data/Option.h"

#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace zorv;

class TestOption : public QObject
{
    Q_OBJECT

    QTemporaryDir dir; // the working directory, where the option file is
    const QString path = QStringLiteral("option.xml");
    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }
    void init()
    {
        QFile::remove(path);
        QFile::remove(path + ".new");
    }

    // Read loosely; what was read is written and read back alike.
    void readAndRoundTrip_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("expected"); // changes from the defaults
        QTest::addRow("any order, also inside unknown elements, non-numbers read as 0")
            << "<option><rename_option><age_enabled>0</age_enabled><colour><id_enabled>0"
               "</id_enabled></colour><orders><order>x</order><order>7</order></orders>"
               "<space_size>many</space_size></rename_option></option>"
            << "off=id,age space=0 order=id,7,id,age,date";
        QTest::addRow("markup and japanese delimiters")
            << "<option><rename_option><begin_delimiter>&lt;【</begin_delimiter><end_delimiter>"
               "]]&gt;</end_delimiter></rename_option></option>"
            << "begin=<【 end=]]>";
        QTest::addRow("huge space size kept as read")
            << "<option><rename_option><space_size>2147483647</space_size></rename_option>"
               "</option>"
            << "space=2147483647";
    }

    void readAndRoundTrip()
    {
        QFETCH(QString, xml);
        QFETCH(QString, expected);
        const QString wanted = OptionText::describe(OptionText::parse(expected));
        QXmlStreamReader reader(xml);
        const QSharedPointer<Option> option = Option::read(reader);
        QVERIFY(option && option->renameOption());
        QCOMPARE(OptionText::describe(*option->renameOption()), wanted);
        Option::saveToFile(option);
        QCOMPARE(OptionText::describe(*Option::loadFromFile()->renameOption()), wanted);
    }

    // A file read whole is written back in full; one that was not (a typo
    // drops every setting after it) is kept, and the running options go to
    // "option.xml.new" beside it.
    void saveKeepsAFileNotReadWhole_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept");
        QTest::addRow("read whole, flag 2 written as 1")
            << QByteArray("<option><rename_option><age_enabled>2</age_enabled></rename_option>"
                          "</option>")
            << false;
        QTest::addRow("no file") << QByteArray("(none)") << false;
        QTest::addRow("one wrong closing tag")
            << QByteArray("<option><rename_option><space_size>1</spase_size><id_enabled>0"
                          "</id_enabled></rename_option></option>")
            << true;
        QTest::addRow("typo after the options")
            << QByteArray("<option><rename_option/></option><extra></extr>") << true;
        QTest::addRow("another document") << QByteArray("<settings><a/></settings>") << true;
    }

    void saveKeepsAFileNotReadWhole()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        QFile file(path);
        if (content != "(none)")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        LogCapture log;
        Option::saveToFile(Option::loadFromFile());
        const QByteArray defaults = readFile(TestPaths::dataFile("option/default.xml"));
        QCOMPARE(readFile(path), kept ? content : defaults);
        QCOMPARE(readFile(path + ".new"), kept ? defaults : QByteArray("(none)"));
        QCOMPARE(
            log.matching(QStringLiteral("options saved to ") + dir.filePath(path) + ".new").size(),
            kept ? 1 : 0);
    }

    void failedSaveKeepsThePreviousFile()
    {
        Option::saveToFile(Option::createDefault());
        const QByteArray before = readFile(path);
        QSharedPointer<Option> option = Option::createDefault();
        option->storeRenameOption(OptionText::parse("space=2"));
        // Let every write beyond a few bytes fail, as on a full disk.
        struct rlimit saved, tiny;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        tiny = {32, saved.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        Option::saveToFile(option);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{"option.xml"});
    }
};

QTEST_GUILESS_MAIN(TestOption)
#include "tst_option.moc"
