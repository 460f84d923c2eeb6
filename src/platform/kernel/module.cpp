// Modules: LoadLibraryW, FreeLibrary, GetProcAddress and module names on top
// of dlopen. An HMODULE is the dlopen handle itself; every handle this layer
// gave out is remembered with its reference count, so a stale or foreign
// module handle is refused instead of being passed on to dlsym.
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/device.h"
#include "platform/wstr.h"
#include "windows.h"

namespace platform {
namespace {

struct ModuleTable {
    std::mutex lock;
    std::unordered_map<void*, int> references;  // dlopen handle -> LoadLibrary count
};

ModuleTable& Modules() {
    static ModuleTable* table = new ModuleTable;  // outlives static destructors of callers
    return *table;
}

// The executable's own handle, as GetModuleHandleW(NULL) returns it.
void* ExecutableHandle() {
    static void* handle = dlopen(nullptr, RTLD_NOW);
    return handle;
}

std::u16string_view LastComponent(std::u16string_view path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

// A module name without an extension gets ".dll", as on the device; a
// trailing dot says "no extension" and is dropped.
std::u16string WithDefaultExtension(std::u16string_view name) {
    std::u16string result(name);
    std::u16string_view last = LastComponent(name);
    if (!last.empty() && last.back() == u'.') {
        result.pop_back();
    } else if (last.find(u'.') == std::u16string_view::npos) {
        result += u".dll";
    }
    return result;
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Finds a file in a host folder, preferring the exact name and otherwise
// ignoring case, as the device's file system does.
bool FindInFolder(const std::string& folder, std::u16string_view name, std::string* hostPath) {
    if (folder.empty()) return false;
    std::string exact = folder + "/" + Utf16ToUtf8(name);
    if (IsRegularFile(exact)) {
        *hostPath = exact;
        return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        if (EqualsIgnoreCase(Utf8ToUtf16(entry->d_name), name)) {
            std::string candidate = folder + "/" + entry->d_name;
            if (IsRegularFile(candidate)) {
                *hostPath = candidate;
                found = true;
                break;
            }
        }
    }
    closedir(dir);
    return found;
}

// Host path of a loaded module, from the dynamic linker's own records.
std::string LoadedModulePath(void* handle) {
    if (handle == ExecutableHandle()) {
        char buffer[PATH_MAX];
        ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
        return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
    }
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    std::string path = map->l_name;
    char resolved[PATH_MAX];
    if (!path.empty() && path[0] != '/' && realpath(path.c_str(), resolved)) path = resolved;
    return path;
}

bool IsKnownModule(void* handle) {
    return handle == ExecutableHandle() || Modules().references.count(handle) != 0;
}

}  // namespace
}  // namespace platform

HMODULE LoadLibraryW(LPCWSTR libFileName) {
    if (!libFileName || !*libFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string name = platform::WithDefaultExtension(libFileName);
    void* handle = nullptr;
    if (name.find_first_of(u"\\/") != std::u16string::npos) {
        // A path names exactly one file on the device.
        std::string hostPath;
        if (platform::DeviceToHostPath(name, &hostPath)) handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        // A bare name: the program's own folder first, where plug-ins and
        // components live, then the host's library search path.
        std::string hostPath;
        if (platform::FindInFolder(platform::ProgramFolder(), name, &hostPath)) {
            handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!handle) handle = dlopen(platform::Utf16ToUtf8(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    {
        platform::ModuleTable& table = platform::Modules();
        std::lock_guard<std::mutex> guard(table.lock);
        ++table.references[handle];
    }
    return reinterpret_cast<HMODULE>(handle);
}

BOOL FreeLibrary(HMODULE module) {
    void* handle = reinterpret_cast<void*>(module);
    {
        platform::ModuleTable& table = platform::Modules();
        std::lock_guard<std::mutex> guard(table.lock);
        auto it = table.references.find(handle);
        if (it == table.references.end()) {
            // The executable stays loaded whatever its callers do.
            if (handle && handle == platform::ExecutableHandle()) return TRUE;
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second == 0) table.references.erase(it);
    }
    // Outside the table lock: unloading runs the module's destructors, which
    // may free modules of their own.
    dlclose(handle);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Exports by ordinal (a "name" below 0x10000) do not exist on this host.
    if (reinterpret_cast<uintptr_t>(procName) <= 0xFFFF) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* handle = module ? reinterpret_cast<void*>(module) : platform::ExecutableHandle();
    platform::ModuleTable& table = platform::Modules();
    // Held across dlsym so that no other thread can unload the module meanwhile.
    std::lock_guard<std::mutex> guard(table.lock);
    if (!platform::IsKnownModule(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(handle, procName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    if (reinterpret_cast<uintptr_t>(procName) <= 0xFFFF) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return GetProcAddress(module, platform::Utf16ToUtf8(procName).c_str());
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (!fileName && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    void* handle = module ? reinterpret_cast<void*>(module) : platform::ExecutableHandle();
    std::string hostPath;
    {
        platform::ModuleTable& table = platform::Modules();
        std::lock_guard<std::mutex> guard(table.lock);
        if (!platform::IsKnownModule(handle)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        hostPath = platform::LoadedModulePath(handle);
    }
    if (hostPath.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::u16string devicePath = platform::HostToDevicePath(hostPath);
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (devicePath.size() < size) {
        devicePath.copy(fileName, devicePath.size());
        fileName[devicePath.size()] = u'\0';
        return static_cast<DWORD>(devicePath.size());
    }
    // Too long: the name is cut to the buffer, still terminated, and the
    // full buffer size is returned so the caller can tell.
    devicePath.copy(fileName, size - 1);
    fileName[size - 1] = u'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (!moduleName) return reinterpret_cast<HMODULE>(platform::ExecutableHandle());
    std::u16string name = platform::WithDefaultExtension(moduleName);
    std::u16string_view wanted = platform::LastComponent(name);
    platform::ModuleTable& table = platform::Modules();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const auto& [handle, references] : table.references) {
        std::u16string loaded = platform::Utf8ToUtf16(platform::LoadedModulePath(handle));
        if (platform::EqualsIgnoreCase(platform::LastComponent(loaded), wanted)) {
            return reinterpret_cast<HMODULE>(handle);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}
