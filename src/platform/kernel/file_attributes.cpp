// Win32 attributes kept on host files: the extended attribute that holds the
// bits the host has no place for, the owner write bit that mirrors READONLY,
// and the times and sizes FindFirstFileW and GetFileTime report.
#include "file_attributes.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "file_time.h"

namespace platform {
namespace {

constexpr char kAttributeName[] = "user.kestrava.attributes";

// One host object, named by path or by an open descriptor, so the readers and
// writers below exist once.
struct HostObject {
    int fd;
    const char* path;

    int Stat(struct stat* st) const { return fd >= 0 ? fstat(fd, st) : stat(path, st); }
    ssize_t Get(char* buffer, size_t size) const {
        return fd >= 0 ? fgetxattr(fd, kAttributeName, buffer, size)
                       : getxattr(path, kAttributeName, buffer, size);
    }
    int Set(const char* value, size_t size) const {
        return fd >= 0 ? fsetxattr(fd, kAttributeName, value, size, 0)
                       : setxattr(path, kAttributeName, value, size, 0);
    }
    int Remove() const {
        return fd >= 0 ? fremovexattr(fd, kAttributeName) : removexattr(path, kAttributeName);
    }
    int Chmod(mode_t mode) const { return fd >= 0 ? fchmod(fd, mode) : chmod(path, mode); }
};

bool NoAttributeSupport(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

DWORD ReadStored(const HostObject& object) {
    char buffer[16];
    ssize_t n = object.Get(buffer, sizeof buffer - 1);
    if (n <= 0) return 0;
    buffer[n] = 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(buffer, &end, 16);
    // Someone else's or a damaged value reads as no bits, never as garbage.
    if (end == buffer || *end != 0) return 0;
    return static_cast<DWORD>(value) & kStoredAttributes;
}

bool WriteStored(const HostObject& object, DWORD attributes) {
    struct stat st;
    if (object.Stat(&st) != 0) return false;
    DWORD bits = attributes & kStoredAttributes;
    if (bits == 0) {
        if (object.Remove() != 0 && errno != ENODATA && !NoAttributeSupport(errno)) return false;
    } else {
        char value[16];
        int length = std::snprintf(value, sizeof value, "%x", static_cast<unsigned>(bits));
        if (object.Set(value, static_cast<size_t>(length)) != 0 && !NoAttributeSupport(errno)) {
            return false;
        }
    }
    // Folders keep READONLY only in the extended attribute: on the device it
    // does not stop files being created inside, and the write bit would.
    if (S_ISREG(st.st_mode)) {
        mode_t mode = st.st_mode & 07777;
        mode_t wanted = (bits & FILE_ATTRIBUTE_READONLY) ? mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                                                         : mode | S_IWUSR;
        if (wanted != mode && object.Chmod(wanted) != 0) return false;
    }
    return true;
}

bool IsDotName(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    return start < hostPath.size() && hostPath[start] == '.';
}

FILETIME FromStatx(const statx_timestamp& t) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(t.tv_sec);
    ts.tv_nsec = static_cast<long>(t.tv_nsec);
    return FileTimeFromUnix(ts);
}

// What the host's statx said of an object that is not a link.
void Compose(const HostObject& object, const std::string& hostPath, const struct statx& sx, FileInfo* info) {
    FileInfo result;
    result.attributes = ComposeAttributes(sx.stx_mode, ReadStored(object), IsDotName(hostPath));
    result.size = S_ISREG(sx.stx_mode) ? sx.stx_size : 0;
    result.lastAccess = FromStatx(sx.stx_atime);
    result.lastWrite = FromStatx(sx.stx_mtime);
    // File systems without birth times: the last write is the closest the
    // host knows to when the contents came to be.
    result.creation = (sx.stx_mask & STATX_BTIME) ? FromStatx(sx.stx_btime) : result.lastWrite;
    result.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    result.inode = sx.stx_ino;
    *info = result;
}

bool Query(const HostObject& object, const std::string& hostPath, FileInfo* info) {
    struct statx sx{};
    int rc = object.fd >= 0
                 ? statx(object.fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx)
                 : statx(AT_FDCWD, object.path, 0, STATX_BASIC_STATS | STATX_BTIME, &sx);
    if (rc != 0) return false;
    Compose(object, hostPath, sx, info);
    return true;
}

}  // namespace

DWORD ReadStoredAttributes(const std::string& hostPath) {
    return ReadStored(HostObject{-1, hostPath.c_str()});
}

DWORD ReadStoredAttributes(int fd) { return ReadStored(HostObject{fd, nullptr}); }

bool WriteStoredAttributes(const std::string& hostPath, DWORD attributes) {
    return WriteStored(HostObject{-1, hostPath.c_str()}, attributes);
}

bool WriteStoredAttributes(int fd, DWORD attributes) {
    return WriteStored(HostObject{fd, nullptr}, attributes);
}

DWORD ComposeAttributes(mode_t mode, DWORD stored, bool dotName) {
    DWORD attributes = stored & kStoredAttributes;
    if (S_ISDIR(mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISREG(mode) && !(mode & S_IWUSR)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (dotName) attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool QueryHostFile(const std::string& hostPath, FileInfo* info) {
    return Query(HostObject{-1, hostPath.c_str()}, hostPath, info);
}

bool QueryHostFile(int fd, const std::string& hostPath, FileInfo* info) {
    return Query(HostObject{fd, nullptr}, hostPath, info);
}

bool QueryHostEntry(const std::string& hostPath, FileInfo* info) {
    struct statx sx{};
    if (statx(AT_FDCWD, hostPath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        return false;
    }
    if (!S_ISLNK(sx.stx_mode)) {
        // Not a link: what the look without following saw is the object.
        Compose(HostObject{-1, hostPath.c_str()}, hostPath, sx, info);
        if ((info->attributes & FILE_ATTRIBUTE_DIRECTORY) && IsProtectedHostFolder(info->device, info->inode)) {
            info->attributes |= FILE_ATTRIBUTE_INROM;
        }
        return true;
    }
    // The link itself: nothing of its target but whether it is a folder, so
    // that a caller can remove the link the way Windows removes folder links.
    FileInfo result;
    struct stat target;
    result.attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    if (stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        result.attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if (IsDotName(hostPath)) result.attributes |= FILE_ATTRIBUTE_HIDDEN;
    result.lastAccess = FromStatx(sx.stx_atime);
    result.lastWrite = FromStatx(sx.stx_mtime);
    result.creation = (sx.stx_mask & STATX_BTIME) ? FromStatx(sx.stx_btime) : result.lastWrite;
    result.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    result.inode = sx.stx_ino;
    *info = result;
    return true;
}

FileInfo QueryMountPoint(DeviceMount mount, const std::string& hostPath) {
    FileInfo info;
    if (!QueryHostFile(hostPath, &info)) info = FileInfo{};
    info.size = 0;
    info.attributes = FILE_ATTRIBUTE_DIRECTORY;
    if (mount == DeviceMount::StorageCard) info.attributes |= FILE_ATTRIBUTE_TEMPORARY;
    return info;
}

}  // namespace platform
