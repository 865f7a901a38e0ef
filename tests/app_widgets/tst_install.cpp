#include "ProcessRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {
const int runTimeout = 120000;
}

// Installs the build into a temporary prefix and starts the installed
// program from a folder without plug-ins, as a desktop launcher would.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsUnderThePrefix_data();
    void installsUnderThePrefix();
    void desktopFileStartsTheProgramWithFiles();
    void iconIsEightyPixelsSquare();
    void installedProgramFindsItsPlugin();

private:
    QString installed(const QString &relative) const;

    QTemporaryDir prefix;
    QTemporaryDir home;
};

QString TestInstall::installed(const QString &relative) const
{
    return QDir(prefix.path()).filePath(relative);
}

void TestInstall::initTestCase()
{
    QVERIFY(prefix.isValid());
    QVERIFY(home.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(ZORV_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(ZORV_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(install.waitForFinished(runTimeout));
    const QString output = QString::fromLocal8Bit(install.readAll());
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             qPrintable(output));
}

void TestInstall::installsUnderThePrefix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << QStringLiteral(ZORV_INSTALL_BINDIR "/zorv") << true;
    QTest::newRow("store plug-in") << QStringLiteral(ZORV_INSTALL_PLUGINDIR "/Sakuvo.so") << false;
    QTest::newRow("desktop file") << QStringLiteral(ZORV_INSTALL_DATADIR
                                                    "/applications/zorv.desktop")
                                  << false;
    QTest::newRow("icon") << QStringLiteral(ZORV_INSTALL_DATADIR
                                            "/icons/hicolor/80x80/apps/zorv.png")
                          << false;
}

void TestInstall::installsUnderThePrefix()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile(), qPrintable(file.filePath()));
    if (executable)
        QVERIFY(file.isExecutable());
}

void TestInstall::desktopFileStartsTheProgramWithFiles()
{
    QFile file(installed(QStringLiteral(ZORV_INSTALL_DATADIR "/applications/zorv.desktop")));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QStringList lines;
    while (!in.atEnd())
        lines.append(in.readLine());
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Exec=zorv %F")));
    QVERIFY(lines.contains(QStringLiteral("Icon=zorv")));
    const QStringList names =
        lines.filter(QRegularExpression(QStringLiteral("^Name(\\[ja\\])?=.+")));
    QCOMPARE(names.size(), 2);
    // The Japanese name is written in Japanese.
    const QString japanese = lines.filter(QStringLiteral("Name[ja]=")).value(0);
    bool hasKana = false;
    for (const QChar c : japanese)
        hasKana = hasKana || (c.unicode() >= 0x3040 && c.unicode() <= 0x30ff);
    QVERIFY2(hasKana, qPrintable(japanese));
}

void TestInstall::iconIsEightyPixelsSquare()
{
    const QImage icon(
        installed(QStringLiteral(ZORV_INSTALL_DATADIR "/icons/hicolor/80x80/apps/zorv.png")));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size(), QSize(80, 80));
    QVERIFY(icon.hasAlphaChannel());
}

void TestInstall::installedProgramFindsItsPlugin()
{
    QProcess zorv;
    ProcessRun::start(zorv, installed(QStringLiteral(ZORV_INSTALL_BINDIR "/zorv")), home.path(), {},
                      true);
    QVERIFY(zorv.waitForStarted());
    QVERIFY(zorv.waitForFinished(runTimeout));
    const QString log = QString::fromLocal8Bit(zorv.readAllStandardError());
    QCOMPARE(zorv.exitStatus(), QProcess::NormalExit);
    QVERIFY2(zorv.exitCode() == 0, qPrintable(log));
    const QString folder = QDir::cleanPath(installed(QStringLiteral(ZORV_INSTALL_PLUGINDIR)));
    QVERIFY2(log.contains(QStringLiteral("{plugin folder: %1}").arg(folder)), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("{plugin loaded. #Sakuvo.so}")), qPrintable(log));
    QVERIFY2(log.contains(ProcessRun::closingLine()), qPrintable(log));
    QVERIFY(QFileInfo::exists(QDir(home.path()).filePath(QStringLiteral("option.xml"))));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
