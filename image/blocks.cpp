#include "image/blocks.h"

#include <cstdint>
#include <cstring>
#include <mutex>

// The failure hooks see a request as one allocation, whether it is answered
// from a kept block or a fresh one (platform/failure_hooks.h).
#if !defined(_WIN32) || defined(QUILLVANE_FAILURE_HOOKS)
#include "platform/failure_hooks.h"
#define QUILLVANE_BLOCK_HOOKS 1
#endif

// Under AddressSanitizer a kept block is poisoned: a stale pointer into a
// freed picture is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLVANE_POISON_KEPT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLVANE_POISON_KEPT 1
#endif
#endif
#ifdef QUILLVANE_POISON_KEPT
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Below this a block comes from the system's heap, which reuses its own
// memory; Wine maps anything from about half a megabyte up apart.
constexpr SIZE_T kKeepFrom = SIZE_T{1} << 20;
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr bool kTightAddressSpace = false;
constexpr int kKeptBlocks = 3;
constexpr SIZE_T kKeptBytes = SIZE_T{512} << 20;
#else
// The 32-bit program's address space holds at most 4 GB, usually 2.
constexpr bool kTightAddressSpace = true;
constexpr int kKeptBlocks = 2;
constexpr SIZE_T kKeptBytes = SIZE_T{256} << 20;
#endif

struct KeptBlock {
    HGLOBAL block;
    SIZE_T bytes;
};

// Oldest first.
std::mutex keptLock;
KeptBlock kept[kKeptBlocks] = {};
int keptCount = 0;
SIZE_T keptBytes = 0;

// The keeper's own calls to the system, which the failure hooks do not
// count as the program's.
struct SystemDealings {
#ifdef QUILLVANE_BLOCK_HOOKS
    failure_hooks::KeeperDealings dealings;
#endif
};

void Poison(HGLOBAL block, SIZE_T bytes, bool poison)
{
#ifdef QUILLVANE_POISON_KEPT
    void* data = GlobalLock(block);
    if (poison)
        ASAN_POISON_MEMORY_REGION(data, bytes);
    else
        ASAN_UNPOISON_MEMORY_REGION(data, bytes);
    GlobalUnlock(block);
#else
    (void)block;
    (void)bytes;
    (void)poison;
#endif
}

// Removes kept[i] from the list and returns it.  keptLock held.
KeptBlock Unkeep(int i)
{
    const KeptBlock k = kept[i];
    for (int j = i + 1; j < keptCount; ++j)
        kept[j - 1] = kept[j];
    --keptCount;
    keptBytes -= k.bytes;
    Poison(k.block, k.bytes, false);
    return k;
}

// keptLock held, inside SystemDealings.
void ReleaseAllKept()
{
    while (keptCount > 0)
        GlobalFree(Unkeep(0).block);
}

// The kept block that best holds bytes, resized to them and cleared, or
// null.  A block more than twice the request is left for a larger one.
// keptLock held, inside SystemDealings.
HGLOBAL TakeKept(SIZE_T bytes, bool clear)
{
    int best = -1;
    for (int i = 0; i < keptCount; ++i)
        if (kept[i].bytes >= bytes && kept[i].bytes / 2 <= bytes && (best < 0 || kept[i].bytes < kept[best].bytes))
            best = i;
    if (best < 0)
        return nullptr;
    KeptBlock k = Unkeep(best);
    if (k.bytes != bytes) {
        // Shrinking a large block leaves it where it is (and GlobalSize
        // then says what was asked for).
        HGLOBAL resized = GlobalReAlloc(k.block, bytes, GMEM_MOVEABLE);
        if (!resized) {
            GlobalFree(k.block);
            return nullptr;
        }
        k.block = resized;
    }
    void* data = GlobalLock(k.block);
    if (!data) {
        GlobalFree(k.block);
        return nullptr;
    }
    if (clear)
        std::memset(data, 0, bytes);
    GlobalUnlock(k.block);
    return k.block;
}

HGLOBAL Allocate(SIZE_T bytes, bool clear)
{
#ifdef QUILLVANE_BLOCK_HOOKS
    if (failure_hooks::RefuseRequest(bytes))
        return nullptr;
#endif
    HGLOBAL block = nullptr;
    {
        std::lock_guard<std::mutex> hold(keptLock);
        [[maybe_unused]] SystemDealings dealings;
        if (bytes >= kKeepFrom)
            block = TakeKept(bytes, clear);
        if (!block)
            block = GlobalAlloc(GHND, bytes);
        if (!block && keptCount > 0) {
            ReleaseAllKept();
            block = GlobalAlloc(GHND, bytes);
        }
    }
#ifdef QUILLVANE_BLOCK_HOOKS
    if (block)
        failure_hooks::RequestGranted();
#endif
    return block;
}

}  // namespace

HGLOBAL AllocateBlock(SIZE_T bytes)
{
    return Allocate(bytes, true);
}

HGLOBAL AllocateBlockToFill(SIZE_T bytes)
{
    return Allocate(bytes, false);
}

HGLOBAL FreeBlock(HGLOBAL block)
{
    if (!block)
        return nullptr;
    const SIZE_T bytes = GlobalSize(block);
    if (bytes < kKeepFrom || bytes > kKeptBytes)
        return GlobalFree(block);
    // A lock left on the block would outlive it into its next use.
    while (GlobalUnlock(block)) {
    }
    std::lock_guard<std::mutex> hold(keptLock);
    [[maybe_unused]] SystemDealings dealings;
    // Room for it: the oldest kept blocks go back first.
    while (keptCount > 0 && (keptCount == kKeptBlocks || keptBytes + bytes > kKeptBytes))
        GlobalFree(Unkeep(0).block);
    Poison(block, bytes, true);
    kept[keptCount++] = KeptBlock{block, bytes};
    keptBytes += bytes;
#ifdef QUILLVANE_BLOCK_HOOKS
    failure_hooks::RequestReturned();
#endif
    return nullptr;
}

void ReleaseKeptBlocks()
{
    std::lock_guard<std::mutex> hold(keptLock);
    [[maybe_unused]] SystemDealings dealings;
    ReleaseAllKept();
}

void ReleaseKeptBlocksForLibraries()
{
    if constexpr (kTightAddressSpace)
        ReleaseKeptBlocks();
}

int KeptBlockCount()
{
    std::lock_guard<std::mutex> hold(keptLock);
    return keptCount;
}

SIZE_T KeptBlockBytes()
{
    std::lock_guard<std::mutex> hold(keptLock);
    return keptBytes;
}
