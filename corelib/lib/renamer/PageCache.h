#pragma once

#include "renamer/PageMemory.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>

class QSqlError;

namespace zorv {

// The outcomes of product pages kept on disk between runs, in an SQLite file
// that the window and batch runs beside it share: by page address, what the
// plug-in read from the page (or that the shop has no such page), when, and
// the plug-in's name and version. A page read by another plug-in version, or
// kept past its lifetime, counts as never seen.
//
// Never a cause of failure: a cache that is unreadable, full or damaged is
// named once (in the log and by failed()) and the run goes on without it; a
// damaged file is set aside and a new one begun. A cache another program
// holds past the busy time-out is named once too, and skipped only for the
// lookups and stores that find it held.
//
// lookup(), store() and close() belong to one thread at a time, the one that
// uses the cache (a database connection may not change threads); clear() and
// generation() may be called from any thread.
class PageCache : public QObject
{
    Q_OBJECT
public:
    // How long a kept outcome serves: a product page changes seldom, while a
    // page the shop does not have yet may appear any day.
    static constexpr int FoundLifetimeDays = 30;
    static constexpr int NotFoundLifetimeDays = 1;
    // Pages kept at most; the oldest go first.
    static constexpr int DefaultCapacity = 100000;
    // A page whose fields and message take more, as kept, is not kept: the
    // fields of a real page take a few hundred bytes.
    static constexpr int MaxRecordBytes = 64 * 1024;
    // How long a statement waits for another program writing the cache.
    static constexpr int BusyTimeoutMs = 2000;

    explicit PageCache(const QString &path = defaultPath(), int capacity = DefaultCapacity);
    ~PageCache() override;

    // "pages.sqlite" in the user's cache folder (~/.cache/zorv).
    static QString defaultPath();
    QString path() const { return path_; }
    // Tests move the clock instead of waiting for pages to expire.
    void setClock(std::function<QDateTime()> clock);
    // Now by that clock, in ms since the epoch.
    qint64 nowMs() const;

    bool lookup(const QUrl &url, const PluginInfo &plugin, PageMemory::Page *page);
    void store(const QUrl &url, const PluginInfo &plugin, const PageMemory::Page &page);
    void close();

    // Forgets every page, through a connection of its own; the error says
    // why not.
    bool clear(QString *error = nullptr);
    // Grows with every clear().
    int generation() const { return generation_; }

signals:
    // Once: why the cache is not used, or was begun anew; and once that
    // another program held it.
    void failed(const QString &problem);

private:
    // Damaged: to be set aside and begun anew at the next open.
    enum State { Closed, Open, Damaged, Unusable };

    bool open();
    // Drops the pages past their lifetime, then the oldest past the capacity.
    bool prune();
    void fail(const QSqlError &error);
    void beginAnew();
    bool setAside(QString *aside);
    // Names the problem in the log and by failed(), unless said is set.
    void report(bool &said, const QString &problem);

    const QString path_;
    const int capacity;
    const QString connectionName;
    State state = Closed;
    bool reported = false;     // that the cache is not used, or was begun anew
    bool busyReported = false; // that another program held it
    bool setAsideOnce = false;
    QString damage;          // what showed the file damaged
    qint64 rowsEstimate = 0; // at least the rows the file holds, as far as this object knows
    std::function<QDateTime()> clock;
    std::atomic<int> generation_{0};
};

} // namespace zorv
