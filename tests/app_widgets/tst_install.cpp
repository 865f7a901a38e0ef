#include "ProcessRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Installs the build into a temporary prefix and starts the installed
// program from a folder without plug-ins, as a desktop launcher would.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void desktopEntryAndIcon();
    void installedProgramFindsItsPlugin();

private:
    QString installed(const QString &relative) const
    {
        return QDir(prefix.path()).filePath(relative);
    }

    QTemporaryDir prefix;
    QTemporaryDir home;
};

void TestInstall::initTestCase()
{
    QVERIFY(prefix.isValid() && home.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(ZORV_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(ZORV_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(install.waitForFinished(ProcessRun::timeout));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());
}

// A launcher offers the program for files under both names, with its icon.
void TestInstall::desktopEntryAndIcon()
{
    QFile file(installed(QStringLiteral(ZORV_INSTALL_DATADIR "/applications/zorv.desktop")));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString entry = QString::fromUtf8(file.readAll());
    for (const QString &pattern :
         {QStringLiteral("^Exec=zorv %F$"), QStringLiteral("^Icon=zorv$"),
          QStringLiteral("^Name=\\w"), QStringLiteral("^Name\\[ja\\]=.*[\\x{3040}-\\x{30ff}]")}) {
        const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
        QVERIFY2(line.match(entry).hasMatch(), qPrintable(pattern));
    }
    const QImage icon(
        installed(QStringLiteral(ZORV_INSTALL_DATADIR "/icons/hicolor/80x80/apps/zorv.png")));
    QCOMPARE(icon.size(), QSize(80, 80));
}

void TestInstall::installedProgramFindsItsPlugin()
{
    const ProcessRun::Result result =
        ProcessRun::run(home.path(), {}, ProcessRun::Window, QString(),
                        installed(QStringLiteral(ZORV_INSTALL_BINDIR "/zorv")));
    QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
    const QString folder = QDir::cleanPath(installed(QStringLiteral(ZORV_INSTALL_PLUGINDIR)));
    QVERIFY2(result.log.contains(QStringLiteral("{plugin folder: %1}").arg(folder)),
             qPrintable(result.log));
    QVERIFY2(result.log.contains(QStringLiteral("{plugin loaded. #Sakuvo.so}")),
             qPrintable(result.log));
    QVERIFY2(result.log.contains(ProcessRun::closingLine()), qPrintable(result.log));
    QVERIFY(
        QFileInfo::exists(QDir(home.path()).filePath(QStringLiteral(".config/zorv/option.xml"))));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
