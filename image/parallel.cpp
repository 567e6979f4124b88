#include "image/parallel.h"

#include <algorithm>
#include <thread>

namespace {

// Below about this much work per range, a thread costs more than it saves.
constexpr std::int64_t kWorkPerRange = 1 << 18;

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
