#pragma once

#include "data/Entry.h"
#include "data/Request.h"
#include "renamer/PageMemory.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QString>

class QNetworkReply;

namespace zorv {

// Decides which page of an entry is fetched next and how long it may take:
// the order of the entry's candidates (the category where this run last found
// a product of the same ID prefix first), one deadline over all the
// candidates of a file (a short one while the shop stays silent), the waits a
// busy shop asks for, and what this run remembers of pages, so that each is
// asked for once. Worker thread only.
class PageScheduler
{
public:
    static constexpr int DefaultRetryWaitCapMs = 60000;
    static constexpr int DefaultFileDeadlineMs = 60000;
    static constexpr int DefaultSilentShopDeadlineMs = 10000;

    void setRetryWaitCap(int milliseconds);
    void setFileDeadline(int milliseconds, int silentShopMilliseconds);

    // A file is taken up, also again after it was stopped or failed: its
    // candidates are ordered anew and its deadline starts with its first page.
    void startEntry();
    // The candidate to fetch now, the entry's request index set to it: the
    // first in this run's order for an entry not seen before, else the one
    // the last failed page moved on to.
    RequestPtr next(const EntryPtr &entry);
    // Before the worker starts: what is learnt of pages is also kept in this
    // cache on disk and looked up there (none when null), as the mode says.
    void setPageCache(QSharedPointer<PageCache> cache, PageMemory::CacheMode mode);
    bool isOffline() const { return pages.isOffline(); }
    // On the worker's thread as it ends: the cache's connection is that thread's.
    void closeCache() { pages.closeCache(); }
    // What this run (or the cache, for the entry's plug-in) learnt of the
    // page before, if anything.
    bool recall(const EntryPtr &entry, const RequestPtr &request, PageMemory::Page *page);
    // A page is about to be fetched: the file's deadline starts with its
    // first page, and a busy shop may be asked again for it.
    QDeadlineTimer startFetch(const EntryPtr &entry);
    QDeadlineTimer deadline() const { return fileDeadline; }
    // How long to wait before asking a busy shop (429, 503) for the page
    // again; negative when its answer stands.
    qint64 retryWait(const QNetworkReply *reply);
    // Whether the download ran out of time, and whether the shop answered at
    // all: files get the short deadline from a time-out until an answer.
    void noteAnswer(bool timedOut, bool answered);
    // A lasting answer (the product, or "not found") is not asked for again,
    // and the category a product was found on is tried first for its kin.
    void remember(const EntryPtr &entry, const RequestPtr &request, const PageMemory::Page &page);
    void noteFound(const EntryPtr &entry, const RequestPtr &request);
    // After a page: true when the entry goes on to its next candidate (its
    // index moved there). Otherwise the entry is finished, and a failed one
    // ends with the failure that says most about why.
    bool moveOn(const EntryPtr &entry, int outcome, bool nextAllowed, bool notFound,
                QString *message);

private:
    QList<int> candidateOrder(const EntryPtr &entry) const;

    int retryWaitCapMs = DefaultRetryWaitCapMs;
    int fileDeadlineMs = DefaultFileDeadlineMs;
    int silentShopDeadlineMs = DefaultSilentShopDeadlineMs;
    // The deadline of the entry with this number, over all its candidates.
    int deadlineEntry = -1;
    QDeadlineTimer fileDeadline;
    // Set when a download ran out of time, cleared by the shop's next answer.
    bool shopSilent = false;
    int retriesLeft = 0;
    // For the life of the renamer (one run): pages by address, and by
    // plug-in and ID prefix the category a product was last found on.
    PageMemory pages;
    QHash<QString, QString> lastFoundCategory;
    // The current entry's candidates in the order they are tried, how far
    // it got, and the failure that says most about why it went wrong.
    int orderedEntry = -1;
    QList<int> order;
    int attempt = 0;
    QString tellingFailure;
};

} // namespace zorv
