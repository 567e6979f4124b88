// The Windows program's memory and file calls in its test builds: the
// system's own, behind the failure hooks (platform/failure_hooks.h).
// Compiled only into those builds.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/failure_hooks.h"

#include <mutex>
#include <unordered_set>

namespace {

// The blocks allocated here: the program also frees blocks the system
// allocated for it (the print dialogs' settings), which were never counted.
std::mutex blocksLock;
std::unordered_set<HGLOBAL> blocks;

}  // namespace

HGLOBAL HookedGlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (failure_hooks::RefuseAllocation(bytes)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(flags, bytes);
    if (block) {
        std::lock_guard<std::mutex> hold(blocksLock);
        blocks.insert(block);
        failure_hooks::BlockAllocated();
    }
    return block;
}

HGLOBAL HookedGlobalFree(HGLOBAL block)
{
    HGLOBAL result = GlobalFree(block);
    if (block && !result) {
        std::lock_guard<std::mutex> hold(blocksLock);
        if (blocks.erase(block) != 0)
            failure_hooks::BlockFreed();
    }
    return result;
}

BOOL HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped)
{
    const auto room = static_cast<DWORD>(failure_hooks::WriteRoom(count));
    DWORD done = 0;
    const BOOL ok = room == 0 ? TRUE : WriteFile(file, buffer, room, &done, overlapped);
    failure_hooks::WritePassed(done);
    if (written)
        *written = done;
    if (!ok)
        return FALSE;
    if (done < count) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}
