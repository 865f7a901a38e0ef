#include "renamer/RepairProcess.h"
#include "renamer/RepairProtocol.h"
#include "utility/LogCategory.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>

namespace zorv {

namespace {

// How often a wait for the helper looks whether the caller gave up.
const int pollMs = 50;
const int startTimeoutMs = 10000;
const int stopTimeoutMs = 5000;
// The helper keeps the first diagnostics only; more is a broken helper.
const quint32 maxReportBytes = 64 * 1024;
// What the log keeps of the helper's error output when it fails.
const int maxErrorLogBytes = 2000;

QMutex helperLock;
QString helperSet;

bool isExecutableFile(const QString &path)
{
    const QFileInfo file(path);
    return file.isFile() && file.isExecutable();
}

} // namespace

QStringList RepairProcess::helperCandidates()
{
    {
        QMutexLocker lock(&helperLock);
        if (!helperSet.isEmpty())
            return {helperSet};
    }
    // Only the folder of the running program counts: a helper elsewhere (an
    // older install, one on the search path) may speak another protocol or
    // be someone else's. Without an application object there is no such
    // folder, and the working directory must not stand in for it.
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (programFolder.isEmpty())
        return {};
    const QString name = QLatin1String(HelperName);
    const QDir beside(programFolder);
    QStringList candidates{beside.absoluteFilePath(name),
                           QDir::cleanPath(beside.absoluteFilePath(
                               QStringLiteral(ZORV_HELPERDIR_FROM_BINDIR "/") + name))};
    candidates.removeDuplicates();
    return candidates;
}

QString RepairProcess::helperProgram()
{
    for (const QString &candidate : helperCandidates()) {
        if (isExecutableFile(candidate))
            return candidate;
    }
    return QString();
}

void RepairProcess::setHelperProgram(const QString &path)
{
    QMutexLocker lock(&helperLock);
    helperSet = QFileInfo(path).absoluteFilePath();
}

RepairProcess::RepairProcess(const QString &program)
    : helperPath(program)
    , memoryMiB(RepairProtocol::DefaultMemoryMiB)
{
    if (helperPath.isEmpty())
        qCWarning(lcZorv).noquote()
            << QStringLiteral("%1 {error: the page repair helper %2 is not installed in %3; "
                              "no page can be read}")
                   .arg(QLatin1String(Q_FUNC_INFO), QLatin1String(HelperName),
                        helperCandidates().join(QLatin1String(", ")));
    else
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {page repair helper: %2}")
                                         .arg(QLatin1String(Q_FUNC_INFO), helperPath);
}

RepairProcess::~RepairProcess()
{
    if (process) {
        process->kill();
        process->waitForFinished(stopTimeoutMs);
    }
}

void RepairProcess::setMemoryLimit(int mebibytes)
{
    memoryMiB = mebibytes;
}

bool RepairProcess::start()
{
    process.reset(new QProcess);
    process->setProgram(helperPath);
    process->setArguments({QStringLiteral("--memory-mib"), QString::number(memoryMiB)});
    process->setReadChannel(QProcess::StandardOutput);
    process->start();
    if (process->waitForStarted(startTimeoutMs)) {
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {page repair helper started as process %2}")
                                         .arg(QLatin1String(Q_FUNC_INFO))
                                         .arg(process->processId());
        return true;
    }
    qCWarning(lcZorv).noquote() << QStringLiteral("%1 {error: %2 did not start: %3}")
                                       .arg(QLatin1String(Q_FUNC_INFO), helperPath,
                                            process->errorString());
    process.reset();
    return false;
}

void RepairProcess::stop(const QString &why)
{
    process->kill();
    process->waitForFinished(stopTimeoutMs);
    const QString errors =
        QString::fromLocal8Bit(process->readAllStandardError().left(maxErrorLogBytes)).trimmed();
    qCDebug(lcZorv).noquote() << QStringLiteral("%1 {error: page repair stopped, %2%3}")
                                     .arg(QLatin1String(Q_FUNC_INFO), why,
                                          errors.isEmpty() ? QString()
                                                           : QStringLiteral(": ") + errors);
    process.reset();
    answer.clear();
}

QString RepairProcess::ending() const
{
    return process->exitStatus() == QProcess::CrashExit
               ? QStringLiteral("it crashed")
               : QStringLiteral("it ended with exit code %1").arg(process->exitCode());
}

RepairProcess::Result RepairProcess::repair(const QByteArray &html, const QDeadlineTimer &deadline,
                                            const std::function<bool()> &cancelled)
{
    Result result;
    if (helperPath.isEmpty()) {
        result.outcome = Missing;
        return result;
    }
    // A helper that ended since the last page (the OOM killer, a user's
    // kill) would cost this page. Polled: the thread's event loop may or may
    // not have noticed it yet.
    if (process && (process->state() == QProcess::NotRunning || process->waitForFinished(0)))
        stop(ending() + QStringLiteral(" while idle"));
    if (html.size() > qint64(RepairProtocol::MaxPartBytes) || (!process && !start()))
        return result;
    answer.clear();
    process->write(RepairProtocol::length(quint32(html.size())) + html);
    result.outcome = await(deadline, cancelled, &result);
    return result;
}

RepairProcess::Outcome RepairProcess::await(const QDeadlineTimer &deadline,
                                            const std::function<bool()> &cancelled, Result *result)
{
    forever
    {
        answer += process->readAllStandardOutput();
        int status = -1;
        QByteArray report;
        switch (takeAnswer(&status, &result->xml, &report)) {
        case Whole:
            // The helper writes its errors only when it fails: what is there
            // now need not be kept.
            process->readAllStandardError();
            if (status == RepairProtocol::TooLargeStatus) {
                qCDebug(lcZorv).noquote()
                    << QStringLiteral("%1 {error: the repaired page is too large to check}")
                           .arg(QLatin1String(Q_FUNC_INFO));
                return TooLarge;
            }
            if (status != 0)
                qCDebug(lcZorv).noquote()
                    << QStringLiteral("%1 {%2 :%3")
                           .arg(QLatin1String(Q_FUNC_INFO),
                                QLatin1String(status > 0 ? "warning" : "error"),
                                status > 0 ? QString::fromUtf8(report) : QString::number(status));
            return Repaired;
        case Oversized:
            stop(QStringLiteral("its XML is over %1 bytes").arg(maxXmlBytes));
            return TooLarge;
        case Broken:
            stop(QStringLiteral("its answer is broken"));
            return Failed;
        case Incomplete:
            break;
        }
        if (process->state() == QProcess::NotRunning) {
            stop(ending());
            return Failed;
        }
        if (deadline.hasExpired()) {
            stop(QStringLiteral("the page's time is up"));
            return TimedOut;
        }
        if (cancelled && cancelled()) {
            stop(QStringLiteral("the renamer stops"));
            return Cancelled;
        }
        const qint64 left = deadline.remainingTime();
        process->waitForReadyRead(int(left < 0 ? pollMs : qMin<qint64>(left, pollMs)));
    }
}

RepairProcess::Answer RepairProcess::takeAnswer(int *status, QByteArray *xml, QByteArray *report)
{
    const int lengthBytes = RepairProtocol::LengthBytes;
    if (answer.size() < 2 * lengthBytes)
        return Incomplete;
    const quint32 xmlBytes = RepairProtocol::length(answer.constData() + lengthBytes);
    // Known before the XML arrives, so that it is never read.
    if (xmlBytes > maxXmlBytes)
        return Oversized;
    const qint64 reportAt = 2 * lengthBytes + qint64(xmlBytes);
    if (answer.size() < reportAt + lengthBytes)
        return Incomplete;
    const quint32 reportBytes = RepairProtocol::length(answer.constData() + reportAt);
    const qint64 end = reportAt + lengthBytes + qint64(reportBytes);
    if (reportBytes > maxReportBytes || answer.size() > end)
        return Broken;
    if (answer.size() < end)
        return Incomplete;
    *status = qint32(RepairProtocol::length(answer.constData()));
    *xml = answer.mid(2 * lengthBytes, int(xmlBytes));
    *report = answer.mid(int(reportAt + lengthBytes), int(reportBytes));
    answer.clear();
    return Whole;
}

} // namespace zorv
