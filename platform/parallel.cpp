#include "platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Below about this much work per range, a thread costs more than it saves.
constexpr std::int64_t kWorkPerRange = 1 << 18;

using RangeWork = void (*)(void* context, int range, std::int64_t begin, std::int64_t end);

// Worker threads started once and kept: starting a thread for every call
// costs about 0.05 ms on Linux but several milliseconds under Wine, which
// the Windows programs paid on every engine call.  One call at a time uses
// the workers; a call made meanwhile (from another thread, or from inside
// a range) starts threads of its own as before.
struct WorkerPoolRecord {
    std::atomic<bool> inUse{false};
    std::mutex lock;                 // guards everything below
    std::condition_variable wake;    // workers: a new call's ranges
    std::condition_variable finish;  // the caller: every range has run
    std::uint64_t call = 0;          // counts the calls, so workers see a new one
    RangeWork work = nullptr;
    void* context = nullptr;
    std::int64_t count = 0;
    int ranges = 0;
    int nextRange = 0;
    int rangesDone = 0;
    int workers = 0;
};

std::int64_t RangeBound(std::int64_t count, int ranges, int i)
{
    return count * i / ranges;
}

// Runs ranges of the current call until none is left; lock is held on
// entry and on return, not while a range runs.
void TakeRanges(WorkerPoolRecord* pool, std::unique_lock<std::mutex>& held)
{
    while (pool->nextRange < pool->ranges) {
        const int i = pool->nextRange++;
        const RangeWork work = pool->work;
        void* const context = pool->context;
        const std::int64_t begin = RangeBound(pool->count, pool->ranges, i);
        const std::int64_t end = RangeBound(pool->count, pool->ranges, i + 1);
        held.unlock();
        work(context, i, begin, end);
        held.lock();
        if (++pool->rangesDone == pool->ranges)
            pool->finish.notify_all();
    }
}

void WorkerLoop(WorkerPoolRecord* pool)
{
    std::unique_lock<std::mutex> held(pool->lock);
    std::uint64_t seen = pool->call;
    for (;;) {
        pool->wake.wait(held, [&] { return pool->call != seen; });
        seen = pool->call;
        TakeRanges(pool, held);
    }
}

// The workers (one fewer than the cores), started at the first call.  The
// record and its threads last as long as the process: nothing is torn
// down at exit, when the threads may still wait on it.
WorkerPoolRecord* WorkerPool()
{
    static WorkerPoolRecord* const pool = [] {
        auto* made = new WorkerPoolRecord;
        const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        for (int i = 1; i < std::min(cores, kMaxRanges); ++i) {
            try {
                std::thread(WorkerLoop, made).detach();
                ++made->workers;
            } catch (...) {
                break;
            }
        }
        return made;
    }();
    return pool;
}

// Runs the ranges on the workers and the calling thread.  False when the
// workers are busy with another call (or there are none): nothing has run.
bool RunOnWorkers(std::int64_t count, int ranges, void* context, RangeWork work)
{
    WorkerPoolRecord* pool = WorkerPool();
    if (pool->workers == 0 || pool->inUse.exchange(true))
        return false;
    {
        std::unique_lock<std::mutex> held(pool->lock);
        pool->work = work;
        pool->context = context;
        pool->count = count;
        pool->ranges = ranges;
        pool->nextRange = 0;
        pool->rangesDone = 0;
        ++pool->call;
        pool->wake.notify_all();
        TakeRanges(pool, held);
        pool->finish.wait(held, [&] { return pool->rangesDone == pool->ranges; });
    }
    pool->inUse.store(false);
    return true;
}

}  // namespace

int RangeCountFor(std::int64_t count, std::int64_t costPerItem)
{
    const std::int64_t work = count * std::max<std::int64_t>(costPerItem, 1);
    if (count < 2 || work < 2 * kWorkPerRange)
        return 1;
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::int64_t>({cores, std::int64_t{kMaxRanges}, work / kWorkPerRange, count}));
}

void ForEachRange(std::int64_t count, std::int64_t costPerItem, void* context,
                  void (*work)(void* context, int range, std::int64_t begin, std::int64_t end))
{
    const int ranges = RangeCountFor(count, costPerItem);
    if (ranges <= 1) {
        if (count > 0)
            work(context, 0, 0, count);
        return;
    }
    if (RunOnWorkers(count, ranges, context, work))
        return;
    std::thread threads[kMaxRanges];
    bool started[kMaxRanges] = {};
    auto bound = [&](int i) { return count * i / ranges; };
    for (int i = 1; i < ranges; ++i) {
        try {
            threads[i] = std::thread(work, context, i, bound(i), bound(i + 1));
            started[i] = true;
        } catch (...) {
            started[i] = false;
        }
    }
    work(context, 0, 0, bound(1));
    for (int i = 1; i < ranges; ++i) {
        if (started[i])
            threads[i].join();
        else
            work(context, i, bound(i), bound(i + 1));
    }
}

namespace {

struct CopyJob {
    unsigned char* target;
    const unsigned char* source;
};

// Ranges are counted in pages, so that no two threads touch one page.
constexpr std::int64_t kCopyPage = 4096;

void CopyRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const CopyJob*>(context);
    std::memcpy(job->target + begin * kCopyPage, job->source + begin * kCopyPage,
                static_cast<std::size_t>((end - begin) * kCopyPage));
}

}  // namespace

void CopyOnCores(void* target, const void* source, std::size_t bytes)
{
    const auto pages = static_cast<std::int64_t>(bytes / kCopyPage);
    CopyJob job{static_cast<unsigned char*>(target), static_cast<const unsigned char*>(source)};
    // A page costs about as much as a few thousand of ForEachRange's items.
    ForEachRange(pages, 4096, &job, CopyRange);
    const std::size_t copied = static_cast<std::size_t>(pages) * kCopyPage;
    std::memcpy(job.target + copied, job.source + copied, bytes - copied);
}
