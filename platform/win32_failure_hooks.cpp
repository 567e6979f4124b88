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
#include <unordered_map>

namespace {

// The blocks allocated here and their sizes: the program also frees blocks
// the system allocated for it (the print dialogs' settings), which were
// never counted.
std::mutex blocksLock;
std::unordered_map<HGLOBAL, SIZE_T> blocks;

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
        blocks[block] = bytes;
        failure_hooks::BlockAllocated(bytes);
    }
    return block;
}

HGLOBAL HookedGlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    std::lock_guard<std::mutex> hold(blocksLock);
    const auto known = blocks.find(block);
    const SIZE_T before = known != blocks.end() ? known->second : 0;
    if (bytes > before && failure_hooks::RefuseMemory(bytes - before)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HGLOBAL resized = GlobalReAlloc(block, bytes, flags);
    if (resized && known != blocks.end()) {
        blocks.erase(known);
        blocks[resized] = bytes;
        failure_hooks::BlockResized(before, bytes);
    }
    return resized;
}

HGLOBAL HookedGlobalFree(HGLOBAL block)
{
    HGLOBAL result = GlobalFree(block);
    if (block && !result) {
        std::lock_guard<std::mutex> hold(blocksLock);
        const auto known = blocks.find(block);
        if (known != blocks.end()) {
            failure_hooks::BlockFreed(known->second);
            blocks.erase(known);
        }
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
