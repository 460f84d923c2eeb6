// The virtual device: the device root, the program folder and the mapping of
// device paths ("\My Documents\a.dcm") onto host paths and back.
#include "platform/device.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "device_path.h"
#include "platform/wstr.h"

namespace platform {
namespace {

constexpr char16_t kStorageCard[] = u"Storage Card";
constexpr char16_t kProgramFiles[] = u"Program Files";
constexpr char16_t kProgramName[] = u"Kestrava";
// The folders every device starts with.
constexpr const char* kStandardFolders[] = {"My Documents", "Temp", "Windows"};

struct DeviceState {
    std::mutex lock;
    std::string root;           // empty until the first InitDevice or DeviceRoot
    std::string programFolder;  // empty until set or first asked for
};

DeviceState& State() {
    static DeviceState* state = new DeviceState;  // outlives static destructors of callers
    return *state;
}

// Bumped whenever the root or the program folder is set, so that each
// thread's copy of the two (RootsNow) knows when to read them again: every
// file call maps a path, and it should not take the device's lock and copy
// both strings each time.
std::atomic<uint64_t> g_rootsGeneration{1};

struct RootsSnapshot {
    uint64_t generation = 0;
    std::string root;
    std::string program;
};

const RootsSnapshot& RootsNow() {
    thread_local RootsSnapshot snapshot;
    const uint64_t generation = g_rootsGeneration.load(std::memory_order_acquire);
    if (snapshot.generation != generation) {
        // Read after the generation: a change in between makes the next
        // call read again.
        snapshot.root = DeviceRoot();
        snapshot.program = ProgramFolder();
        snapshot.generation = generation;
    }
    return snapshot;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Characters no Win32 file name may hold. Wildcards belong to FindFirstFileW,
// which splits them off before the path reaches here.
bool IsInvalidNameChar(char16_t c) {
    if (c < 0x20) return true;
    switch (c) {
        case u'<': case u'>': case u':': case u'"': case u'|': case u'?': case u'*':
            return true;
        default:
            return false;
    }
}

// Collapses "//", "." and ".." of an absolute host path without touching the
// disk; ".." at "/" stays at "/". Relative paths are taken from the current
// directory.
std::string NormaliseHostPath(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        std::string base = getcwd(cwd, sizeof cwd) ? cwd : "/";
        absolute = base + "/" + absolute;
    }
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= absolute.size()) {
        size_t end = absolute.find('/', pos);
        if (end == std::string::npos) end = absolute.size();
        std::string part = absolute.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        pos = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string JoinHost(const std::string& base, const std::string& name) {
    if (!base.empty() && base.back() == '/') return base + name;
    return base + "/" + name;
}

bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st;
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p, then the standard folders inside.
bool PrepareRoot(const std::string& root) {
    for (size_t pos = 1; pos <= root.size(); ++pos) {
        if (pos == root.size() || root[pos] == '/') {
            if (!MakeFolder(root.substr(0, pos))) return false;
        }
    }
    for (const char* folder : kStandardFolders) {
        if (!MakeFolder(JoinHost(root, folder))) return false;
    }
    return true;
}

std::string DefaultRoot() {
    if (const char* env = std::getenv("KESTRAVA_ROOT"); env && *env) return env;
    return DesktopDeviceRoot();
}

}  // namespace

std::string DesktopDeviceRoot() {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else {
        std::string home;
        if (const char* env = std::getenv("HOME"); env && *env) {
            home = env;
        } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
            home = pw->pw_dir;
        } else {
            home = "/tmp";
        }
        data = home + "/.local/share";
    }
    return NormaliseHostPath(data + "/kestrava/device");
}

namespace {

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string exe(buffer, static_cast<size_t>(n));
    return HostParent(exe);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Byte-wise comparison with ASCII folding: on UTF-8 it gives the same answer
// as EqualsIgnoreCase on the UTF-16 names, and it also works for host names
// that are not valid UTF-8.
bool EqualsFoldedUtf8(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return a[i] == 0 && i == b.size();
}

// The entry of `folder` equal to `name` ignoring case; the smallest when
// several are, so the choice does not depend on directory order.
bool FindIgnoringCase(const std::string& folder, const std::string& name, std::string* match) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (!EqualsFoldedUtf8(entry->d_name, name)) continue;
        if (!found || *match > entry->d_name) *match = entry->d_name;
        found = true;
    }
    closedir(dir);
    return found;
}

// The host path of `parts` below `base` with every component as given,
// built in one string: every file call maps a path, and most names are
// plain ASCII, which needs no conversion.
template <typename Component>
std::string ExactHostPath(const std::string& base, const Component* parts, size_t count,
                          size_t first) {
    size_t size = base.size();
    for (size_t i = first; i < count; ++i) size += 1 + parts[i].size();
    std::string exact;
    exact.reserve(size);
    exact = base;
    for (size_t i = first; i < count; ++i) {
        if (exact.empty() || exact.back() != '/') exact += '/';
        const std::u16string_view part = parts[i];
        if (std::all_of(part.begin(), part.end(), [](char16_t c) { return c < 0x80; })) {
            // Written in place: the reserve above already holds it.
            const size_t at = exact.size();
            exact.resize(at + part.size());
            char* out = exact.data() + at;
            for (char16_t c : part) *out++ = static_cast<char>(c);
        } else {
            exact += Utf16ToUtf8(part);
        }
    }
    return exact;
}

// Walks `parts` down from `base`, taking each existing component in its exact
// case, else the entry that matches ignoring case; once a component is
// missing, the rest pass through as given (they are about to be created).
std::string LookUp(const std::string& base, const std::vector<std::u16string>& parts,
                   size_t first) {
    // Most paths exist exactly as given: one lstat of the whole path settles
    // them without a look at every folder on the way.
    std::string exact = ExactHostPath(base, parts.data(), parts.size(), first);
    struct stat exactStat;
    if (lstat(exact.c_str(), &exactStat) == 0) return exact;

    std::string host = base;
    bool exists = true;
    for (size_t i = first; i < parts.size(); ++i) {
        std::string name = Utf16ToUtf8(parts[i]);
        std::string candidate = JoinHost(host, name);
        if (exists) {
            struct stat st;
            if (lstat(candidate.c_str(), &st) == 0) {
                host = std::move(candidate);
                continue;
            }
            std::string match;
            if (errno == ENOENT && FindIgnoringCase(host, name, &match)) {
                host = JoinHost(host, match);
                continue;
            }
            exists = false;
        }
        host = std::move(candidate);
    }
    return host;
}

bool StartsWithFolder(const std::string& path, const std::string& folder, std::string* rest) {
    if (folder.empty()) return false;
    if (path == folder) {
        rest->clear();
        return true;
    }
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return false;
    *rest = path.substr(prefix.size());
    return true;
}

// realpath of the path, or of its folder with the name appended when the
// name does not exist yet; the lexical form when neither resolves.
std::string CanonicalHost(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    std::string parent = HostParent(path);
    if (parent != path && realpath(parent.c_str(), buffer)) {
        size_t slash = path.rfind('/');
        return JoinHost(buffer, path.substr(slash + 1));
    }
    return path;
}

std::u16string DevicePathBelow(std::u16string prefix, const std::string& rest) {
    if (!rest.empty()) {
        if (prefix.back() != u'\\') prefix += u'\\';
        for (char16_t c : Utf8ToUtf16(rest)) prefix += c == u'/' ? u'\\' : c;
    }
    return prefix;
}

// Which of the roots a host path lies in; the longer folder wins when one
// lies inside the other.
bool MatchRoots(const std::string& path, const std::string& root, const std::string& program,
                std::u16string* device) {
    std::string restRoot, restProgram;
    bool inRoot = StartsWithFolder(path, root, &restRoot);
    bool inProgram = StartsWithFolder(path, program, &restProgram);
    if (inProgram && (!inRoot || program.size() >= root.size())) {
        *device = DevicePathBelow(std::u16string(u"\\") + kProgramFiles + u"\\" + kProgramName,
                                  restProgram);
        if (restProgram.find('/') == std::string::npos && IsHostExecutable(program, restProgram)) {
            *device += kExecutableExtension;
        }
        return true;
    }
    if (inRoot) {
        *device = DevicePathBelow(u"\\", restRoot);
        return true;
    }
    return false;
}

// A program of the program's folder named with ".exe" ("kestrava.exe") is
// the host file without it ("kestrava"), unless a file of the full name
// exists.
std::string ExecutableHost(const std::string& program, const ResolvedPath& path) {
    const std::u16string& name = path.parts.back();
    const size_t extension = std::char_traits<char16_t>::length(kExecutableExtension);
    if (name.size() <= extension ||
        !EqualsIgnoreCase(std::u16string_view(name).substr(name.size() - extension),
                          kExecutableExtension)) {
        return path.host;
    }
    struct stat st;
    if (lstat(path.host.c_str(), &st) == 0) return path.host;
    std::string stem = Utf16ToUtf8(std::u16string_view(name).substr(0, name.size() - extension));
    std::string match = stem;
    if (lstat(JoinHost(program, stem).c_str(), &st) != 0 && !FindIgnoringCase(program, stem, &match)) {
        return path.host;
    }
    return IsHostExecutable(program, match) ? JoinHost(program, match) : path.host;
}

// The identities of the protected folders, read again whenever the roots
// change: every listed folder is compared against them.
struct ProtectedSnapshot {
    uint64_t generation = 0;
    std::vector<std::pair<dev_t, ino_t>> folders;
};

void AddFolderAndHolders(const std::string& folder, std::vector<std::pair<dev_t, ino_t>>* out) {
    if (folder.empty()) return;
    char buffer[PATH_MAX];
    if (!realpath(folder.c_str(), buffer)) return;
    std::string path = buffer;
    for (;;) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0) out->emplace_back(st.st_dev, st.st_ino);
        if (path == "/") break;
        path = HostParent(path);
    }
}

}  // namespace

bool IsHostExecutable(const std::string& folder, const std::string& name) {
    if (name.empty() || name.find('.') != std::string::npos) return false;
    struct stat st;
    return stat(JoinHost(folder, name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & S_IXUSR);
}

bool IsProtectedHostFolder(dev_t device, ino_t inode) {
    thread_local ProtectedSnapshot snapshot;
    const uint64_t generation = g_rootsGeneration.load(std::memory_order_acquire);
    if (snapshot.generation != generation) {
        snapshot.folders.clear();
        AddFolderAndHolders(DeviceRoot(), &snapshot.folders);
        AddFolderAndHolders(ProgramFolder(), &snapshot.folders);
        // "\Windows" holds the registry: by any name it is the device's
        // read-only-memory folder, as on the devices, never removed whole.
        struct stat windows;
        if (stat(JoinHost(DeviceRoot(), "Windows").c_str(), &windows) == 0 && S_ISDIR(windows.st_mode))
            snapshot.folders.emplace_back(windows.st_dev, windows.st_ino);
        snapshot.generation = generation;
    }
    for (const auto& folder : snapshot.folders) {
        if (folder.first == device && folder.second == inode) return true;
    }
    return false;
}

bool IsProtectedPath(const ResolvedPath& path) {
    if (path.mount != DeviceMount::None) return true;
    struct stat st;
    return lstat(path.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           IsProtectedHostFolder(st.st_dev, st.st_ino);
}

std::string HostParent(const std::string& hostPath) {
    size_t slash = hostPath.find_last_not_of('/');
    if (slash == std::string::npos) return "/";
    slash = hostPath.rfind('/', slash);
    if (slash == std::string::npos) return ".";
    size_t end = hostPath.find_last_not_of('/', slash);
    return end == std::string::npos ? "/" : hostPath.substr(0, end + 1);
}

bool InitDevice(const std::string& rootFolder) {
    std::string root = NormaliseHostPath(rootFolder.empty() ? DefaultRoot() : rootFolder);
    if (!PrepareRoot(root)) return false;
    DeviceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.root = root;
    g_rootsGeneration.fetch_add(1, std::memory_order_release);
    return true;
}

std::string DeviceRoot() {
    DeviceState& state = State();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.root.empty()) return state.root;
    }
    std::string root = NormaliseHostPath(DefaultRoot());
    // A root that cannot be created still names the device; file calls on it
    // then fail with the host's reason.
    PrepareRoot(root);
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.root.empty()) state.root = root;
    return state.root;
}

std::string ProgramFolder() {
    DeviceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.programFolder.empty()) state.programFolder = ExecutableFolder();
    return state.programFolder;
}

void SetProgramFolder(const std::string& hostFolder) {
    std::string folder = hostFolder.empty() ? ExecutableFolder() : NormaliseHostPath(hostFolder);
    DeviceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.programFolder = folder;
    g_rootsGeneration.fetch_add(1, std::memory_order_release);
}

std::string RegistryHostPath() { return JoinHost(DeviceRoot(), "Windows/registry.reg"); }

namespace {

// ResolveDevicePath, with the case of existing components looked up on the
// disk (`lookUpCase`) or every component taken as given. The components are
// views of the caller's name until the end; only the look-up and callers
// that keep them (`keepParts`) need them as strings of their own, and an
// open of an existing file needs neither.
bool MapDevicePath(std::u16string_view devicePath, bool lookUpCase, bool keepParts,
                   ResolvedPath* out) {
    // MAX_PATH counts the terminator.
    if (devicePath.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // Every kept component is followed by a separator or the end, so a name
    // shorter than MAX_PATH has fewer than MAX_PATH / 2 + 1 of them.
    // Left uninitialised: the slots are written before they are read, and
    // clearing 130 of them would cost more than the whole walk.
    union PartSlots {
        PartSlots() {}
        std::u16string_view views[MAX_PATH / 2 + 1];
    } slots;
    std::u16string_view* const parts = slots.views;
    size_t count = 0;
    size_t pos = 0;
    while (pos <= devicePath.size()) {
        size_t end = pos;
        while (end < devicePath.size() && !IsSeparator(devicePath[end])) ++end;
        const std::u16string_view part = devicePath.substr(pos, end - pos);
        for (char16_t c : part) {
            if (IsInvalidNameChar(c)) {
                SetLastError(ERROR_INVALID_NAME);
                return false;
            }
        }
        // ".." at the root stays at the root: no name can leave the device
        // through the device path itself.
        if (part == u"..") {
            if (count > 0) --count;
        } else if (!part.empty() && part != u".") {
            parts[count++] = part;
        }
        pos = end + 1;
    }

    const RootsSnapshot& roots = RootsNow();
    const std::string& program = roots.program;
    ResolvedPath result;
    static const std::string kHostRoot = "/";
    const std::string* base = &roots.root;  // not copied: the host path is built from it once
    size_t first = 0;
    if (count == 0) {
        result.mount = DeviceMount::Root;
    } else if (EqualsIgnoreCase(parts[0], kStorageCard)) {
        base = &kHostRoot;
        first = 1;
        if (count == 1) result.mount = DeviceMount::StorageCard;
    } else if (EqualsIgnoreCase(parts[0], kProgramFiles)) {
        if (count >= 2 && EqualsIgnoreCase(parts[1], kProgramName) && !program.empty()) {
            base = &program;
            first = 2;
            if (count == 2) result.mount = DeviceMount::ProgramFolder;
        } else if (count == 1) {
            result.mount = DeviceMount::ProgramFiles;
        }
    }
    if (lookUpCase || keepParts) result.parts.assign(parts, parts + count);
    result.host = lookUpCase ? LookUp(*base, result.parts, first)
                             : ExactHostPath(*base, parts, count, first);
    if (lookUpCase && base == &program && count == 3) result.host = ExecutableHost(program, result);
    if (!keepParts) result.parts.clear();
    *out = std::move(result);
    return true;
}

// The checks of a caller's name shared by both mappings; the bounded length
// in *length.
bool CheckDeviceName(LPCWSTR devicePath, size_t* length) {
    if (!devicePath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!*devicePath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Bounded scan: a name longer than MAX_PATH is refused without reading on.
    size_t n = 0;
    while (n < MAX_PATH && devicePath[n]) ++n;
    *length = n;
    return true;
}

}  // namespace

bool ResolveDevicePath(std::u16string_view devicePath, ResolvedPath* out) {
    return MapDevicePath(devicePath, true, true, out);
}

bool ResolveDevicePath(LPCWSTR devicePath, ResolvedPath* out) {
    size_t length = 0;
    return CheckDeviceName(devicePath, &length) &&
           MapDevicePath(std::u16string_view(devicePath, length), true, true, out);
}

bool ResolveDevicePathAsGiven(LPCWSTR devicePath, ResolvedPath* out) {
    size_t length = 0;
    return CheckDeviceName(devicePath, &length) &&
           MapDevicePath(std::u16string_view(devicePath, length), false, false, out);
}

std::vector<MountEntry> MountsInFolder(const ResolvedPath& folder) {
    std::vector<MountEntry> mounts;
    std::string program = ProgramFolder();
    if (folder.mount == DeviceMount::Root) {
        mounts.push_back({kStorageCard, "/", DeviceMount::StorageCard});
        ResolvedPath programFiles;
        if (!program.empty() && ResolveDevicePath(kProgramFiles, &programFiles)) {
            struct stat st;
            if (stat(programFiles.host.c_str(), &st) != 0) {
                mounts.push_back({kProgramFiles, programFiles.host, DeviceMount::ProgramFiles});
            }
        }
    } else if (folder.mount == DeviceMount::ProgramFiles && !program.empty()) {
        mounts.push_back({kProgramName, program, DeviceMount::ProgramFolder});
    }
    return mounts;
}

bool DeviceToHostPath(std::u16string_view devicePath, std::string* hostPath) {
    ResolvedPath resolved;
    if (!ResolveDevicePath(devicePath, &resolved)) return false;
    *hostPath = std::move(resolved.host);
    return true;
}

std::u16string HostToDevicePath(const std::string& hostPath) {
    std::string path = NormaliseHostPath(hostPath);
    std::string root = DeviceRoot();
    std::string program = ProgramFolder();
    std::u16string device;
    if (MatchRoots(path, root, program, &device)) return device;
    // The same folders reached through a symbolic link.
    std::string canonicalProgram = program.empty() ? program : CanonicalHost(program);
    if (MatchRoots(CanonicalHost(path), CanonicalHost(root), canonicalProgram, &device)) {
        return device;
    }
    return DevicePathBelow(std::u16string(u"\\") + kStorageCard, path == "/" ? "" : path.substr(1));
}

DWORD Win32ErrorFromErrno(int error, const std::string& hostPath) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT: {
            if (hostPath.empty()) return ERROR_FILE_NOT_FOUND;
            struct stat st;
            std::string parent = HostParent(hostPath);
            bool folderExists = stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ESPIPE:
            return ERROR_INVALID_FUNCTION;
        case EIO:
            return ERROR_READ_FAULT;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

BOOL FailWithErrno(int error, const std::string& hostPath) {
    SetLastError(Win32ErrorFromErrno(error, hostPath));
    return FALSE;
}

}  // namespace platform
