#include "platform/win32_stand_in.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// AddressSanitizer watches heap blocks, not mappings: sanitised builds keep
// every block on the heap so that a stray access is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLVANE_HEAP_BLOCKS_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLVANE_HEAP_BLOCKS_ONLY 1
#endif
#endif

// A block is a small record that points at its data, allocated apart from
// it: the handle (the record) and the locked address (the data) both stay
// the same for the block's life.
struct StandInBlock {
    SIZE_T size;
    long locks;
    unsigned char* data;
    SIZE_T mapped;  // a large block's whole mapping; 0 for a heap block
};

struct StandInFile {
    int fd;
};

namespace {


// Large blocks (pictures and their working copies) are mappings of whole
// large pages, aligned to them and marked for them, so that the kernel
// fills one with zeros per fault instead of one small page per fault.
// Keeping freed blocks for the next picture is the block keeper's work
// (image/blocks.h), the same on every platform: a freed mapping goes back.
constexpr SIZE_T kLargePage = SIZE_T{2} << 20;
[[maybe_unused]] constexpr SIZE_T kLargeBlock = kLargePage;

SIZE_T RoundUp(SIZE_T bytes, SIZE_T unit)
{
    return (bytes + unit - 1) / unit * unit;
}

unsigned char* MapLargePages(SIZE_T mapped)
{
    // Over-map by one large page, then trim to an aligned run.
    void* raw = ::mmap(nullptr, mapped + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~(static_cast<std::uintptr_t>(kLargePage) - 1);
    const SIZE_T head = aligned - start;
    if (head != 0)
        ::munmap(raw, head);
    const SIZE_T tail = kLargePage - head;
    if (tail != 0)
        ::munmap(reinterpret_cast<void*>(aligned + mapped), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);  // a hint: without it, small pages
#endif
    return reinterpret_cast<unsigned char*>(aligned);
}

// A zero-filled large block's data: a new mapping of whole large pages.
[[maybe_unused]] unsigned char* MapLargeBlock(SIZE_T bytes, SIZE_T* mapped)
{
    if (bytes > SIZE_MAX / 2)
        return nullptr;  // the rounding would wrap
    *mapped = RoundUp(bytes, kLargePage);
    return MapLargePages(*mapped);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    (void)flags;  // every block the core asks for is zero-filled anyway
    if (failure_hooks::RefuseAllocation(bytes))
        return nullptr;
    auto* block = static_cast<StandInBlock*>(std::malloc(sizeof(StandInBlock)));
    if (!block)
        return nullptr;
    block->mapped = 0;
#ifndef QUILLVANE_HEAP_BLOCKS_ONLY
    if (bytes >= kLargeBlock)
        block->data = MapLargeBlock(bytes, &block->mapped);
    else
#endif
        block->data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->size = bytes;
    block->locks = 0;
    failure_hooks::BlockAllocated(bytes);
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    if (!block)
        return nullptr;
    if (bytes > block->size && failure_hooks::RefuseMemory(bytes - block->size))
        return nullptr;
    const SIZE_T room = block->mapped != 0 ? block->mapped : block->size;
    if (bytes > room || (block->mapped == 0 && bytes != block->size)) {
        // Another place: only an unlocked movable block may move.
        if (block->locks != 0 && !(flags & GMEM_MOVEABLE))
            return nullptr;
        unsigned char* data = nullptr;
        SIZE_T mapped = 0;
#ifndef QUILLVANE_HEAP_BLOCKS_ONLY
        if (bytes >= kLargeBlock)
            data = MapLargeBlock(bytes, &mapped);
        else
#endif
            data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
        if (!data)
            return nullptr;
        std::memcpy(data, block->data, std::min(bytes, block->size));
        if (block->mapped != 0)
            ::munmap(block->data, block->mapped);
        else
            std::free(block->data);
        block->data = data;
        block->mapped = mapped;
    } else if (bytes > block->size && (flags & GMEM_ZEROINIT)) {
        std::memset(block->data + block->size, 0, bytes - block->size);
    }
    failure_hooks::BlockResized(block->size, bytes);
    block->size = bytes;
    return block;
}

LPVOID GlobalLock(HGLOBAL block)
{
    if (!block)
        return nullptr;
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL block)
{
    if (!block || block->locks == 0)
        return FALSE;
    return --block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
    if (block->mapped != 0)
        ::munmap(block->data, block->mapped);
    else
        std::free(block->data);
    failure_hooks::BlockFreed(block->size);
    std::free(block);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL block)
{
    return block ? block->size : 0;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    (void)shareMode;
    (void)security;
    (void)flags;
    (void)templateFile;
    int mode = 0;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        mode = O_RDWR;
    else if (access & GENERIC_WRITE)
        mode = O_WRONLY;
    else
        mode = O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        mode |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        mode |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    default:
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(name, mode | O_CLOEXEC, 0666);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return new StandInFile{fd};
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped)
{
    (void)overlapped;
    if (read)
        *read = 0;
    if (!file || file == INVALID_HANDLE_VALUE)
        return FALSE;
    auto* out = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < toRead) {
        ssize_t n = ::read(file->fd, out + done, toRead - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FALSE;
        if (n == 0)
            break;  // end of file: a short read, not an error
        done += static_cast<DWORD>(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped)
{
    (void)overlapped;
    if (written)
        *written = 0;
    if (!file || file == INVALID_HANDLE_VALUE)
        return FALSE;
    auto* in = static_cast<const unsigned char*>(buffer);
    const auto allowed = static_cast<DWORD>(failure_hooks::WriteRoom(toWrite));
    DWORD done = 0;
    while (done < allowed) {
        ssize_t n = ::write(file->fd, in + done, allowed - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_hooks::WritePassed(done);
            if (written)
                *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    failure_hooks::WritePassed(done);
    if (written)
        *written = done;
    return done == toWrite ? TRUE : FALSE;  // short of toWrite: the disk is full
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    if (!file || file == INVALID_HANDLE_VALUE)
        return INVALID_SET_FILE_POINTER;
    off_t offset = distance;
    if (distanceHigh)
        offset = static_cast<off_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                    static_cast<std::uint32_t>(distance));
    int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
    off_t at = ::lseek(file->fd, offset, whence);
    if (at < 0)
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

BOOL CloseHandle(HANDLE file)
{
    if (!file || file == INVALID_HANDLE_VALUE)
        return FALSE;
    // close() reports errors of delayed writes (full disks on network file
    // systems); the caller hears of them like the real CloseHandle reports.
    int rc = ::close(file->fd);
    delete file;
    return rc == 0;
}

BOOL DeleteFileA(LPCSTR name)
{
    return ::unlink(name) == 0;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && ::access(to, F_OK) == 0)
        return FALSE;
    if (flags & MOVEFILE_WRITE_THROUGH) {
        // The data must be on disk before the name points at it.
        int fd = ::open(from, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return FALSE;
        int rc = ::fsync(fd);
        ::close(fd);
        if (rc != 0)
            return FALSE;
    }
    return std::rename(from, to) == 0;
}

