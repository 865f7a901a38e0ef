#include "OptionText.h"
#include "TestPaths.h"
#include "data/Journal.h"
#include "data/Option.h"
#include "renamer/PageCache.h"
#include "utility/XdgEnvironment.h"

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

    // Read loosely (any order, also inside unknown elements, non-numbers as 0);
    // what was read, markup in the delimiters too, is written and read back alike.
    void readAndRoundTrip()
    {
        QXmlStreamReader reader(QStringLiteral(
            "<option><rename_option><age_enabled>0</age_enabled><colour><id_enabled>0"
            "</id_enabled></colour><orders><order>x</order><order>7</order></orders>"
            "<space_size>many</space_size><begin_delimiter>&lt;【</begin_delimiter>"
            "<end_delimiter>]]&gt;&#13;</end_delimiter></rename_option></option>"));
        const RenameOption expected =
            OptionText::parse("off=id,age space=0 order=id,7,id,age,date begin=<【 end=]]>\r");
        const QSharedPointer<Option> option = Option::read(reader);
        QVERIFY(option && option->renameOption() && *option->renameOption() == expected);
        Option::saveToFile(option);
        QVERIFY(*Option::loadFromFile()->renameOption() == expected);
    }

    // A file read whole is written back; one that was not (a typo drops every
    // setting after it) is kept, and the running options go to "option.xml.new".
    void saveKeepsAFileNotReadWhole_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept");
        QTest::addRow("read whole") << QByteArray("<option><rename_option/></option>") << false;
        QTest::addRow("one wrong closing tag")
            << QByteArray("<option><rename_option><space_size>1</spase_size></option>") << true;
        QTest::addRow("typo after the options")
            << QByteArray("<option><rename_option/></option><extra></extr>") << true;
        QTest::addRow("another document") << QByteArray("<settings><a/></settings>") << true;
    }

    void saveKeepsAFileNotReadWhole()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        Option::saveToFile(Option::loadFromFile());
        const QByteArray defaults = readFile(TestPaths::dataFile("option/default.xml"));
        QCOMPARE(readFile(path), kept ? content : defaults);
        QCOMPARE(readFile(path + ".new"), kept ? defaults : QByteArray("(none)"));
    }

    // A relative XDG folder is ignored, as the XDG rules say: the options,
    // the journal and the page cache never land in the folder the program
    // was started in.
    void relativeFoldersIgnored_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::newRow("configuration") << QByteArray("XDG_CONFIG_HOME");
        QTest::newRow("data") << QByteArray("XDG_DATA_HOME");
        QTest::newRow("cache") << QByteArray("XDG_CACHE_HOME");
    }
    void relativeFoldersIgnored()
    {
        QFETCH(QByteArray, variable);
        const QByteArray saved = qgetenv(variable.constData());
        qputenv(variable.constData(), "relative");
        XdgEnvironment::dropRelativeFolders();
        const QStringList paths = {Option::filePath(), Journal::defaultPath(),
                                   PageCache::defaultPath()};
        qputenv(variable.constData(), saved);
        for (const QString &path : paths)
            QVERIFY2(QDir::isAbsolutePath(path), qPrintable(path));
    }

    // Every write beyond a few bytes fails, as on a full disk.
    void failedSaveKeepsThePreviousFile()
    {
        Option::saveToFile(Option::createDefault());
        const QByteArray before = readFile(path);
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const struct rlimit tiny = {32, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        Option::saveToFile(Option::createDefault());
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(readFile(path), before);
    }
};

ZORV_TEST_GUILESS_MAIN(TestOption)
#include "tst_option.moc"
