#include "renamer/PageMemory.h"

#include "renamer/PageCache.h"

#include <QDateTime>

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

bool PageMemory::isFresh(const Page &page, qint64 nowMs)
{
    const qint64 dayMs = 24 * 60 * 60 * 1000;
    const qint64 age = nowMs - page.fetchedMs;
    const qint64 lifetime =
        (page.found ? PageCache::FoundLifetimeDays : PageCache::NotFoundLifetimeDays) * dayMs;
    // A time ahead of the clock (a clock set back) is no proof of freshness.
    return age >= 0 && age < lifetime;
}

qint64 PageMemory::nowMs() const
{
    return cache ? cache->nowMs() : QDateTime::currentMSecsSinceEpoch();
}

void PageMemory::remember(const QUrl &url, const Page &page, const PluginInfo &plugin)
{
    Page learnt = page;
    if (learnt.fetchedMs == 0)
        learnt.fetchedMs = nowMs();
    keep(url.toString(QUrl::FullyEncoded), learnt);
    if (cache)
        cache->store(url, plugin, learnt);
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
    if (found != pages.constEnd() && isFresh(found.value(), nowMs())) {
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
