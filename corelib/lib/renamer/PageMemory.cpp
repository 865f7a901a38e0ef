#include "renamer/PageMemory.h"

namespace zorv {

PageMemory::PageMemory(int capacity)
    : capacity(qMax(1, capacity))
{
}

void PageMemory::remember(const QUrl &url, const Page &page)
{
    const QString key = url.toString(QUrl::FullyEncoded);
    if (!pages.contains(key)) {
        if (order.size() >= capacity)
            pages.remove(order.dequeue());
        order.enqueue(key);
    }
    pages.insert(key, page);
}

bool PageMemory::recall(const QUrl &url, Page *page) const
{
    const auto found = pages.constFind(url.toString(QUrl::FullyEncoded));
    if (found == pages.constEnd())
        return false;
    *page = found.value();
    return true;
}

} // namespace zorv
