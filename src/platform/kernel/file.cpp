// File handles: CreateFileW and the calls on an open file. A handle owns one
// host descriptor; the share table keeps other handles of this process out as
// the share mode says. A regular file's position is the handle's own, used by
// positioned reads and writes (pread/pwrite), so moving it is no system call;
// other kinds of file move the descriptor's position with read/write/lseek.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>

#include "device_path.h"
#include "file_attributes.h"
#include "file_time.h"
#include "kernel_object.h"
#include "share_table.h"

namespace platform {
namespace {

struct FileObject : KernelObject {
    FileObject() : KernelObject(Kind::File) {}
    ~FileObject() override {
        // The descriptor lives as long as any call still uses the object.
        if (fd >= 0) close(fd);
    }
    void OnLastHandleClosed() override { ReleaseShare(&slot); }

    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool regular = false;  // a regular file: a short read means the end
    // A regular file's position, which reads and writes use and advance;
    // -1 for other kinds, whose descriptor keeps its own. Readers move
    // around a file far more often than they read it (a seek to the start
    // after opening, a seek back to where they stopped before closing), and
    // each such move would otherwise be a system call.
    int64_t position = -1;
    std::string host;
    ShareSlot slot;
    // Reads, writes and seeks on one handle from several threads move the
    // one file position in turn.
    std::mutex lock;
};

bool WantsRead(DWORD access) { return access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL); }
bool WantsWrite(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

std::shared_ptr<FileObject> LookupFile(HANDLE file) {
    return LookupHandleAs<FileObject>(file, KernelObject::Kind::File);
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

HANDLE FailOpen(int fd, DWORD error) {
    if (fd >= 0) close(fd);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// The largest chunk one read or write system call is asked for.
constexpr size_t kMaxChunk = 1u << 30;

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    // Opening an existing file tries the name as written first; its case is
    // looked up on the disk only when that is missing (below). Creating
    // dispositions must find an existing file in another case before they
    // make a new one, so they look first.
    const bool existingOnly =
        creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING;
    ResolvedPath path;
    if (!(existingOnly ? ResolveDevicePathAsGiven(fileName, &path) : ResolveDevicePath(fileName, &path))) {
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool canRead = WantsRead(desiredAccess);
    bool canWrite = WantsWrite(desiredAccess);
    if (creationDisposition == TRUNCATE_EXISTING && !canWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Mount points are folders, and folders are not opened as files.
    if (path.mount != DeviceMount::None) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    // CREATE_ALWAYS truncates even through a read-only handle, so the host
    // descriptor may need more than the handle grants; the handle's own
    // access is enforced by ReadFile and WriteFile.
    bool hostWrite = canWrite || creationDisposition == CREATE_ALWAYS;
    int flags = O_CLOEXEC | O_NONBLOCK | (hostWrite ? (canRead ? O_RDWR : O_WRONLY) : O_RDONLY);
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH) flags |= O_DSYNC;

    int fd = -1;
    bool created = false;
    switch (creationDisposition) {
        case CREATE_NEW:
            fd = OpenRetrying(path.host, flags | O_CREAT | O_EXCL, 0666);
            if (fd < 0 && errno == EEXIST) return FailOpen(-1, ERROR_FILE_EXISTS);
            created = fd >= 0;
            break;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            fd = OpenRetrying(path.host, flags);
            if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
                // Not there as written: the components that exist in
                // another case, then the open again.
                const int asWritten = errno;
                ResolvedPath resolved;
                if (ResolveDevicePath(fileName, &resolved) && resolved.host != path.host) {
                    path = std::move(resolved);
                    fd = OpenRetrying(path.host, flags);
                } else {
                    errno = asWritten;
                }
            }
            break;
        case OPEN_ALWAYS:
        case CREATE_ALWAYS:
            // Open first, create only when missing: the two cases report
            // different last errors. A few rounds settle a race with another
            // creator or deleter.
            for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
                fd = OpenRetrying(path.host, flags);
                if (fd >= 0 || errno != ENOENT) break;
                fd = OpenRetrying(path.host, flags | O_CREAT | O_EXCL, 0666);
                if (fd >= 0) created = true;
                else if (errno != EEXIST) break;
            }
            break;
    }
    bool pathOnly = false;
    if (fd < 0 && errno == EACCES && !canRead && !hostWrite) {
        // No access asked for: a handle for times and attributes will do.
        fd = OpenRetrying(path.host, O_PATH | O_CLOEXEC);
        pathOnly = true;
    }
    if (fd < 0) return FailOpen(-1, Win32ErrorFromErrno(errno, path.host));

    struct stat st;
    if (fstat(fd, &st) != 0) return FailOpen(fd, Win32ErrorFromErrno(errno));
    if (S_ISDIR(st.st_mode)) return FailOpen(fd, ERROR_ACCESS_DENIED);
    // O_NONBLOCK only kept a FIFO on a storage card from blocking the open;
    // reads and writes of a regular file never block, so only other kinds
    // need it taken off again (two system calls fewer per ordinary file).
    if (!S_ISREG(st.st_mode) && !pathOnly) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    bool truncate = !created && (creationDisposition == CREATE_ALWAYS ||
                                 creationDisposition == TRUNCATE_EXISTING);
    if (!created && (canWrite || truncate)) {
        // We may run as root, where the host ignores the write bit: the
        // read-only attribute is enforced here (reading needs no look at it).
        DWORD attributes = ComposeAttributes(st.st_mode, ReadStoredAttributes(fd), false);
        if (attributes & FILE_ATTRIBUTE_READONLY) return FailOpen(fd, ERROR_ACCESS_DENIED);
    }

    auto object = std::make_shared<FileObject>();
    object->fd = fd;
    object->canRead = canRead;
    object->canWrite = canWrite;
    object->regular = S_ISREG(st.st_mode);
    // A file just opened is read from its start (O_APPEND is never asked).
    if (object->regular) object->position = 0;
    object->host = path.host;
    if (!AcquireShare(FileId{st.st_dev, st.st_ino}, desiredAccess, shareMode, &object->slot)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;  // the object closes the descriptor
    }
    // Truncation waits for the share check: a refused open must not have
    // emptied someone else's file.
    if (truncate && ftruncate(fd, 0) != 0) {
        DWORD error = Win32ErrorFromErrno(errno);
        ReleaseShare(&object->slot);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (created || creationDisposition == CREATE_ALWAYS) {
        // A new or replaced file takes the attributes it was created with.
        // The file exists either way; a host that cannot store them leaves
        // the file as it is.
        DWORD attributes = flagsAndAttributes & kStoredAttributes;
        if (attributes || !created) WriteStoredAttributes(fd, attributes);
    }
    bool existed = !created && (creationDisposition == CREATE_ALWAYS ||
                                creationDisposition == OPEN_ALWAYS);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return InsertHandle(std::move(object));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    if (bytesRead) *bytesRead = 0;
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    if (!object->canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!buffer && bytesToRead) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    auto* out = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < bytesToRead) {
        size_t chunk = std::min<size_t>(bytesToRead - done, kMaxChunk);
        ssize_t n = object->position >= 0
                        ? pread(object->fd, out + done, chunk, object->position + done)
                        : read(object->fd, out + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (bytesRead) *bytesRead = done;
            const int error = errno;
            if (object->position >= 0) object->position += done;
            return FailWithErrno(error);
        }
        if (n == 0) break;  // end of file: success with what was there
        done += static_cast<DWORD>(n);
        // A regular file comes up short only at its end (the host does not
        // break off a read of one part-way): no second call to hear it.
        if (object->regular && static_cast<size_t>(n) < chunk) break;
    }
    if (object->position >= 0) object->position += done;
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED) {
    if (bytesWritten) *bytesWritten = 0;
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    if (!object->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!buffer && bytesToWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    const auto* in = static_cast<const unsigned char*>(buffer);
    DWORD done = 0;
    while (done < bytesToWrite) {
        size_t chunk = std::min<size_t>(bytesToWrite - done, kMaxChunk);
        ssize_t n = object->position >= 0
                        ? pwrite(object->fd, in + done, chunk, object->position + done)
                        : write(object->fd, in + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (bytesWritten) *bytesWritten = done;
            int error = n == 0 ? ENOSPC : errno;
            if (object->position >= 0) object->position += done;
            SetLastError(error == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(error));
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (object->position >= 0) object->position += done;
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return INVALID_SET_FILE_POINTER;
    // Without a high part the distance is a signed 32-bit value.
    LONGLONG move = distanceHigh ? static_cast<LONGLONG>((static_cast<ULONGLONG>(
                                                              static_cast<DWORD>(*distanceHigh))
                                                          << 32) |
                                                         static_cast<DWORD>(distance))
                                 : static_cast<LONGLONG>(distance);
    std::lock_guard<std::mutex> guard(object->lock);
    LONGLONG base = 0;
    switch (moveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT: {
            if (object->position >= 0) {
                base = object->position;
                break;
            }
            off_t current = lseek(object->fd, 0, SEEK_CUR);
            if (current < 0) {
                SetLastError(Win32ErrorFromErrno(errno));
                return INVALID_SET_FILE_POINTER;
            }
            base = current;
            break;
        }
        case FILE_END: {
            struct stat st;
            if (fstat(object->fd, &st) != 0) {
                SetLastError(Win32ErrorFromErrno(errno));
                return INVALID_SET_FILE_POINTER;
            }
            base = st.st_size;
            break;
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
    }
    LONGLONG target;
    if (__builtin_add_overflow(base, move, &target)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // A position past 4 GB cannot be returned without the high part.
    if (!distanceHigh && target > static_cast<LONGLONG>(MAXDWORD - 1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (object->position >= 0) {
        object->position = target;
    } else if (lseek(object->fd, static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<ULONGLONG>(target) >> 32);
    // 0xFFFFFFFF is also a valid low part; callers tell by the last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(object->fd, &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<ULONGLONG>(st.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE file) {
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    if (!object->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    off_t position = object->position >= 0 ? static_cast<off_t>(object->position)
                                            : lseek(object->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(object->fd, position) != 0) return FailWithErrno(errno);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    if (!object->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Devices and pipes on a storage card have nothing to flush.
    if (fsync(object->fd) != 0 && errno != EINVAL && errno != EROFS) return FailWithErrno(errno);
    return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    FileInfo info;
    if (!QueryHostFile(object->fd, object->host, &info)) return FailWithErrno(errno);
    if (creation) *creation = info.creation;
    if (lastAccess) *lastAccess = info.lastAccess;
    if (lastWrite) *lastWrite = info.lastWrite;
    return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
    (void)creation;  // the host keeps no settable creation time; the call still succeeds
    std::shared_ptr<FileObject> object = LookupFile(file);
    if (!object) return FALSE;
    if (!object->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (lastAccess) times[0] = UnixFromFileTime(*lastAccess);
    if (lastWrite) times[1] = UnixFromFileTime(*lastWrite);
    if (futimens(object->fd, times) != 0) return FailWithErrno(errno);
    return TRUE;
}
