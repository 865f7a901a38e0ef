#include "ProcessRun.h"

#include <QDirIterator>
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
                      {QStringLiteral("--install"), QStringLiteral(ZORV_BUILD_DIR),
                       QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(ProcessRun::timeout));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());

        // A launcher offers the program for files, with its icon.
        const QDir data(prefix.filePath(QStringLiteral(ZORV_INSTALL_DATADIR)));
        QFile entry(data.filePath(QStringLiteral("applications/zorv.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.contains("\nExec=zorv %F\n") && text.contains("\nIcon=zorv\n"));
        QVERIFY(QDirIterator(data.filePath(QStringLiteral("icons/hicolor")), {"zorv.png"},
                             QDir::Files, QDirIterator::Subdirectories)
                    .hasNext());

        const ProcessRun::Result result =
            ProcessRun::run(home.path(), {}, ProcessRun::Window, QString(),
                            prefix.filePath(QStringLiteral(ZORV_INSTALL_BINDIR "/zorv")));
        QVERIFY2(result.exited() && result.exitCode == 0, qPrintable(result.log));
        QVERIFY2(result.log.contains(QStringLiteral("{plugin loaded. #Sakuvo.so}")),
                 qPrintable(result.log));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
