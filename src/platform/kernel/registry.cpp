// The registry API. The file "\Windows\registry.reg" is the truth shared by
// every process of one device root; this process keeps a parsed copy and
// checks the file's identity (inode, size, times) before each call, reading
// it again when another process replaced it. A change is made under an
// exclusive flock on "registry.reg.lock": re-read if needed, apply, write a
// temporary file, fsync, rename over the old one. So no process loses another
// one's writes, and a crash leaves either the old file or the new one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "file_time.h"
#include "platform/device.h"
#include "platform/registry.h"
#include "registry_file.h"
#include "windows.h"

namespace platform {
namespace {

using reg::Hive;
using reg::KeyPath;
using reg::RegKey;
using reg::RegTree;
using reg::RegValue;

struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    bool operator==(const FileStamp& o) const {
        if (exists != o.exists) return false;
        return !exists || (device == o.device && inode == o.inode && size == o.size &&
                           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
                           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec);
    }
};

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

FileStamp StatPath(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return {};
    return StampOf(st);
}

FILETIME Now() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return FileTimeFromUnix(t);
}

std::string ParentFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Makes a rename inside the folder durable.
void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The exclusive lock every process takes around a change. Each use opens the
// lock file anew: a flock belongs to an open file description, so a forked
// child must never share its parent's.
class FileLock {
public:
    explicit FileLock(const std::string& registryPath) {
        if (registryPath.empty()) {
            error_ = ENOENT;
            return;
        }
        std::string path = registryPath + ".lock";
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0 && errno == ENOENT) {
            // "\Windows" was removed while the program ran; the registry needs it back.
            mkdir(ParentFolder(registryPath).c_str(), 0755);
            fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        }
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            close(fd_);
            fd_ = -1;
            return;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool ok() const { return fd_ >= 0; }
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

struct FileContents {
    enum class State { Missing, Parsed, Damaged } state = State::Missing;
    RegTree tree;
    FileStamp stamp;
    reg::ParseResult result;
    int error = 0;  // errno when the file could not be read
};

FileContents ReadRegistryFile(const std::string& path) {
    FileContents file;
    if (path.empty()) return file;
    // O_NONBLOCK: a FIFO put in the file's place must not hang the program.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return file;
        file.error = errno;
        file.stamp = StatPath(path);  // so the same unreadable file is reported once
        file.state = FileContents::State::Damaged;
        file.result.error = reg::RegFileError::Unreadable;
        return file;
    }
    struct stat st;
    std::string bytes;
    auto fail = [&](reg::RegFileError error, int err) {
        close(fd);
        file.state = FileContents::State::Damaged;
        file.result.error = error;
        file.error = err;
        return std::move(file);
    };
    if (fstat(fd, &st) != 0) return fail(reg::RegFileError::Unreadable, errno);
    file.stamp = StampOf(st);
    if (!S_ISREG(st.st_mode)) return fail(reg::RegFileError::Unreadable, 0);
    if (static_cast<uint64_t>(st.st_size) > reg::kMaxFileBytes) {
        return fail(reg::RegFileError::FileTooLarge, 0);
    }
    // Read to the end rather than trusting st_size: an editor may still be writing it.
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > reg::kMaxFileBytes) return fail(reg::RegFileError::FileTooLarge, 0);
            bytes.resize(std::min(bytes.size() * 2, reg::kMaxFileBytes + 1));
        }
        ssize_t n = read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(reg::RegFileError::Unreadable, errno);
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    close(fd);
    file.result = reg::ParseRegistryFile(reinterpret_cast<const uint8_t*>(bytes.data()), used,
                                         FileTimeFromUnix(st.st_mtim), &file.tree);
    file.state = file.result.error == reg::RegFileError::None ? FileContents::State::Parsed
                                                              : FileContents::State::Damaged;
    return file;
}

// Writes the text beside the file, makes it durable, then renames it over the
// file. The new file's modification time is made later than the old one's,
// even within one clock tick, so its stamp can never repeat an earlier one.
int WriteRegistryFile(const std::string& path, const std::string& text, const FileStamp& old) {
    std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    int error = 0;
    for (size_t done = 0; done < text.size() && error == 0;) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (error == 0) {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        clock_gettime(CLOCK_REALTIME, &times[1]);
        if (old.exists &&
            (times[1].tv_sec < old.mtime.tv_sec ||
             (times[1].tv_sec == old.mtime.tv_sec && times[1].tv_nsec <= old.mtime.tv_nsec))) {
            times[1] = old.mtime;
            if (++times[1].tv_nsec == 1000000000L) {
                times[1].tv_nsec = 0;
                ++times[1].tv_sec;
            }
        }
        futimens(fd, times);
        if (fsync(fd) != 0) error = errno;
    }
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temp.c_str());
        return error;
    }
    SyncFolder(ParentFolder(path));
    return 0;
}

// Renames a damaged file to "<name>.damaged-YYYYMMDD-HHMMSS" (with "-2", "-3"
// when that exists). Returns the new path, or empty when it could not be moved.
std::string MoveAside(const std::string& path) {
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    char when[32];
    strftime(when, sizeof when, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".damaged-" + when;
    for (int n = 1; n <= 100; ++n) {
        std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        struct stat st;
        if (lstat(candidate.c_str(), &st) == 0) continue;
        if (rename(path.c_str(), candidate.c_str()) != 0) return {};
        SyncFolder(ParentFolder(path));
        return candidate;
    }
    return {};
}

// A change to the tree, kept until it is in the file so that it can be made
// again on top of a newer file. Sets *changed when it altered anything.
using Change = std::function<LONG(RegTree& tree, bool* changed)>;

struct OpenKey {
    Hive hive;
    KeyPath path;
    bool deleted = false;  // the key was deleted through this process
};

struct Registry {
    std::mutex lock;
    std::string filePath;  // the registry file of the device root last seen
    bool loaded = false;   // tree is the file as of stamp (plus pending)
    RegTree tree;
    FileStamp stamp;
    uint64_t generation = 0;      // bumped whenever the tree changes or is replaced
    std::vector<Change> pending;  // in the tree but not yet in the file
    bool writeFailureReported = false;
    bool damagedInPlace = false;  // a damaged file that could not be moved aside
    std::string damageNotice;
    std::unordered_map<uintptr_t, OpenKey> handles;
    uintptr_t nextHandle = 0x10000;  // never reused, so a closed handle stays invalid

    // RegEnumKeyExW continues from its last position, so enumerating all
    // subkeys of a key is linear rather than quadratic.
    uint64_t enumGeneration = ~0ull;
    const RegKey* enumKey = nullptr;
    DWORD enumIndex = 0;
    std::map<std::u16string, std::unique_ptr<RegKey>>::const_iterator enumIt;
};

Registry& State() {
    static Registry* registry = new Registry;  // outlives static destructors of callers
    return *registry;
}

void ForgetFile(Registry& r) {
    r.loaded = false;
    r.tree = RegTree{};
    r.stamp = {};
    r.pending.clear();
    r.writeFailureReported = false;
    r.damagedInPlace = false;
    r.damageNotice.clear();
    ++r.generation;
}

// Each test, and each switch of device root, brings a new registry file.
void FollowDeviceRoot(Registry& r) {
    std::string path = RegistryHostPath();
    if (path == r.filePath) return;
    if (!r.pending.empty()) {
        std::fprintf(stderr, "kestrava: unsaved registry changes for %s are dropped\n",
                     r.filePath.c_str());
    }
    ForgetFile(r);
    r.filePath = path;
}

void TreeReplaced(Registry& r) {
    r.loaded = true;
    ++r.generation;
    for (Change& change : r.pending) {
        bool changed = false;
        change(r.tree, &changed);
    }
}

void ReportDamage(Registry& r, const FileContents& file, const std::string& movedTo) {
    std::string why = reg::RegFileErrorText(file.result.error);
    if (file.result.line != 0) why = "line " + std::to_string(file.result.line) + ": " + why;
    if (file.error != 0) why += std::string(": ") + std::strerror(file.error);
    if (!movedTo.empty()) {
        std::fprintf(stderr,
                     "kestrava: the registry file %s is damaged (%s); it was moved to %s and "
                     "the registry starts empty\n",
                     r.filePath.c_str(), why.c_str(), movedTo.c_str());
    } else {
        std::fprintf(stderr,
                     "kestrava: the registry file %s is damaged (%s) and cannot be moved aside; "
                     "the registry starts empty and changes are not saved\n",
                     r.filePath.c_str(), why.c_str());
    }
}

// Brings the tree up to date with the file. lock is null for readers, which
// take the lock only to move a damaged file aside.
void Refresh(Registry& r, FileLock* lock) {
    if (r.loaded && StatPath(r.filePath) == r.stamp) return;
    FileContents file = ReadRegistryFile(r.filePath);
    if (file.state != FileContents::State::Damaged) {
        r.tree = std::move(file.tree);
        r.stamp = file.stamp;
        r.damagedInPlace = false;
        TreeReplaced(r);
        return;
    }
    if (!lock) {
        // Look again under the lock: a writer may have replaced the file meanwhile,
        // and only one process may move it aside.
        FileLock own(r.filePath);
        Refresh(r, &own);
        return;
    }
    std::string movedTo = lock->ok() ? MoveAside(r.filePath) : std::string();
    ReportDamage(r, file, movedTo);
    r.damageNotice = movedTo.empty() ? r.filePath : movedTo;
    r.damagedInPlace = movedTo.empty();
    // Remember the damaged file's stamp when it stays, so it is reported once.
    r.stamp = movedTo.empty() ? file.stamp : StatPath(r.filePath);
    r.tree = RegTree{};
    TreeReplaced(r);
}

// Writes the tree (which holds every pending change) to the file.
LONG Persist(Registry& r, const FileLock& lock) {
    std::string why;
    if (!lock.ok()) {
        why = std::string("cannot lock it: ") + std::strerror(lock.error());
    } else if (r.damagedInPlace) {
        why = "the damaged file is still in its place";
    } else {
        size_t entries = 0;
        std::string text = reg::SerializeRegistry(r.tree, &entries);
        if (text.size() > reg::kMaxFileBytes || entries > reg::kMaxEntries) {
            why = "the registry has grown too large";
        } else if (int error = WriteRegistryFile(r.filePath, text, r.stamp); error != 0) {
            why = std::strerror(error);
        }
    }
    if (why.empty()) {
        r.stamp = StatPath(r.filePath);
        r.pending.clear();
        r.writeFailureReported = false;
        return ERROR_SUCCESS;
    }
    if (!r.writeFailureReported) {
        std::fprintf(stderr,
                     "kestrava: registry changes are not saved to %s (%s); retrying later\n",
                     r.filePath.c_str(), why.c_str());
        r.writeFailureReported = true;
    }
    return ERROR_CANTWRITE;
}

// Applies a change to the newest file contents and writes it through.
LONG Mutate(Registry& r, Change change, bool* changedOut = nullptr) {
    FileLock lock(r.filePath);
    Refresh(r, &lock);
    bool changed = false;
    LONG result = change(r.tree, &changed);
    if (changedOut) *changedOut = changed;
    if (result != ERROR_SUCCESS || !changed) return result;
    ++r.generation;
    r.pending.push_back(std::move(change));
    Persist(r, lock);  // a failure keeps the change pending; RegFlushKey reports it
    return ERROR_SUCCESS;
}

// Every entry point holds the registry lock and follows a device root switch.
struct Session {
    Session() : r(State()), guard(r.lock) { FollowDeviceRoot(r); }
    Registry& r;
    std::lock_guard<std::mutex> guard;
};

std::optional<Hive> PredefinedHive(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return Hive::LocalMachine;
    if (key == HKEY_CLASSES_ROOT) return Hive::ClassesRoot;
    if (key == HKEY_CURRENT_USER) return Hive::CurrentUser;
    return std::nullopt;
}

LONG KeyOfHandle(const Registry& r, HKEY key, Hive* hive, KeyPath* path) {
    if (std::optional<Hive> root = PredefinedHive(key)) {
        *hive = *root;
        path->clear();
        return ERROR_SUCCESS;
    }
    auto it = r.handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == r.handles.end()) return ERROR_INVALID_HANDLE;
    if (it->second.deleted) return ERROR_KEY_DELETED;
    *hive = it->second.hive;
    *path = it->second.path;
    return ERROR_SUCCESS;
}

// The key behind a handle in the current tree; null when another process
// deleted it, which the call reports as ERROR_KEY_DELETED.
RegKey* KeyOf(Registry& r, Hive hive, const KeyPath& path) {
    return reg::FindKey(r.tree, hive, path);
}

// The key behind a handle as the file holds it now: re-read when another
// process changed it; ERROR_KEY_DELETED when it is gone.
LONG CurrentKeyOfHandle(Registry& r, HKEY key, const RegKey** out) {
    Hive hive;
    KeyPath path;
    if (LONG e = KeyOfHandle(r, key, &hive, &path)) return e;
    Refresh(r, nullptr);
    *out = KeyOf(r, hive, path);
    return *out ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

HKEY NewHandle(Registry& r, Hive hive, KeyPath path) {
    uintptr_t value = r.nextHandle;
    r.nextHandle += 4;
    r.handles.emplace(value, OpenKey{hive, std::move(path), false});
    return reinterpret_cast<HKEY>(value);
}

// A name the file can hold: no line breaks, UTF-16 surrogates in pairs.
bool IsStorableName(std::u16string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        char16_t c = name[i];
        if (c == u'\r' || c == u'\n') return false;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// Splits "A\B\C" below a key of the given depth. Empty components are
// skipped, so a leading, doubled or trailing '\' is accepted.
LONG SplitSubKey(LPCWSTR subKey, size_t baseDepth, KeyPath* parts) {
    parts->clear();
    if (!subKey) return ERROR_SUCCESS;
    std::u16string_view rest(subKey);
    while (!rest.empty()) {
        size_t slash = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, slash);
        rest.remove_prefix(slash == std::u16string_view::npos ? rest.size() : slash + 1);
        if (part.empty()) continue;
        if (part.size() > reg::kMaxKeyNameChars || !IsStorableName(part)) {
            return ERROR_INVALID_PARAMETER;
        }
        if (baseDepth + parts->size() >= reg::kMaxDepth) return ERROR_INVALID_PARAMETER;
        parts->emplace_back(part);
    }
    return ERROR_SUCCESS;
}

bool SamePathPrefix(const KeyPath& prefix, const KeyPath& path) {
    if (prefix.size() > path.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (reg::FoldName(prefix[i]) != reg::FoldName(path[i])) return false;
    }
    return true;
}

// Copies the value's data as RegQueryValueExW and RegEnumValueW do.
LONG CopyData(const RegValue& v, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (type) *type = v.type;
    DWORD size = static_cast<DWORD>(v.data.size());
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        if (size != 0) std::memcpy(data, v.data.data(), size);
    }
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
}

}  // namespace

std::string TakeRegistryDamageNotice() {
    Session s;
    Refresh(s.r, nullptr);
    return std::exchange(s.r.damageNotice, std::string());
}

void ReloadRegistryForTest() {
    Registry& r = State();
    std::lock_guard<std::mutex> guard(r.lock);
    ForgetFile(r);
    r.filePath.clear();
}

}  // namespace platform

using platform::Session;
using platform::reg::Hive;
using platform::reg::KeyPath;
using platform::reg::RegKey;
using platform::reg::RegTree;
using platform::reg::RegValue;

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*className*/,
                     DWORD /*options*/, REGSAM /*desired*/, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition) {
    if (result) *result = nullptr;
    if (!result || !subKey) return ERROR_INVALID_PARAMETER;
    Session s;
    Hive hive;
    KeyPath base;
    KeyPath parts;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &base)) return e;
    if (LONG e = platform::SplitSubKey(subKey, base.size(), &parts)) return e;
    KeyPath full = base;
    full.insert(full.end(), parts.begin(), parts.end());

    // Opening an existing key needs neither the file lock nor a write.
    platform::Refresh(s.r, nullptr);
    if (!platform::KeyOf(s.r, hive, base)) return ERROR_KEY_DELETED;
    bool created = false;
    if (!platform::KeyOf(s.r, hive, full)) {
        LONG e = platform::Mutate(
            s.r,
            [hive, base, full](RegTree& tree, bool* changed) -> LONG {
                if (!platform::reg::FindKey(tree, hive, base)) return ERROR_KEY_DELETED;
                size_t count = 0;
                platform::reg::CreateKey(tree, hive, full, platform::Now(), &count);
                *changed = count > 0;
                return ERROR_SUCCESS;
            },
            &created);
        if (e != ERROR_SUCCESS) return e;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = platform::NewHandle(s.r, hive, std::move(full));
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*desired*/, PHKEY result) {
    if (result) *result = nullptr;
    if (!result) return ERROR_INVALID_PARAMETER;
    Session s;
    Hive hive;
    KeyPath base;
    KeyPath parts;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &base)) return e;
    if (LONG e = platform::SplitSubKey(subKey, base.size(), &parts)) return e;
    platform::Refresh(s.r, nullptr);
    if (!platform::KeyOf(s.r, hive, base)) return ERROR_KEY_DELETED;
    KeyPath full = base;
    full.insert(full.end(), parts.begin(), parts.end());
    if (!platform::KeyOf(s.r, hive, full)) return ERROR_FILE_NOT_FOUND;
    *result = platform::NewHandle(s.r, hive, std::move(full));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    Session s;
    const RegKey* k = nullptr;
    if (LONG e = platform::CurrentKeyOfHandle(s.r, key, &k)) return e;
    const RegValue* v = k->FindValue(valueName ? std::u16string_view(valueName) : u"");
    if (!v) return ERROR_FILE_NOT_FOUND;
    return platform::CopyData(*v, type, data, dataSize);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (!data && dataSize != 0) return ERROR_INVALID_PARAMETER;
    if (dataSize > platform::reg::kMaxValueBytes) return ERROR_INVALID_PARAMETER;
    std::u16string name = valueName ? std::u16string(valueName) : std::u16string();
    if (name.size() > platform::reg::kMaxValueNameChars || !platform::IsStorableName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    Session s;
    Hive hive;
    KeyPath path;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &path)) return e;

    // Saving settings writes every value again; an unchanged one costs no write.
    platform::Refresh(s.r, nullptr);
    const RegKey* k = platform::KeyOf(s.r, hive, path);
    if (!k) return ERROR_KEY_DELETED;
    if (const RegValue* v = k->FindValue(name);
        v && v->type == type && v->data.size() == dataSize &&
        (dataSize == 0 || std::memcmp(v->data.data(), data, dataSize) == 0)) {
        return ERROR_SUCCESS;
    }
    std::vector<BYTE> bytes(data, data + dataSize);
    return platform::Mutate(s.r,
                            [hive, path, name, type, bytes](RegTree& tree, bool* changed) -> LONG {
                                RegKey* target = platform::reg::FindKey(tree, hive, path);
                                if (!target) return ERROR_KEY_DELETED;
                                *changed = target->SetValue(name, type, bytes.data(), bytes.size());
                                if (*changed) target->lastWrite = platform::Now();
                                return ERROR_SUCCESS;
                            });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    Session s;
    Hive hive;
    KeyPath path;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &path)) return e;
    std::u16string name = valueName ? std::u16string(valueName) : std::u16string();
    return platform::Mutate(s.r, [hive, path, name](RegTree& tree, bool* changed) -> LONG {
        RegKey* target = platform::reg::FindKey(tree, hive, path);
        if (!target) return ERROR_KEY_DELETED;
        if (!target->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
        target->lastWrite = platform::Now();
        *changed = true;
        return ERROR_SUCCESS;
    });
}

// As on Windows CE, the key goes with everything below it.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (!subKey) return ERROR_INVALID_PARAMETER;
    Session s;
    Hive hive;
    KeyPath base;
    KeyPath parts;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &base)) return e;
    if (LONG e = platform::SplitSubKey(subKey, base.size(), &parts)) return e;
    KeyPath full = base;
    full.insert(full.end(), parts.begin(), parts.end());
    if (full.empty()) return ERROR_ACCESS_DENIED;  // a root stays
    LONG e = platform::Mutate(s.r, [hive, base, full](RegTree& tree, bool* changed) -> LONG {
        if (!platform::reg::FindKey(tree, hive, base)) return ERROR_KEY_DELETED;
        if (!platform::reg::DeleteKey(tree, hive, full)) return ERROR_FILE_NOT_FOUND;
        *changed = true;
        return ERROR_SUCCESS;
    });
    if (e != ERROR_SUCCESS) return e;
    // Handles to the deleted keys stay deleted even if a key of the same name comes back.
    for (auto& [value, open] : s.r.handles) {
        if (open.hive == hive && platform::SamePathPrefix(full, open.path)) open.deleted = true;
    }
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                   LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (!valueName || !valueNameLength || reserved || (data && !dataSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    Session s;
    const RegKey* k = nullptr;
    if (LONG e = platform::CurrentKeyOfHandle(s.r, key, &k)) return e;
    if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k->values[index];
    // The name must fit with its terminator; the length is then left as it was.
    if (v.name.size() >= *valueNameLength) return ERROR_MORE_DATA;
    std::memcpy(valueName, v.name.data(), v.name.size() * sizeof(WCHAR));
    valueName[v.name.size()] = 0;
    *valueNameLength = static_cast<DWORD>(v.name.size());
    return platform::CopyData(v, type, data, dataSize);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPWSTR className, LPDWORD classLength, PFILETIME lastWriteTime) {
    if (!name || !nameLength || reserved || (className && !classLength)) {
        return ERROR_INVALID_PARAMETER;
    }
    Session s;
    platform::Registry& r = s.r;
    const RegKey* k = nullptr;
    if (LONG e = platform::CurrentKeyOfHandle(r, key, &k)) return e;
    if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    if (r.enumGeneration != r.generation || r.enumKey != k || index < r.enumIndex) {
        r.enumGeneration = r.generation;
        r.enumKey = k;
        r.enumIndex = 0;
        r.enumIt = k->subkeys.begin();
    }
    for (; r.enumIndex < index; ++r.enumIndex) ++r.enumIt;
    const RegKey& sub = *r.enumIt->second;
    // Keys have no class: it comes back empty, which needs room for the terminator.
    if (sub.name.size() >= *nameLength || (className && *classLength == 0)) return ERROR_MORE_DATA;
    std::memcpy(name, sub.name.data(), sub.name.size() * sizeof(WCHAR));
    name[sub.name.size()] = 0;
    *nameLength = static_cast<DWORD>(sub.name.size());
    if (className) {
        className[0] = 0;
        *classLength = 0;
    }
    if (lastWriteTime) *lastWriteTime = sub.lastWrite;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (platform::PredefinedHive(key)) return ERROR_SUCCESS;
    platform::Registry& r = platform::State();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.handles.erase(reinterpret_cast<uintptr_t>(key)) != 0 ? ERROR_SUCCESS
                                                                  : ERROR_INVALID_HANDLE;
}

// Changes are written through at once; this retries one that could not be.
LONG RegFlushKey(HKEY key) {
    Session s;
    Hive hive;
    KeyPath path;
    if (LONG e = platform::KeyOfHandle(s.r, key, &hive, &path)) return e;
    if (s.r.pending.empty()) return ERROR_SUCCESS;
    platform::FileLock lock(s.r.filePath);
    platform::Refresh(s.r, &lock);
    return platform::Persist(s.r, lock);
}
