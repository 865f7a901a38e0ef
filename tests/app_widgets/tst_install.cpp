#include "ProcessRun.h"

#include <QTemporaryDir>
#include <QtTest>

// Installs the build into a temporary prefix and starts the installed
// program from a folder without plug-ins, as a desktop launcher would.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installedProgramRuns()
    {
        QTemporaryDir prefix;
        QTemporaryDir home;
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(ZORV_CMAKE_COMMAND),
                      {"--install", ZORV_BUILD_DIR, "--prefix", prefix.path()});
        QVERIFY(install.waitForFinished(ProcessRun::timeout));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        // A launcher offers the program for files, with its icon.
        QFile entry(prefix.filePath(ZORV_INSTALL_DATADIR "/applications/zorv.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.contains("\nExec=zorv %F\n") && text.contains("\nIcon=zorv\n"));

        const ProcessRun::Result result =
            ProcessRun::run(home.path(), {"--verbose"}, ProcessRun::Window, {},
                            prefix.filePath(ZORV_INSTALL_BINDIR "/zorv"));
        QVERIFY2(result.exited && result.exitCode == 0, qPrintable(result.log));
        QVERIFY2(result.log.contains("{plugin loaded. #Sakuvo.so}"), qPrintable(result.log));

        // It reads pages with the repair helper installed under the prefix
        // (the proxy on a closed port fails the page before any repair).
        QVERIFY(QFile(home.filePath("RJ100001.zip")).open(QIODevice::WriteOnly));
        const QString helper = prefix.filePath(ZORV_INSTALL_LIBDIR "/zorv/zorv-repair");
        const ProcessRun::Result batch = ProcessRun::run(
            home.path(), {"--batch", "--verbose", "RJ100001.zip"}, ProcessRun::Batch,
            "http://127.0.0.1:1", prefix.filePath(ZORV_INSTALL_BINDIR "/zorv"));
        QVERIFY2(
            batch.log.contains("{page repair helper: " + QFileInfo(helper).canonicalFilePath()),
            qPrintable(batch.log));
    }
};

ZORV_TEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
