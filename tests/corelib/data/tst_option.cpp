#include "LogCapture.h"
#include "OptionText.h"
#include "data/Option.h"

#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace zorv;

namespace {

const QString defaultDocument =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<option>\n"
                   "    <rename_option>\n"
                   "        <orders>\n"
                   "            <order>2</order>\n"
                   "            <order>1</order>\n"
                   "            <order>0</order>\n"
                   "            <order>4</order>\n"
                   "            <order>3</order>\n"
                   "        </orders>\n"
                   "        <space_size>1</space_size>\n"
                   "        <begin_delimiter>[</begin_delimiter>\n"
                   "        <end_delimiter>]</end_delimiter>\n"
                   "        <begin_delimiter_enabled>1</begin_delimiter_enabled>\n"
                   "        <end_delimiter_enabled>1</end_delimiter_enabled>\n"
                   "        <id_enabled>1</id_enabled>\n"
                   "        <maker_enabled>1</maker_enabled>\n"
                   "        <date_enabled>1</date_enabled>\n"
                   "        <age_enabled>1</age_enabled>\n"
                   "    </rename_option>\n"
                   "</option>\n");

// The option as the file would hold it: compared as text for readable diffs.
QString render(const RenameOption &option)
{
    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    RenameOption::write(writer, QSharedPointer<RenameOption>(new RenameOption(option)));
    return text;
}

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Runs each test in a fresh working directory: the option file is relative.
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
    void defaultsMatchTheDocumentedSet()
    {
        const QSharedPointer<RenameOption> option = Option::createDefault()->renameOption();
        QVERIFY(option);
        QCOMPARE(option->order(0), Maker);
        QCOMPARE(option->order(1), Title);
        QCOMPARE(option->order(2), Id);
        QCOMPARE(option->order(3), Age);
        QCOMPARE(option->order(4), Date);
        QCOMPARE(option->spaceSize(), 1);
        QCOMPARE(option->beginDelimiter(), QStringLiteral("["));
        QCOMPARE(option->endDelimiter(), QStringLiteral("]"));
        QVERIFY(option->isBeginDelimiterEnabled() && option->isEndDelimiterEnabled() &&
                option->isIdEnabled() && option->isMakerEnabled() && option->isDateEnabled() &&
                option->isAgeEnabled());
    }

    void saveFromDefaultsWritesTheDocument()
    {
        WorkingDirectory cwd;
        QVERIFY(!QFile::exists(cwd.path(QStringLiteral("option.xml"))));
        const QSharedPointer<Option> loaded = Option::loadFromFile();
        Option::saveToFile(loaded);
        QCOMPARE(readFile(cwd.path(QStringLiteral("option.xml"))), defaultDocument);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("spaceSize");
        QTest::newRow("markup delimiters") << QStringLiteral("<") << QStringLiteral("&") << 0;
        QTest::newRow("entity-like text") << QStringLiteral("&amp;") << QStringLiteral("]]>") << 3;
        QTest::newRow("two characters kept whole")
            << QStringLiteral("((") << QStringLiteral("))") << 9;
        QTest::newRow("empty delimiters") << QString() << QString() << 1;
        QTest::newRow("japanese") << QStringLiteral("【") << QStringLiteral("】") << 2;
    }

    void roundTrip()
    {
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(int, spaceSize);
        WorkingDirectory cwd;
        QSharedPointer<Option> option = Option::createDefault();
        RenameOption values;
        values.setBeginDelimiter(begin);
        values.setEndDelimiter(end);
        values.setSpaceSize(spaceSize);
        values.setIdEnabled(false);
        values.setAgeEnabled(false);
        values.setOrder(0, Date);
        values.setOrder(4, Maker);
        option->storeRenameOption(values);
        Option::saveToFile(option);
        const QSharedPointer<Option> loaded = Option::loadFromFile();
        QCOMPARE(render(*loaded->renameOption()), render(values));
    }

    void looseReading_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("expected"); // changes from the defaults

        QTest::newRow("children in any order")
            << "<option><rename_option><age_enabled>0</age_enabled><space_size>3</space_size>"
               "<orders><order>0</order><order>1</order><order>2</order><order>3</order>"
               "<order>4</order></orders><end_delimiter>)</end_delimiter></rename_option></option>"
            << "off=age space=3 order=id,title,maker,date,age end=)";
        QTest::newRow("unknown elements skipped with their children")
            << "<option><rename_option><colour>red</colour><extra><id_enabled>0</id_enabled>"
               "</extra><maker_enabled>0</maker_enabled></rename_option></option>"
            << "off=id,maker";
        QTest::newRow("option found deeper")
            << "<settings><other/><group><option><rename_option><date_enabled>0</date_enabled>"
               "</rename_option></option></group></settings>"
            << "off=date";
        QTest::newRow("second orders overwrites from slot 0")
            << "<option><rename_option><orders><order>0</order><order>1</order><order>2</order>"
               "<order>3</order><order>4</order></orders><orders><order>4</order><order>3</order>"
               "</orders></rename_option></option>"
            << "order=age,date,maker,date,age";
        QTest::newRow("last rename_option wins")
            << "<option><rename_option><space_size>4</space_size></rename_option>"
               "<rename_option><space_size>2</space_size></rename_option></option>"
            << "space=2";
        QTest::newRow("non-numeric text reads as 0")
            << "<option><rename_option><space_size>many</space_size><id_enabled>yes</id_enabled>"
               "<orders><order>x</order></orders></rename_option></option>"
            << "space=0 off=id order=id,title,id,age,date";
        QTest::newRow("flag 2 is true")
            << "<option><rename_option><id_enabled>2</id_enabled><age_enabled>0</age_enabled>"
               "</rename_option></option>"
            << "off=age";
        QTest::newRow("space size beyond the dialog's range kept")
            << "<option><rename_option><space_size>9</space_size></rename_option></option>"
            << "space=9";
        QTest::newRow("fewer orders keep the default slots")
            << "<option><rename_option><orders><order>3</order></orders></rename_option></option>"
            << "order=date,title,id,age,date";
        QTest::newRow("surplus orders ignored")
            << "<option><rename_option><orders><order>0</order><order>1</order><order>2</order>"
               "<order>3</order><order>4</order><order>0</order><order>0</order></orders>"
               "</rename_option></option>"
            << "order=id,title,maker,date,age";
        QTest::newRow("option without rename_option gives defaults")
            << "<option><something/></option>"
            << "";
        QTest::newRow("xml error after option keeps what was read")
            << "<option><rename_option><space_size>5</space_size><id_enabled>0</id_enabled><broken"
            << "space=5 off=id";
        QTest::newRow("value element with children stops reading")
            << "<option><rename_option><space_size>2</space_size><age_enabled><b>1</b></age_enabled>"
               "<id_enabled>0</id_enabled></rename_option></option>"
            << "space=2 off=age";
    }

    void looseReading()
    {
        QFETCH(QString, xml);
        QFETCH(QString, expected);
        QXmlStreamReader reader(xml);
        const QSharedPointer<Option> option = Option::read(reader);
        QVERIFY(option);
        QVERIFY(option->renameOption());
        QCOMPARE(OptionText::describe(*option->renameOption()),
                 OptionText::describe(OptionText::parse(expected)));
    }

    void flagTwoIsWrittenBackAsOne()
    {
        WorkingDirectory cwd;
        writeFile(cwd.path(QStringLiteral("option.xml")),
                  "<option><rename_option><age_enabled>2</age_enabled></rename_option></option>");
        Option::saveToFile(Option::loadFromFile());
        QCOMPARE(readFile(cwd.path(QStringLiteral("option.xml"))), defaultDocument);
    }

    void unreadableFileLogsAndGivesDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("other document") << QByteArray("<settings><a/></settings>");
        QTest::newRow("broken before option") << QByteArray("<settings><a></settings>");
    }

    void unreadableFileLogsAndGivesDefaults()
    {
        QFETCH(QByteArray, content);
        WorkingDirectory cwd;
        writeFile(cwd.path(QStringLiteral("option.xml")), content);
        LogCapture log;
        const QSharedPointer<Option> option = Option::loadFromFile();
        const QStringList lines = log.matching(QStringLiteral("{error:not found tag#option}"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral(
                     "static QSharedPointer<zorv::Option> zorv::Option::read(QXmlStreamReader&)")),
                 qPrintable(lines.first()));
        QCOMPARE(render(*option->renameOption()), render(RenameOption()));
    }

    void missingFileIsSilent()
    {
        WorkingDirectory cwd;
        LogCapture log;
        const QSharedPointer<Option> option = Option::loadFromFile();
        QVERIFY(option && option->renameOption());
        QVERIFY(log.lines().isEmpty());
    }

    void failedSaveKeepsThePreviousFile()
    {
        WorkingDirectory cwd;
        const QString path = cwd.path(QStringLiteral("option.xml"));
        QSharedPointer<Option> option = Option::createDefault();
        RenameOption values;
        values.setSpaceSize(4);
        option->storeRenameOption(values);
        Option::saveToFile(option);
        const QString before = readFile(path);
        QVERIFY(before.contains(QStringLiteral("<space_size>4</space_size>")));

        // Let every write beyond a few bytes fail, as on a full disk.
        values.setSpaceSize(2);
        option->storeRenameOption(values);
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

    void storeAndCopyAreWholeSets()
    {
        const QSharedPointer<Option> option = Option::createDefault();
        const QSharedPointer<RenameOption> shared = option->renameOption();
        RenameOption values;
        values.setBeginDelimiter(QStringLiteral("{"));
        values.setOrder(2, Age);
        option->storeRenameOption(values);
        // Holders of the shared record see the new set at once.
        QCOMPARE(shared->beginDelimiter(), QStringLiteral("{"));
        QCOMPARE(render(option->copyRenameOption()), render(values));
    }
};

QTEST_GUILESS_MAIN(TestOption)
#include "tst_option.moc"
