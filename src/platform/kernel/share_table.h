// Share modes between the file handles of this process. Every open file handle
// that reads or writes registers its access and share mode under the file's
// (st_dev, st_ino); an open, delete or rename that the registered handles do
// not share is refused with ERROR_SHARING_VIOLATION, as on the device.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>

#include "windows.h"

namespace platform {

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
};

// One registered handle; `id` 0 means nothing was registered.
struct ShareSlot {
    FileId file;
    uint64_t id = 0;
};

// The lock that a check and the change it allows (an unlink, a rename)
// hold together, so no handle opens in between.
std::unique_lock<std::mutex> LockShareTable();

// Registers a handle with GENERIC_READ/GENERIC_WRITE access and FILE_SHARE_*
// share mode. False when an open handle conflicts. A handle with neither read
// nor write access takes no part in sharing and gets an empty slot.
bool AcquireShare(const FileId& file, DWORD access, DWORD share, ShareSlot* slot);
void ReleaseShare(ShareSlot* slot);

// With the table locked: could a handle with this access and share open?
bool ShareAllowsLocked(const FileId& file, DWORD access, DWORD share);
// With the table locked: do all open handles share deletion (for DeleteFileW
// and MoveFileW)?
bool ShareAllowsDeleteLocked(const FileId& file);

}  // namespace platform
