#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;

namespace zorv {

// The renamer's side of the page repair helper ("zorv-repair"): a process of
// its own that turns a page into XML, started at the first page and reused
// for the next ones. A page that crashes it, runs it out of memory or keeps
// it past the page's deadline costs that page: the helper is killed and
// started anew for the next page. Used on one thread.
class RepairProcess
{
public:
    static constexpr const char *HelperName = "zorv-repair";
    // Far more than the repair of any page the downloader takes gives back.
    static constexpr qint64 DefaultMaxXmlBytes = 64 * 1024 * 1024;

    enum Outcome {
        Repaired, // the XML, possibly empty when the library gave up on the page
        TimedOut, // the deadline came first
        Failed,   // the helper crashed, hit a limit, or did not start
        TooLarge, // the XML is larger than allowed, or the helper refused the page as too large
        Missing,  // no helper is installed
        Cancelled // the caller stopped waiting
    };
    struct Result
    {
        Outcome outcome = Failed;
        QByteArray xml;
    };

    // Where the helper is installed, relative to the running program: beside
    // it (a build tree), or in the library folder relative to it (an
    // install, wherever its prefix). Never on the search path, in the
    // working directory or at a path fixed at build time.
    static QStringList helperCandidates();
    // The first candidate that is an executable file; empty when none is.
    static QString helperProgram();
    // The only candidate from now on, for programs that do not live beside
    // the helper (the tests).
    static void setHelperProgram(const QString &path);

    explicit RepairProcess(const QString &program = helperProgram());
    ~RepairProcess();

    QString program() const { return helperPath; }
    void setMemoryLimit(int mebibytes);
    // Repairs one page (UTF-8, any bytes). Stops waiting at the deadline, or
    // when cancelled (asked every few milliseconds) says so.
    Result repair(const QByteArray &html, const QDeadlineTimer &deadline,
                  const std::function<bool()> &cancelled = {});

private:
    enum Answer { Incomplete, Whole, Oversized, Broken };

    bool start();
    void stop(const QString &why);
    // How the helper that is no longer running ended, for the log.
    QString ending() const;
    // Reads the helper's answer until it is whole or the wait ends.
    Outcome await(const QDeadlineTimer &deadline, const std::function<bool()> &cancelled,
                  Result *result);
    // Takes the whole answer out of what has arrived.
    Answer takeAnswer(int *status, QByteArray *xml, QByteArray *report);

    QString helperPath;
    int memoryMiB;
    qint64 maxXmlBytes = DefaultMaxXmlBytes;
    std::unique_ptr<QProcess> process;
    QByteArray answer;
};

} // namespace zorv
