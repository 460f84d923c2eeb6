// The share table: who has which file open, with which access and share mode.
#include "share_table.h"

#include <map>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct OpenHandle {
    uint64_t id;
    bool read;
    bool write;
    DWORD share;
};

struct ShareTable {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, std::vector<OpenHandle>> files;
    uint64_t nextId = 1;
};

ShareTable& Table() {
    static ShareTable* table = new ShareTable;  // outlives static destructors of callers
    return *table;
}

bool Reads(DWORD access) { return access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL); }
bool Writes(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

// The Win32 rule, both ways round: each side must share what the other uses.
bool Conflicts(const OpenHandle& open, bool read, bool write, DWORD share) {
    return (read && !(open.share & FILE_SHARE_READ)) ||
           (write && !(open.share & FILE_SHARE_WRITE)) ||
           (open.read && !(share & FILE_SHARE_READ)) ||
           (open.write && !(share & FILE_SHARE_WRITE));
}

}  // namespace

std::unique_lock<std::mutex> LockShareTable() { return std::unique_lock<std::mutex>(Table().lock); }

bool ShareAllowsLocked(const FileId& file, DWORD access, DWORD share) {
    bool read = Reads(access), write = Writes(access);
    if (!read && !write) return true;
    auto it = Table().files.find({file.device, file.inode});
    if (it == Table().files.end()) return true;
    for (const OpenHandle& open : it->second) {
        if (Conflicts(open, read, write, share)) return false;
    }
    return true;
}

bool ShareAllowsDeleteLocked(const FileId& file) {
    auto it = Table().files.find({file.device, file.inode});
    if (it == Table().files.end()) return true;
    for (const OpenHandle& open : it->second) {
        if (!(open.share & FILE_SHARE_DELETE)) return false;
    }
    return true;
}

bool AcquireShare(const FileId& file, DWORD access, DWORD share, ShareSlot* slot) {
    *slot = ShareSlot{};
    bool read = Reads(access), write = Writes(access);
    // A handle that neither reads nor writes (attributes, times) shares with
    // everyone and reserves nothing.
    if (!read && !write) return true;
    std::unique_lock<std::mutex> guard = LockShareTable();
    if (!ShareAllowsLocked(file, access, share)) return false;
    ShareTable& table = Table();
    uint64_t id = table.nextId++;
    table.files[{file.device, file.inode}].push_back(OpenHandle{id, read, write, share});
    slot->file = file;
    slot->id = id;
    return true;
}

void ReleaseShare(ShareSlot* slot) {
    if (slot->id == 0) return;
    std::unique_lock<std::mutex> guard = LockShareTable();
    ShareTable& table = Table();
    auto it = table.files.find({slot->file.device, slot->file.inode});
    if (it != table.files.end()) {
        std::vector<OpenHandle>& handles = it->second;
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i].id == slot->id) {
                handles.erase(handles.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (handles.empty()) table.files.erase(it);
    }
    slot->id = 0;
}

}  // namespace platform
