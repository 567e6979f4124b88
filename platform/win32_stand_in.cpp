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
    SIZE_T dirty;   // how much of that mapping, from its start, may be non-zero
};

struct StandInFile {
    int fd;
};

namespace {

MessageBoxSink messageSink = nullptr;

// Large blocks (pictures and their working copies) are mappings of whole
// large pages, aligned to them and marked for them, so that the kernel
// fills one with zeros per fault instead of one small page per fault.  A
// freed mapping is kept for the next large block of no greater size (the
// next picture of a batch, the next working copy), and only the part an
// earlier block could have written is cleared again: no mapping is faulted
// twice.
constexpr SIZE_T kLargePage = SIZE_T{2} << 20;
[[maybe_unused]] constexpr SIZE_T kLargeBlock = kLargePage;
constexpr int kKeptMappings = 3;
constexpr SIZE_T kKeptBytes = SIZE_T{512} << 20;

struct KeptMapping {
    unsigned char* data;
    SIZE_T mapped;
    SIZE_T used;  // bytes from the start that may be non-zero
};

KeptMapping kept[kKeptMappings] = {};
int keptCount = 0;
SIZE_T keptBytes = 0;
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

// A zero-filled large block's data: the smallest kept mapping that holds
// it, cleared as far as the block reaches, else a new mapping.  *dirty
// receives how much of the mapping may be non-zero once the block is used.
[[maybe_unused]] unsigned char* TakeLargeBlock(SIZE_T bytes, SIZE_T* mapped, SIZE_T* dirty)
{
    int best = -1;
    for (int i = 0; i < keptCount; ++i)
        if (kept[i].mapped >= bytes && (best < 0 || kept[i].mapped < kept[best].mapped))
            best = i;
    if (best >= 0) {
        KeptMapping m = kept[best];
        kept[best] = kept[--keptCount];
        keptBytes -= m.mapped;
        std::memset(m.data, 0, std::min(m.used, bytes));
        *mapped = m.mapped;
        *dirty = std::max(m.used, bytes);
        return m.data;
    }
    if (bytes > SIZE_MAX / 2)
        return nullptr;  // no such mapping, and the rounding would wrap
    *mapped = RoundUp(bytes, kLargePage);
    *dirty = bytes;
    return MapLargePages(*mapped);
}

void KeepLargeBlock(unsigned char* data, SIZE_T mapped, SIZE_T used)
{
    // Room for it: give back the largest kept mappings first.
    while (keptCount > 0 && (keptCount == kKeptMappings || keptBytes + mapped > kKeptBytes)) {
        int largest = 0;
        for (int i = 1; i < keptCount; ++i)
            if (kept[i].mapped > kept[largest].mapped)
                largest = i;
        if (kept[largest].mapped < mapped)
            break;
        ::munmap(kept[largest].data, kept[largest].mapped);
        keptBytes -= kept[largest].mapped;
        kept[largest] = kept[--keptCount];
    }
    if (keptCount == kKeptMappings || keptBytes + mapped > kKeptBytes) {
        ::munmap(data, mapped);
        return;
    }
    kept[keptCount++] = KeptMapping{data, mapped, used};
    keptBytes += mapped;
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
    block->dirty = 0;
#ifndef QUILLVANE_HEAP_BLOCKS_ONLY
    if (bytes >= kLargeBlock)
        block->data = TakeLargeBlock(bytes, &block->mapped, &block->dirty);
    else
#endif
        block->data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->size = bytes;
    block->locks = 0;
    failure_hooks::BlockAllocated();
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
        KeepLargeBlock(block->data, block->mapped, block->dirty);
    else
        std::free(block->data);
    std::free(block);
    failure_hooks::BlockFreed();
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

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    (void)owner;
    (void)type;
    if (messageSink)
        messageSink(caption ? caption : "", text ? text : "");
    else
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}

void SetMessageBoxSink(MessageBoxSink sink)
{
    messageSink = sink;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    (void)instance;
    (void)name;
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    (void)cursor;
    return nullptr;
}
