#pragma once

#include <QString>
#include <QUrl>

namespace zorv {

// Whether the shop can be reached at all. A file whose every fetched page
// failed before the shop answered (connection refused, host not found, a
// proxy error, a time-out) failed for the network's sake, not its product's;
// two such files in a row mean the shop is unreachable, and every file after
// them would fail the same way. Worker thread only.
class ShopReach
{
public:
    static constexpr int UnreachableFilesInARow = 2;

    // A file is taken up (again).
    void startFile();
    // A fetched page: unreachable when it failed before the shop answered,
    // for the reason in plain words.
    void notePage(const QUrl &url, bool unreachable, const QString &reason);
    // The file has ended: true when it makes the unreachable files in a row
    // reach their number. The count goes on until a file gets through, so
    // that an outage is told once, unless restartCount() begins it anew.
    bool fileEnded(bool failed);
    void restartCount() { filesInARow = 0; }

    // Of the last page that could not reach the shop: its host, the proxy it
    // went through ("host:port", empty when none) and why it failed.
    QString host() const { return lastHost; }
    QString proxy() const { return lastProxy; }
    QString reason() const { return lastReason; }

private:
    bool pageUnreachable = false;
    bool pageReached = false;
    int filesInARow = 0;
    QString lastHost;
    QString lastProxy;
    QString lastReason;
};

} // namespace zorv
