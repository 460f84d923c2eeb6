// Win32 file attributes on host files. DIRECTORY comes from the host;
// READONLY, HIDDEN, SYSTEM, ARCHIVE and TEMPORARY are kept in the extended
// attribute "user.kestrava.attributes" (hex text). A regular file's READONLY is
// mirrored in the owner write bit, so it survives where extended attributes
// do not and host tools respect it too. Names starting with '.' are hidden.
#pragma once

#include <sys/stat.h>

#include <string>

#include "device_path.h"
#include "windows.h"

namespace platform {

// The bits SetFileAttributesW and CreateFileW may store.
constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_TEMPORARY;

// What FindFirstFileW and GetFileTime report about a host object.
struct FileInfo {
    DWORD attributes = 0;
    ULONGLONG size = 0;  // 0 for folders
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
    dev_t device = 0;
    ino_t inode = 0;
};

// Stored bits of a host object (0 when none are stored or readable).
DWORD ReadStoredAttributes(const std::string& hostPath);
DWORD ReadStoredAttributes(int fd);

// Stores the bits (others ignored) and mirrors READONLY into a regular file's
// owner write bit. Where the file system holds no extended attributes only
// READONLY is kept and the call still succeeds. False with errno otherwise.
bool WriteStoredAttributes(const std::string& hostPath, DWORD attributes);
bool WriteStoredAttributes(int fd, DWORD attributes);

// The attributes Win32 reports for a host object of this mode and stored
// bits; `dotName` marks a name starting with '.'.
DWORD ComposeAttributes(mode_t mode, DWORD stored, bool dotName);

// Stats a host path (following links) or an open descriptor and composes the
// attributes. False with errno set.
bool QueryHostFile(const std::string& hostPath, FileInfo* info);
bool QueryHostFile(int fd, const std::string& hostPath, FileInfo* info);

// What FindFirstFileW and GetFileAttributesW report about a directory entry,
// without following it when it is a host symbolic link: a link reports
// FILE_ATTRIBUTE_REPARSE_POINT, with DIRECTORY when it leads to a folder, and
// the link's own times; a protected folder (device_path.h) reports
// FILE_ATTRIBUTE_INROM. False with errno set when the entry is gone.
bool QueryHostEntry(const std::string& hostPath, FileInfo* info);

// What a mount point reports: its host folder's times, DIRECTORY, and
// TEMPORARY for "\Storage Card" as storage cards carry it. "\Program Files"
// need not exist on the host.
FileInfo QueryMountPoint(DeviceMount mount, const std::string& hostPath);

}  // namespace platform
