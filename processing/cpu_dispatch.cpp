#include "processing/cpu_dispatch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kNotChosen = -1;

// Read on every call of a dispatched loop: relaxed, since any value once
// stored is a valid choice.
std::atomic<int> activeLevel{kNotChosen};

}  // namespace

VectorLevel SupportedVectorLevel()
{
#if QUILLVANE_AVX2_VERSIONS
    // libgcc fills its processor record from a constructor, which static
    // Windows programs do not always run before ours; initialising it
    // again is harmless.  Its checks include the system's support of the
    // wider registers (XGETBV).
    static const VectorLevel supported = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw"))
            return VectorLevel::Avx512;
        return __builtin_cpu_supports("avx2") ? VectorLevel::Avx2 : VectorLevel::Baseline;
    }();
    return supported;
#else
    return VectorLevel::Baseline;
#endif
}

VectorLevel ActiveVectorLevel()
{
    int level = activeLevel.load(std::memory_order_relaxed);
    if (level == kNotChosen) {
        const char* choice = std::getenv("QUILLVANE_CPU");
        int wanted = static_cast<int>(SupportedVectorLevel());
        if (choice && std::strcmp(choice, "baseline") == 0)
            wanted = static_cast<int>(VectorLevel::Baseline);
        else if (choice && std::strcmp(choice, "avx2") == 0)
            wanted = std::min(wanted, static_cast<int>(VectorLevel::Avx2));
        // The first choice stands; a level set meanwhile wins over it.
        activeLevel.compare_exchange_strong(level, wanted, std::memory_order_relaxed);
        level = activeLevel.load(std::memory_order_relaxed);
    }
    return static_cast<VectorLevel>(level);
}

int SetVectorLevel(VectorLevel level)
{
    if (static_cast<int>(level) > static_cast<int>(SupportedVectorLevel()))
        return -1;
    activeLevel.store(static_cast<int>(level), std::memory_order_relaxed);
    return 0;
}
