#include "renamer/EntryQueue.h"

#include <QMutexLocker>
#include <QSet>

namespace zorv {

namespace {

// The entries asked for, by address: one look each, so that thousands of
// rows are requeued or taken out at once.
QSet<const Entry *> addresses(const QList<EntryPtr> &entries)
{
    QSet<const Entry *> set;
    for (const EntryPtr &entry : entries)
        set.insert(entry.data());
    return set;
}

// Waiting again from the start, as a new entry would.
void makeWaiting(const EntryPtr &entry, bool rename)
{
    if (rename)
        entry->setReviewOnly(false);
    entry->setStatus(Entry::Waiting);
    entry->setMessage(QString());
    entry->clearDetail();
}

} // namespace

void EntryQueue::append(const QList<EntryPtr> &entries)
{
    QMutexLocker lock(&mutex);
    queue.append(entries);
    signalWork();
}

EntryPtr EntryQueue::current() const
{
    QMutexLocker lock(&mutex);
    return inProgress;
}

EntryPtr EntryQueue::takeNext(bool *fresh)
{
    QMutexLocker lock(&mutex);
    *fresh = false;
    if (paused)
        return EntryPtr();
    // Stopped between two of its pages: it stays in the queue as it is.
    if (inProgress && inProgress->status() != Entry::Waiting)
        inProgress.clear();
    for (int i = 0; !inProgress && i < queue.size(); ++i) {
        if (queue.at(i)->status() == Entry::Waiting) {
            inProgress = queue.at(i);
            *fresh = true;
        }
    }
    // Marked under the lock, so that a stop sees it in progress, not waiting.
    if (inProgress)
        inProgress->setStatus(Entry::Processing);
    return inProgress;
}

bool EntryQueue::settle(const EntryPtr &entry, int outcome, const QString &message, bool goesOn)
{
    QMutexLocker lock(&mutex);
    int status = outcome;
    if (goesOn) {
        status = stopAfterPage ? Entry::Stopped : Entry::Waiting;
    } else {
        finished.append(entry);
        queue.removeOne(entry);
    }
    if (status != Entry::Waiting) {
        inProgress.clear();
        stopAfterPage = false;
    }
    entry->setStatus(status);
    entry->setMessage(message);
    return queue.isEmpty();
}

QList<EntryPtr> EntryQueue::stopWaiting()
{
    QMutexLocker lock(&mutex);
    paused = false;
    QList<EntryPtr> stopped;
    for (const EntryPtr &entry : qAsConst(queue)) {
        if (entry->status() == Entry::Waiting) {
            entry->setStatus(Entry::Stopped);
            stopped.append(entry);
        }
    }
    stopAfterPage = inProgress && inProgress->status() == Entry::Processing;
    return stopped;
}

QList<EntryPtr> EntryQueue::requeue(const QList<EntryPtr> &entries, bool rename)
{
    const QSet<const Entry *> wanted = addresses(entries);
    QMutexLocker lock(&mutex);
    QList<EntryPtr> requeued;
    // Stopped entries wait again where they stood, finished ones behind all.
    for (const EntryPtr &entry : qAsConst(queue)) {
        if (wanted.contains(entry.data()) && entry->status() == Entry::Stopped) {
            makeWaiting(entry, rename);
            requeued.append(entry);
        }
    }
    QList<EntryPtr> kept;
    for (const EntryPtr &entry : qAsConst(finished)) {
        const int status = entry->status();
        if (wanted.contains(entry.data()) && (status == Entry::Error || status == Entry::Preview)) {
            makeWaiting(entry, rename);
            requeued.append(entry);
            queue.append(entry);
        } else {
            kept.append(entry);
        }
    }
    finished = kept;
    if (!requeued.isEmpty())
        signalWork();
    return requeued;
}

QList<EntryPtr> EntryQueue::remove(const QList<EntryPtr> &entries)
{
    QSet<const Entry *> wanted = addresses(entries);
    QMutexLocker lock(&mutex);
    // One stopped between its pages is no longer in progress.
    if (inProgress && inProgress->status() == Entry::Stopped)
        inProgress.clear();
    wanted.remove(inProgress.data());
    QList<EntryPtr> removed;
    for (QList<EntryPtr> *list : {&queue, &finished}) {
        QList<EntryPtr> kept;
        for (const EntryPtr &entry : qAsConst(*list))
            (wanted.contains(entry.data()) ? removed : kept).append(entry);
        *list = kept;
    }
    return removed;
}

void EntryQueue::pause()
{
    QMutexLocker lock(&mutex);
    paused = true;
}

void EntryQueue::resume()
{
    QMutexLocker lock(&mutex);
    paused = false;
    signalWork();
}

void EntryQueue::waitForWork(unsigned long ms)
{
    QMutexLocker lock(&mutex);
    if (!changed)
        workCondition.wait(&mutex, ms);
    changed = false;
}

void EntryQueue::wake()
{
    QMutexLocker lock(&mutex);
    signalWork();
}

void EntryQueue::signalWork()
{
    changed = true;
    workCondition.wakeAll();
}

int EntryQueue::finishedCount() const
{
    QMutexLocker lock(&mutex);
    return finished.size();
}

QList<EntryPtr> EntryQueue::forgetFinished()
{
    QMutexLocker lock(&mutex);
    QList<EntryPtr> forgotten;
    forgotten.swap(finished);
    return forgotten;
}

void EntryQueue::counts(int *total, int *pending, int *succeeded, int *failed) const
{
    QMutexLocker lock(&mutex);
    if (total)
        *total = queue.size() + finished.size();
    if (pending)
        *pending = queue.size();
    if (!succeeded && !failed)
        return;
    if (succeeded)
        *succeeded = 0;
    if (failed)
        *failed = 0;
    for (const EntryPtr &entry : finished) {
        const int status = entry->status();
        if (succeeded && (status == Entry::Done || status == Entry::Preview))
            ++*succeeded;
        if (failed && status == Entry::Error)
            ++*failed;
    }
}

} // namespace zorv
