#include "renamer/PageMemory.h"

#include "renamer/PageCache.h"

namespace zorv {

PageMemory::PageMemory(int capacity)
    : capacity(qMax(1, capacity))
{
}

PageMemory::~PageMemory() = default;

void PageMemory::setCache(QSharedPointer<PageCache> cache, CacheMode mode)
{
    this->cache = cache;
    this->mode = mode;
    cacheGeneration = cache ? cache->generation() : 0;
}

void PageMemory::closeCache()
{
    if (cache)
        cache->close();
}

void PageMemory::remember(const QUrl &url, const Page &page, const PluginInfo &plugin)
{
    keep(url.toString(QUrl::FullyEncoded), page);
    if (cache)
        cache->store(url, plugin, page);
}

bool PageMemory::recall(const QUrl &url, Page *page, const PluginInfo &plugin)
{
    // Emptying the cache (the window's menu) makes the run forget as well:
    // the user asked for the pages anew.
    if (cache && cache->generation() != cacheGeneration) {
        cacheGeneration = cache->generation();
        pages.clear();
        order.clear();
    }
    const QString key = url.toString(QUrl::FullyEncoded);
    const auto found = pages.constFind(key);
    if (found != pages.constEnd()) {
        *page = found.value();
        return true;
    }
    if (!cache || mode == Refresh || !cache->lookup(url, plugin, page))
        return false;
    keep(key, *page);
    return true;
}

void PageMemory::keep(const QString &key, const Page &page)
{
    if (!pages.contains(key)) {
        if (order.size() >= capacity)
            pages.remove(order.dequeue());
        order.enqueue(key);
    }
    pages.insert(key, page);
}

} // namespace zorv
