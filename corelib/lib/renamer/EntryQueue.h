#pragma once

#include "data/Entry.h"

#include <QList>
#include <QMutex>
#include <QWaitCondition>

namespace zorv {

// The renamer's entries on their way: those not finished, in arrival order
// (waiting, stopped by the user, and the one in progress), and those
// finished. The GUI thread adds, stops, requeues and takes out entries while
// the worker takes them one at a time, so the lists and the states they hang
// on change together under one lock.
class EntryQueue
{
public:
    void append(const QList<EntryPtr> &entries);
    // The entry in progress, if any.
    EntryPtr current() const;
    // Worker: the entry to work on now, marked Processing: the one in
    // progress between its pages, else the first waiting one (then fresh is
    // set). Null while paused or when nothing waits.
    EntryPtr takeNext(bool *fresh);
    // Worker: a page of the entry in progress is handled. When it goes on to
    // another page it waits for it, or is stopped if the user stopped the run
    // meanwhile; otherwise it is finished. Sets its status and message and
    // says whether nothing is left in the queue.
    bool settle(const EntryPtr &entry, int outcome, const QString &message, bool goesOn);

    // Every waiting entry is marked Stopped, and the one in progress stops
    // after its page unless that page ends it; a pause is over. Returns the
    // entries stopped now.
    QList<EntryPtr> stopWaiting();
    // Failed, previewed and stopped entries wait again, with no message;
    // with rename, a previewed one is renamed this time. Others are left as
    // they are. Returns those that wait again.
    QList<EntryPtr> requeue(const QList<EntryPtr> &entries, bool rename);
    // Takes entries out for good, all but the one in progress; returns those
    // taken out.
    QList<EntryPtr> remove(const QList<EntryPtr> &entries);
    // Nothing is taken while paused; the waiting entries keep waiting.
    void pause();
    void resume();

    // Worker, with nothing to take: returns once entries may be there to
    // take (added, requeued, resumed), on wake(), or after at most ms. A
    // change since the worker's last call returns at once, so none is missed.
    void waitForWork(unsigned long ms);
    void wake();

    int finishedCount() const;
    // Returns the entries let go of.
    QList<EntryPtr> forgetFinished();
    // Pending counts the stopped entries too: they are not finished.
    void counts(int *total, int *pending, int *succeeded, int *failed) const;

private:
    void signalWork(); // with the lock held

    QList<EntryPtr> queue;
    QList<EntryPtr> finished; // in the order they ended
    EntryPtr inProgress;      // set only while it is in queue
    bool paused = false;
    bool stopAfterPage = false; // the user stopped the run during inProgress's page
    bool changed = false;       // since the worker last waited
    mutable QMutex mutex;
    QWaitCondition workCondition;
};

} // namespace zorv
