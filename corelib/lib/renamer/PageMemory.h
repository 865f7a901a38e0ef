#pragma once

#include "plugin/PluginInterface.h"

#include <QHash>
#include <QQueue>
#include <QString>
#include <QUrl>

namespace zorv {

// What the worker learnt from product pages during one run, by page address:
// the parts of one product (a multi-part set, a manual beside its archive)
// share their candidate pages, and the shop is asked for each page once.
// Only a page that parsed and a "not found" answer are kept; anything else
// may turn out differently when asked again. Bounded, and never kept beyond
// the renamer that owns it.
class PageMemory
{
public:
    static constexpr int DefaultCapacity = 1000;

    struct Page
    {
        bool found = false; // parsed; otherwise the shop said it has no such page
        WorkInfo work;
        QString message;
    };

    explicit PageMemory(int capacity = DefaultCapacity);

    // The oldest page is forgotten once the memory is full.
    void remember(const QUrl &url, const Page &page);
    bool recall(const QUrl &url, Page *page) const;
    int size() const { return pages.size(); }

private:
    const int capacity;
    QHash<QString, Page> pages;
    QQueue<QString> order; // oldest first
};

} // namespace zorv
