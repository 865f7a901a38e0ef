// zorv-repair: the page repair helper. The renamer starts it and hands it one
// downloaded page after another (RepairProtocol); it answers each with the
// page repaired into XML. A crafted page may make the repair loop, recurse or
// allocate without end: here that costs this process, which the renamer
// kills at the page's deadline and starts anew, and never the program.
#include "HtmlRepair.h"
#include "renamer/RepairProtocol.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using zorv::HtmlRepair;
using zorv::RepairProtocol;

namespace {

// CPU time one page may take; the renamer's deadline ends it far sooner.
const rlim_t cpuSecondsPerPage = 300;

bool readFully(int fd, char *data, size_t size)
{
    while (size > 0) {
        const ssize_t got = read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= size_t(got);
    }
    return true;
}

bool writeFully(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    size_t size = size_t(bytes.size());
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= size_t(put);
    }
    return true;
}

// False at the end of the input or on a length no page has.
bool readPage(QByteArray *page)
{
    char length[RepairProtocol::LengthBytes];
    if (!readFully(STDIN_FILENO, length, sizeof length))
        return false;
    const quint32 size = RepairProtocol::length(length);
    if (size > RepairProtocol::MaxPartBytes)
        return false;
    page->resize(int(size));
    return readFully(STDIN_FILENO, page->data(), size);
}

bool writeAnswer(int channel, const HtmlRepair::Result &result)
{
    const qint32 status = result.tooLarge ? RepairProtocol::TooLargeStatus : result.status;
    return writeFully(channel, RepairProtocol::length(quint32(status)) +
                                   RepairProtocol::length(quint32(result.xml.size())) + result.xml +
                                   RepairProtocol::length(quint32(result.report.size())) +
                                   result.report);
}

// The answers go out on a copy of the standard output; the library's own
// writes, should it make any, land in the standard error instead.
int takeStandardOutput()
{
    const int channel = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return channel;
}

void setLimits(int memoryMiB)
{
    // Ends with the program that started it, and leaves no core files.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer reserves terabytes of address space up front.
    const rlim_t bytes = rlim_t(memoryMiB) * 1024 * 1024;
    const rlimit memory = {bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
#else
    (void)memoryMiB;
#endif
}

// The process is reused, so the CPU limit is renewed for every page.
void limitCpuForNextPage()
{
    rusage usage;
    rlimit cpu;
    if (getrusage(RUSAGE_SELF, &usage) != 0 || getrlimit(RLIMIT_CPU, &cpu) != 0)
        return;
    const rlim_t used = rlim_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1;
    cpu.rlim_cur = used + cpuSecondsPerPage;
    if (cpu.rlim_max != RLIM_INFINITY && cpu.rlim_cur > cpu.rlim_max)
        cpu.rlim_cur = cpu.rlim_max;
    setrlimit(RLIMIT_CPU, &cpu);
}

int memoryMiB(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--memory-mib") == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    }
    return RepairProtocol::DefaultMemoryMiB;
}

} // namespace

int main(int argc, char **argv)
{
    const int channel = takeStandardOutput();
    setLimits(memoryMiB(argc, argv));
    const QByteArray abortMark = qgetenv(RepairProtocol::AbortMarkVariable);
    QByteArray page;
    while (readPage(&page)) {
        if (!abortMark.isEmpty() && page.contains(abortMark))
            std::abort();
        limitCpuForNextPage();
        if (!writeAnswer(channel, HtmlRepair::toXml(page)))
            return 1;
    }
    return 0;
}
