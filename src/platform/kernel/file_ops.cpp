// Operations on files and folders by name: attributes, delete, move, copy,
// folders, temporary names and free space. Mount points ("\", "\Storage
// Card", "\Program Files\Kestrava") and the protected folders (the device
// root and the program's folder by another name, and the folders holding
// them) are never deleted, moved or re-attributed, so no device call can
// remove the host's own folders by naming them. A host symbolic link is acted
// on as a link: deleting or re-attributing it never reaches its target.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "device_path.h"
#include "file_attributes.h"
#include "platform/device.h"
#include "platform/wstr.h"
#include "share_table.h"

namespace platform {
namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Whether a host symbolic link leads to a folder (as Windows sees folder links).
bool LinkToFolder(const std::string& host) {
    struct stat target;
    return stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
}

// Closes a descriptor on every way out.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

std::string JoinHost(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsReadOnly(const std::string& host, const struct stat& st) {
    DWORD attributes = ComposeAttributes(st.st_mode, ReadStoredAttributes(host), false);
    return attributes & FILE_ATTRIBUTE_READONLY;
}

// Copies the bytes of `from` (from its current position) to `to`; 0 or the
// Win32 error.
DWORD CopyData(int from, int to) {
    static constexpr size_t kBufferSize = 64 * 1024;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBufferSize]);
    for (;;) {
        ssize_t n = read(from, buffer.get(), kBufferSize);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno == EIO ? ERROR_READ_FAULT : Win32ErrorFromErrno(errno);
        if (n == 0) return ERROR_SUCCESS;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buffer.get() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return w == 0 || errno == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(errno);
            done += w;
        }
    }
}

// Contents, mode, attributes and times of an open file onto another, the way
// CopyFileW keeps them: the copy is read-only, hidden, ... when the source is,
// and keeps its last write time.
DWORD CopyOpenFile(int from, const struct stat& st, int to) {
    if (DWORD error = CopyData(from, to)) return error;
    if (fchmod(to, st.st_mode & 07777) != 0) return Win32ErrorFromErrno(errno);
    DWORD attributes = ComposeAttributes(st.st_mode, ReadStoredAttributes(from), false);
    WriteStoredAttributes(to, attributes & kStoredAttributes);
    timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(to, times);
    return ERROR_SUCCESS;
}

// Removes a host file or folder with everything inside; false with errno.
bool RemoveTree(const std::string& host) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return unlink(host.c_str()) == 0;
    if (DIR* dir = opendir(host.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(std::move(name));
        }
        closedir(dir);
        for (const std::string& name : names) {
            if (!RemoveTree(JoinHost(host, name))) return false;
        }
    }
    return rmdir(host.c_str()) == 0;
}

// Copies a host file or folder tree to a new name on another file system, as
// a move across file systems must; 0 or the Win32 error.
DWORD CopyTree(const std::string& from, const std::string& to) {
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return Win32ErrorFromErrno(errno, from);
    if (S_ISLNK(st.st_mode)) {
        std::string target(PATH_MAX, '\0');
        ssize_t n = readlink(from.c_str(), target.data(), target.size());
        if (n < 0) return Win32ErrorFromErrno(errno, from);
        target.resize(static_cast<size_t>(n));
        return symlink(target.c_str(), to.c_str()) == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno, to);
    }
    if (S_ISREG(st.st_mode)) {
        Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.fd < 0) return Win32ErrorFromErrno(errno, from);
        Descriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (out.fd < 0) return Win32ErrorFromErrno(errno, to);
        return CopyOpenFile(in.fd, st, out.fd);
    }
    if (!S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;  // devices and pipes stay where they are
    if (mkdir(to.c_str(), 0700) != 0) return Win32ErrorFromErrno(errno, to);
    DIR* dir = opendir(from.c_str());
    if (!dir) return Win32ErrorFromErrno(errno, from);
    DWORD error = ERROR_SUCCESS;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        error = CopyTree(JoinHost(from, name), JoinHost(to, name));
        if (error) break;
    }
    closedir(dir);
    if (error) return error;
    chmod(to.c_str(), st.st_mode & 07777);
    WriteStoredAttributes(to, ReadStoredAttributes(from));
    timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, to.c_str(), times, 0);
    return ERROR_SUCCESS;
}

// rename() that never replaces an existing target. File systems without
// RENAME_NOREPLACE get a check first; the share table lock keeps our own
// handles out of the gap, which is all the device promises.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

std::u16string FormatTempName(std::u16string_view folder, std::u16string_view prefix, UINT number) {
    std::u16string name(folder);
    if (name.empty() || (name.back() != u'\\' && name.back() != u'/')) name += u'\\';
    name += prefix.substr(0, 3);
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    char16_t digits[4];
    int count = 0;
    UINT value = number & 0xFFFF;
    do {
        digits[count++] = kHex[value & 0xF];
        value >>= 4;
    } while (value && count < 4);
    while (count > 0) name += digits[--count];
    name += u".tmp";
    return name;
}

size_t BoundedLength(LPCWSTR text) {
    size_t length = 0;
    while (length < MAX_PATH && text[length]) ++length;
    return length;
}

}  // namespace
}  // namespace platform

using namespace platform;

DWORD GetFileAttributesW(LPCWSTR fileName) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, &path)) return INVALID_FILE_ATTRIBUTES;
    if (path.mount != DeviceMount::None) return QueryMountPoint(path.mount, path.host).attributes;
    FileInfo info;
    if (!QueryHostEntry(path.host, &info)) {
        SetLastError(Win32ErrorFromErrno(errno, path.host));
        return INVALID_FILE_ATTRIBUTES;
    }
    return info.attributes;
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, &path)) return FALSE;
    if (IsProtectedPath(path)) return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (lstat(path.host.c_str(), &st) != 0) return FailWithErrno(errno, path.host);
    if (S_ISLNK(st.st_mode)) {
        // The host keeps no attributes on a link, and those of its target are
        // not the caller's to change through it: clearing them succeeds
        // without a change, anything else is refused.
        return (attributes & kStoredAttributes) == 0 ? TRUE : Fail(ERROR_ACCESS_DENIED);
    }
    // DIRECTORY and NORMAL are not stored: the first comes from the host, the
    // second means "none of the others".
    if (!WriteStoredAttributes(path.host, attributes & kStoredAttributes)) return FailWithErrno(errno);
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, &path)) return FALSE;
    if (path.mount != DeviceMount::None) return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (lstat(path.host.c_str(), &st) != 0) return FailWithErrno(errno, path.host);
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    // A link to a folder is removed as a folder (RemoveDirectoryW).
    if (S_ISLNK(st.st_mode) && LinkToFolder(path.host)) return Fail(ERROR_ACCESS_DENIED);
    if (S_ISREG(st.st_mode) && IsReadOnly(path.host, st)) return Fail(ERROR_ACCESS_DENIED);
    std::unique_lock<std::mutex> guard = LockShareTable();
    if (!ShareAllowsDeleteLocked(FileId{st.st_dev, st.st_ino})) return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.host.c_str()) != 0) return FailWithErrno(errno, path.host);
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
    ResolvedPath from, to;
    if (!ResolveDevicePath(existingName, &from) || !ResolveDevicePath(newName, &to)) return FALSE;
    if (IsProtectedPath(from) || to.mount != DeviceMount::None) return Fail(ERROR_ACCESS_DENIED);
    struct stat source;
    if (lstat(from.host.c_str(), &source) != 0) return FailWithErrno(errno, from.host);
    // The new name as the caller spelled it, so "a.txt" -> "A.txt" renames.
    std::string target = JoinHost(HostParent(to.host), Utf16ToUtf8(to.parts.back()));
    if (target == from.host) return TRUE;
    struct stat existing;
    if (lstat(to.host.c_str(), &existing) == 0 &&
        !(existing.st_dev == source.st_dev && existing.st_ino == source.st_ino)) {
        return Fail(ERROR_ALREADY_EXISTS);
    }
    // A folder may not move into itself.
    if (S_ISDIR(source.st_mode) && target.compare(0, from.host.size() + 1, from.host + "/") == 0) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    {
        std::unique_lock<std::mutex> guard = LockShareTable();
        if (!ShareAllowsDeleteLocked(FileId{source.st_dev, source.st_ino})) {
            return Fail(ERROR_SHARING_VIOLATION);
        }
        if (RenameNoReplace(from.host, target) == 0) return TRUE;
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
        if (errno != EXDEV) return FailWithErrno(errno, target);
    }
    // Another file system (a storage card): copy, then remove the original.
    // A failed copy is taken away again and the original stays.
    if (DWORD error = CopyTree(from.host, target)) {
        int saved = errno;
        RemoveTree(target);
        errno = saved;
        return Fail(error);
    }
    if (!RemoveTree(from.host)) return FailWithErrno(errno, from.host);
    return TRUE;
}

BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
    ResolvedPath from, to;
    if (!ResolveDevicePath(existingName, &from) || !ResolveDevicePath(newName, &to)) return FALSE;
    if (from.mount != DeviceMount::None || to.mount != DeviceMount::None) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    Descriptor source(open(from.host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (source.fd < 0) return FailWithErrno(errno, from.host);
    struct stat st;
    if (fstat(source.fd, &st) != 0) return FailWithErrno(errno);
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    fcntl(source.fd, F_SETFL, fcntl(source.fd, F_GETFL) & ~O_NONBLOCK);
    {
        // The copy reads the source as a handle sharing reading and writing
        // would, and replaces the target as a handle sharing nothing.
        std::unique_lock<std::mutex> guard = LockShareTable();
        if (!ShareAllowsLocked(FileId{st.st_dev, st.st_ino}, GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE)) {
            return Fail(ERROR_SHARING_VIOLATION);
        }
        struct stat existing;
        if (stat(to.host.c_str(), &existing) == 0) {
            if (failIfExists) return Fail(ERROR_FILE_EXISTS);
            if (S_ISDIR(existing.st_mode)) return Fail(ERROR_ACCESS_DENIED);
            if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
                return Fail(ERROR_SHARING_VIOLATION);
            }
            if (IsReadOnly(to.host, existing)) return Fail(ERROR_ACCESS_DENIED);
            if (!ShareAllowsLocked(FileId{existing.st_dev, existing.st_ino}, GENERIC_WRITE, 0)) {
                return Fail(ERROR_SHARING_VIOLATION);
            }
        }
    }
    // Written beside the target and renamed over it, so the target is never
    // seen half written.
    std::string temp = JoinHost(HostParent(to.host), ".kestrava-copy-XXXXXX");
    Descriptor out(mkostemp(temp.data(), O_CLOEXEC));
    if (out.fd < 0) return FailWithErrno(errno, to.host);
    DWORD error = CopyOpenFile(source.fd, st, out.fd);
    if (!error && fsync(out.fd) != 0 && errno != EINVAL) error = Win32ErrorFromErrno(errno);
    if (!error) {
        int rc = failIfExists ? RenameNoReplace(temp, to.host) : rename(temp.c_str(), to.host.c_str());
        if (rc != 0) error = errno == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(errno, to.host);
    }
    if (error) {
        unlink(temp.c_str());
        return Fail(error);
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, &path)) return FALSE;
    if (path.mount != DeviceMount::None && path.mount != DeviceMount::ProgramFiles) {
        return Fail(ERROR_ALREADY_EXISTS);
    }
    if (mkdir(path.host.c_str(), 0777) != 0) {
        // A missing folder on the way is always a bad path here.
        return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, &path)) return FALSE;
    if (IsProtectedPath(path)) return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (lstat(path.host.c_str(), &st) != 0) return FailWithErrno(errno, path.host);
    if (S_ISLNK(st.st_mode) && LinkToFolder(path.host)) {
        // A folder link goes, its target and everything in it stay.
        if (unlink(path.host.c_str()) != 0) return FailWithErrno(errno, path.host);
        return TRUE;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (ReadStoredAttributes(path.host) & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
    if (rmdir(path.host.c_str()) != 0) {
        return Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY
                                                          : Win32ErrorFromErrno(errno, path.host));
    }
    return TRUE;
}

UINT GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefix, UINT unique, LPWSTR tempFileName) {
    if (!pathName || !tempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view folder(pathName, BoundedLength(pathName));
    std::u16string_view start = prefix ? std::u16string_view(prefix, BoundedLength(prefix))
                                       : std::u16string_view();
    auto deliver = [&](const std::u16string& name) {
        std::copy(name.begin(), name.end(), tempFileName);
        tempFileName[name.size()] = 0;
    };
    if (unique != 0) {
        std::u16string name = FormatTempName(folder, start, unique);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        deliver(name);
        return unique;
    }
    // Numbers are tried from a point that differs between runs and processes
    // sharing the folder; creating with O_EXCL settles any race.
    static std::atomic<UINT> next{static_cast<UINT>(time(nullptr)) ^ static_cast<UINT>(getpid())};
    for (UINT attempt = 0; attempt < 0xFFFF; ++attempt) {
        UINT number = next.fetch_add(1) & 0xFFFF;
        if (number == 0) continue;
        std::u16string name = FormatTempName(folder, start, number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        ResolvedPath path;
        if (!ResolveDevicePath(name, &path)) return 0;
        int fd = open(path.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            deliver(name);
            return number;
        }
        if (errno != EEXIST) {
            SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    static constexpr char16_t kTempPath[] = u"\\Temp\\";
    constexpr DWORD kLength = sizeof kTempPath / sizeof kTempPath[0] - 1;
    // The folder is part of the device; put it back if someone removed it.
    mkdir((DeviceRoot() + "/Temp").c_str(), 0777);
    if (!buffer || bufferLength <= kLength) return kLength + 1;
    std::copy(kTempPath, kTempPath + kLength + 1, buffer);
    return kLength;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes) {
    ResolvedPath path;
    if (!ResolveDevicePath(directoryName ? directoryName : u"\\", &path)) return FALSE;
    struct statvfs vfs;
    int rc = statvfs(path.host.c_str(), &vfs);
    if (rc != 0 && path.mount == DeviceMount::ProgramFiles) rc = statvfs(DeviceRoot().c_str(), &vfs);
    if (rc != 0) return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno));
    ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeBytesAvailable) freeBytesAvailable->QuadPart = vfs.f_bavail * unit;
    if (totalNumberOfBytes) totalNumberOfBytes->QuadPart = vfs.f_blocks * unit;
    if (totalNumberOfFreeBytes) totalNumberOfFreeBytes->QuadPart = vfs.f_bfree * unit;
    return TRUE;
}

BOOL GetStoreInformation(LPSTORE_INFORMATION storeInfo) {
    if (!storeInfo) return Fail(ERROR_INVALID_PARAMETER);
    struct statvfs vfs;
    if (statvfs(DeviceRoot().c_str(), &vfs) != 0) return FailWithErrno(errno);
    ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    // The device counts its store in DWORDs: a bigger host disk reads as 4 GB - 1.
    storeInfo->dwStoreSize = static_cast<DWORD>(std::min<ULONGLONG>(vfs.f_blocks * unit, MAXDWORD));
    storeInfo->dwFreeSize = static_cast<DWORD>(std::min<ULONGLONG>(vfs.f_bavail * unit, MAXDWORD));
    return TRUE;
}
