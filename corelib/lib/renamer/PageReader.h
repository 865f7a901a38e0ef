#pragma once

#include "plugin/PluginInterface.h"
#include "renamer/PageMemory.h"
#include "renamer/RepairProcess.h"
#include "renamer/WebDownloader.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDomDocument>

#include <functional>

class QNetworkReply;

namespace zorv {

// Turns a finished download into what the page says of the product: why the
// download failed, or the page decoded with its charset, repaired into XML by
// the repair helper, checked, loaded and read by the entry's plug-in. The
// file's deadline covers the repair as it covers the download. Worker thread
// only.
class PageReader
{
public:
    struct Reading
    {
        PageMemory::Page page;    // found with the product's fields, or why not
        bool notFound = false;    // the shop has no such page, and would say so again
        bool nextAllowed = true;  // another candidate page may still do better
        bool unreachable = false; // failed before the shop answered at all
        QString detail;           // Qt's own text of a failed download, for the entry's detail
    };

    // What is kept of the fields a page gives: far more than a name shows
    // (255 bytes hold at most 85 makers of one letter and ", "), and no
    // more, so that a hostile page's megabytes fill neither the page memory
    // of a renamer that lives for days nor the cache.
    static constexpr int MaxFieldLength = 1024; // characters of each text and each maker
    static constexpr int MaxMakers = 128;

    // The repair gives up as soon as cancelled says so.
    explicit PageReader(std::function<bool()> cancelled);

    void setRepairMemoryLimit(int mebibytes);
    // Whether the download ran out of time: the file's deadline, or Qt's
    // limit for a transfer that went silent.
    static bool timedOut(const QNetworkReply *reply, WebDownloader::Limit limit);
    Reading read(PluginInterface *plugin, const QNetworkReply *reply, const QByteArray &bytes,
                 WebDownloader::Limit limit, const QDeadlineTimer &deadline);

private:
    void readPage(PluginInterface *plugin, const QNetworkReply *reply, const QByteArray &bytes,
                  const QDeadlineTimer &deadline, Reading *reading);
    // False, with the reason in the reading, when the page cannot be read.
    bool load(const QByteArray &html, const QDeadlineTimer &deadline, QDomDocument *document,
              Reading *reading);

    RepairProcess repair;
    std::function<bool()> cancelled;
};

} // namespace zorv
