#include "platform/win32_stand_in.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A block is a small record that points at its data, allocated apart from
// it: the handle (the record) and the locked address (the data) both stay
// the same for the block's life.
struct StandInBlock {
    SIZE_T size;
    long locks;
    unsigned char* data;
};

struct StandInFile {
    int fd;
};

namespace {

long failCountdown = 0;
long liveBlocks = 0;
SIZE_T allocationLimit = 0;
long long writeBudget = -1;
long allocationsMade = 0;
MessageBoxSink messageSink = nullptr;

bool AllocationShouldFail()
{
    if (failCountdown <= 0)
        return false;
    return --failCountdown == 0;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    (void)flags;  // every block the core asks for is zero-filled anyway
    ++allocationsMade;
    if (AllocationShouldFail() || (allocationLimit != 0 && bytes > allocationLimit))
        return nullptr;
    auto* block = static_cast<StandInBlock*>(std::malloc(sizeof(StandInBlock)));
    if (!block)
        return nullptr;
    block->data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->size = bytes;
    block->locks = 0;
    ++liveBlocks;
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
    std::free(block->data);
    std::free(block);
    --liveBlocks;
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL block)
{
    return block ? block->size : 0;
}

void StandInFailNthAllocation(long n)
{
    failCountdown = n;
}

long StandInLiveBlocks()
{
    return liveBlocks;
}

long StandInAllocationsMade()
{
    return allocationsMade;
}

void StandInSetAllocationLimit(SIZE_T bytes)
{
    allocationLimit = bytes;
}

void StandInFailWritesAfter(long long bytes)
{
    writeBudget = bytes;
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
    DWORD allowed = toWrite;
    if (writeBudget >= 0 && writeBudget < static_cast<long long>(toWrite))
        allowed = static_cast<DWORD>(writeBudget);
    DWORD done = 0;
    while (done < allowed) {
        ssize_t n = ::write(file->fd, in + done, allowed - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (written)
                *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written)
        *written = done;
    if (writeBudget >= 0) {
        writeBudget -= done;
        if (done < toWrite)
            return FALSE;  // the disk is full
    }
    return TRUE;
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
