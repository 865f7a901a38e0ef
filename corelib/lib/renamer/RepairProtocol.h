#pragma once

#include <QByteArray>
#include <QtEndian>

namespace zorv {

// How the renamer and its repair helper talk, over the helper's standard input
// and output: one request and one answer a page, each part preceded by its
// length (4 bytes, big-endian), so that any byte may occur in a page.
//   request: length, the page as UTF-8
//   answer:  the library's status (4 bytes, big-endian, signed) or
//            TooLargeStatus, length, the XML, length, the first diagnostics
struct RepairProtocol
{
    static constexpr int LengthBytes = 4;
    // The largest part either side takes; a larger length is a broken peer.
    static constexpr quint32 MaxPartBytes = 256u * 1024 * 1024;
    // The status of a page the helper refuses as larger than the program
    // reads, with no XML; the library's own are 0 to 2, or negative.
    static constexpr qint32 TooLargeStatus = 100;
    // The address space the helper allows itself unless told otherwise.
    static constexpr int DefaultMemoryMiB = 1024;
    // A test-only switch: a page holding this variable's text makes the
    // helper abort, as a crash in the library would.
    static constexpr const char *AbortMarkVariable = "ZORV_REPAIR_ABORT_MARK";

    static QByteArray length(quint32 bytes)
    {
        char encoded[LengthBytes];
        qToBigEndian(bytes, encoded);
        return QByteArray(encoded, LengthBytes);
    }
    static quint32 length(const char *encoded) { return qFromBigEndian<quint32>(encoded); }
};

} // namespace zorv
