#pragma once

#include "plugin/PluginInterface.h"

#include <QHash>
#include <QQueue>
#include <QSharedPointer>
#include <QString>
#include <QUrl>

namespace zorv {

class PageCache;

// What the worker learnt from product pages during one run, by page address:
// the parts of one product (a multi-part set, a manual beside its archive)
// share their candidate pages, and the shop is asked for each page once.
// Only a page that parsed and a "not found" answer are kept; anything else
// may turn out differently when asked again. Bounded, and never kept beyond
// the renamer that owns it, unless a page cache on disk backs it: then what
// is learnt is kept there too, and what the memory lacks is looked up there.
// A page serves as long as the cache's lifetimes allow, also from the memory
// of a renamer that lives for days (a window left open, a watch).
class PageMemory
{
public:
    static constexpr int DefaultCapacity = 1000;

    // What a run does with the page cache: use it, fetch every page again
    // and renew it, or fetch nothing and serve only what it holds.
    enum CacheMode { UseCache, Refresh, Offline };

    struct Page
    {
        bool found = false; // parsed; otherwise the shop said it has no such page
        WorkInfo work;
        QString message;
        qint64 fetchedMs = 0; // when the shop answered, in ms since the epoch
    };

    explicit PageMemory(int capacity = DefaultCapacity);
    ~PageMemory();

    // Before the worker starts; without a cache (null) nothing outlives the run.
    void setCache(QSharedPointer<PageCache> cache, CacheMode mode);
    bool isOffline() const { return mode == Offline; }
    // On the worker's thread as it ends: the cache's connection is that thread's.
    void closeCache();

    // The oldest page is forgotten once the memory is full. The cache keeps
    // the page for the plug-in (name and version) that read it.
    void remember(const QUrl &url, const Page &page, const PluginInfo &plugin);
    bool recall(const QUrl &url, Page *page, const PluginInfo &plugin);
    int size() const { return pages.size(); }
    // Whether the page still serves at the time given (ms since the epoch).
    static bool isFresh(const Page &page, qint64 nowMs);

private:
    // The cache's clock when there is a cache (tests move it), else the system's.
    qint64 nowMs() const;
    void keep(const QString &key, const Page &page);

    const int capacity;
    QHash<QString, Page> pages;
    QQueue<QString> order; // oldest first
    QSharedPointer<PageCache> cache;
    CacheMode mode = UseCache;
    int cacheGeneration = 0; // the cache's, when the memory last agreed with it
};

} // namespace zorv
