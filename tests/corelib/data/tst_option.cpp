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

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

// Each test runs in a fresh working directory: the option file is relative.
class WorkingDirectory
{
public:
    WorkingDirectory()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString path(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

} // namespace

class TestOption : public QObject
{
    Q_OBJECT

private slots:
    // Read loosely; what was read is written and read back alike.
    void readAndRoundTrip_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("expected"); // changes from the defaults
        QTest::addRow("children in any order, also inside unknown ones")
            << "<option><rename_option><age_enabled>0</age_enabled><colour><id_enabled>0"
               "</id_enabled></colour><orders><order>0</order></orders><space_size>3</space_size>"
               "</rename_option></option>"
            << "off=id,age space=3 order=id,title,id,age,date";
        QTest::addRow("non-numeric text reads as 0")
            << "<option><rename_option><space_size>many</space_size><id_enabled>yes</id_enabled>"
               "<orders><order>x</order><order>7</order></orders></rename_option></option>"
            << "space=0 off=id order=id,7,id,age,date";
        QTest::addRow("markup and japanese delimiters")
            << "<option><rename_option><begin_delimiter>&lt;【</begin_delimiter><end_delimiter>"
               "]]&gt;</end_delimiter></rename_option></option>"
            << "begin=<【 end=]]>";
        // The record keeps what the file says; names are capped where built.
        QTest::addRow("huge space size kept as read")
            << "<option><rename_option><space_size>2147483647</space_size></rename_option>"
               "</option>"
            << "space=2147483647";
        QTest::addRow("option without rename_option") << "<option><x/></option>"
                                                      << "";
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
        WorkingDirectory cwd;
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
        QTest::addRow("empty file") << QByteArray() << false;
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
        WorkingDirectory cwd;
        const QString path = cwd.path(QStringLiteral("option.xml"));
        QFile file(path);
        if (content != "(none)")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        LogCapture log;
        Option::saveToFile(Option::loadFromFile());
        const QByteArray defaults = readFile(TestPaths::dataFile("option/default.xml"));
        QCOMPARE(readFile(path), kept ? content : defaults);
        QCOMPARE(readFile(path + ".new"), kept ? defaults : QByteArray("(none)"));
        QCOMPARE(log.matching(QStringLiteral("could not be read whole")).size(), kept ? 1 : 0);
        QCOMPARE(log.matching(QStringLiteral("options saved to ") + path + ".new").size(),
                 kept ? 1 : 0);
    }

    void failedSaveKeepsThePreviousFile()
    {
        WorkingDirectory cwd;
        const QString path = cwd.path(QStringLiteral("option.xml"));
        Option::saveToFile(Option::createDefault());
        const QByteArray before = readFile(path);
        QSharedPointer<Option> option = Option::createDefault();
        option->storeRenameOption(OptionText::parse("space=2"));
        // Let every write beyond a few bytes fail, as on a full disk.
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit tiny = saved;
        tiny.rlim_cur = 32;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        Option::saveToFile(option);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(cwd.path(QString())).entryList(QDir::Files), QStringList{"option.xml"});
    }
};

QTEST_GUILESS_MAIN(TestOption)
#include "tst_option.moc"
