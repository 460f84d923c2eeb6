// FindResourceW, LoadResource, SizeofResource and LockResource over the .res
// each module embeds. The module's symbol is looked up through GetProcAddress,
// which refuses handles this layer never gave out, and must belong to that very
// module: dlsym on the executable's handle also searches the libraries it
// loaded, whose resources are not the executable's.
#include <dlfcn.h>
#include <link.h>

#include <list>
#include <mutex>
#include <unordered_map>

#include "platform/wstr.h"
#include "res/resource_module.h"
#include "windows.h"

namespace platform {
namespace {

struct ModuleResources {
    const uint8_t* data = nullptr;
    size_t size = 0;
    ResError error = ResError::kOk;
    std::vector<ResEntry> entries;
};

struct ResourceCache {
    std::mutex lock;
    std::unordered_map<const uint8_t*, ModuleResources*> byData;
    // Parsed directories are never freed: an HRSRC handed out stays a valid
    // pointer even after its module is unloaded.
    std::list<ModuleResources> all;
};

ResourceCache& Cache() {
    static ResourceCache* cache = new ResourceCache;  // outlives static destructors of callers
    return *cache;
}

// The link map of the object that holds `address`.
link_map* ObjectOf(const void* address) {
    Dl_info info;
    void* map = nullptr;
    if (dladdr1(address, &info, &map, RTLD_DL_LINKMAP) == 0) return nullptr;
    return static_cast<link_map*>(map);
}

link_map* ModuleMap(HMODULE module) {
    void* handle = module ? reinterpret_cast<void*>(module) : dlopen(nullptr, RTLD_NOW);
    link_map* map = nullptr;
    if (!handle || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

// The module's parsed directory, or null with the error set.
const ModuleResources* ResourcesOf(HMODULE module) {
    FARPROC symbol = GetProcAddress(module, "kestrava_resources");
    if (!symbol) {
        if (GetLastError() == ERROR_PROC_NOT_FOUND) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    link_map* moduleMap = ModuleMap(module);
    if (!moduleMap || ObjectOf(reinterpret_cast<const void*>(symbol)) != moduleMap) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    using ResourcesFunction = const unsigned char* (*)(size_t*);
    // Through void(*)() so that the cast between function types is explicit.
    auto resources = reinterpret_cast<ResourcesFunction>(reinterpret_cast<void (*)()>(symbol));
    size_t size = 0;
    const uint8_t* data = resources(&size);
    ResourceCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto it = cache.byData.find(data);
    if (it == cache.byData.end() || it->second->size != size) {
        // First use, or another module now sits where an unloaded one was.
        ModuleResources& parsed = cache.all.emplace_back();
        parsed.data = data;
        parsed.size = size;
        parsed.error = ParseResFile(data, size, &parsed.entries);
        it = cache.byData.insert_or_assign(data, &parsed).first;
    }
    if (it->second->error != ResError::kOk) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return it->second;
}

// A name given as MAKEINTRESOURCE, "#123" or a string (compared ignoring case,
// as the resource compiler stores string names in capitals).
bool Matches(const ResName& entry, LPCWSTR wanted) {
    if (IS_INTRESOURCE(wanted)) return entry.id == static_cast<uint16_t>(reinterpret_cast<uintptr_t>(wanted));
    std::u16string_view text(wanted);
    if (text.size() > 1 && text[0] == u'#') {
        uint32_t id = 0;
        for (char16_t c : text.substr(1)) {
            if (c < u'0' || c > u'9' || id > 0xFFFF) return false;
            id = id * 10 + static_cast<uint32_t>(c - u'0');
        }
        return id <= 0xFFFF && entry.id == id;
    }
    return entry.id == 0 && EqualsIgnoreCase(entry.text, text);
}

const ModuleResources* OwnerOf(HMODULE module, HRSRC resource) {
    const ModuleResources* resources = ResourcesOf(module);
    if (!resources) return nullptr;
    const auto* entry = reinterpret_cast<const ResEntry*>(resource);
    const ResEntry* begin = resources->entries.data();
    const ResEntry* end = begin + resources->entries.size();
    // Compared as addresses: a foreign HRSRC is refused, never dereferenced.
    auto address = reinterpret_cast<uintptr_t>(entry);
    if (!entry || address < reinterpret_cast<uintptr_t>(begin) || address >= reinterpret_cast<uintptr_t>(end) ||
        (address - reinterpret_cast<uintptr_t>(begin)) % sizeof(ResEntry) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return resources;
}

}  // namespace

const ResEntry* FindEntry(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ModuleResources* resources = ResourcesOf(module);
    if (!resources) return nullptr;
    bool typeFound = false;
    for (const ResEntry& entry : resources->entries) {
        if (!Matches(entry.type, type)) continue;
        typeFound = true;
        if (Matches(entry.name, name)) return &entry;
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

}  // namespace platform

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return reinterpret_cast<HRSRC>(const_cast<platform::ResEntry*>(platform::FindEntry(module, name, type)));
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (!platform::OwnerOf(module, resource)) return nullptr;
    const auto* entry = reinterpret_cast<const platform::ResEntry*>(resource);
    // Empty data still needs a non-null handle; the entry's own address stands in.
    const void* data = entry->size ? static_cast<const void*>(entry->data) : static_cast<const void*>(entry);
    return const_cast<void*>(data);
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    if (!platform::OwnerOf(module, resource)) return 0;
    return reinterpret_cast<const platform::ResEntry*>(resource)->size;
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }
