// The chooser's cache of type names and icons.
#include "tools/file_type_cache.h"

#include <shellapi.h>

#include <map>

#include "platform/wstr.h"
#include "tools/file_choice.h"

namespace {

const char16_t* const kCachedExtensions[] = {u"2bp", u"bmp", u"gif", u"psw", u"pwi", u"htm", u"wav", u"dll"};

struct TypeCache {
    bool folderKnown = false;
    FileTypeInfo folder;
    std::map<std::u16string, FileTypeInfo> byExtension;  // lower-case keys
};

TypeCache& Cache() {
    static TypeCache cache;
    return cache;
}

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text) c = platform::FoldCase(c);
    return text;
}

FileTypeInfo AskShell(const std::u16string& path, DWORD attributes) {
    SHFILEINFOW info = {};
    FileTypeInfo result;
    // The attributes are known from the enumeration: the shell need not
    // look at the file again.
    if (SHGetFileInfoW(path.c_str(), attributes, &info, sizeof(info),
                       SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
        result.typeName = info.szTypeName;
        result.icon = info.iIcon;
    }
    return result;
}

}  // namespace

FileTypeInfo LookUpFileType(const std::u16string& folder, const std::u16string& name, DWORD attributes) {
    TypeCache& cache = Cache();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!cache.folderKnown) {
            const DWORD windows = GetFileAttributesW(u"\\Windows");
            const bool useWindows = windows != INVALID_FILE_ATTRIBUTES && (windows & FILE_ATTRIBUTE_DIRECTORY);
            cache.folder = useWindows ? AskShell(u"\\Windows", FILE_ATTRIBUTE_DIRECTORY)
                                      : AskShell(JoinFolder(folder, name), FILE_ATTRIBUTE_DIRECTORY);
            cache.folderKnown = true;
        }
        return cache.folder;
    }
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) {
        const std::u16string extension = Lower(name.substr(dot + 1));
        for (const char16_t* cached : kCachedExtensions) {
            if (extension != cached) continue;
            auto found = cache.byExtension.find(extension);
            if (found != cache.byExtension.end()) return found->second;
            FileTypeInfo info = AskShell(JoinFolder(folder, name), attributes);
            cache.byExtension.emplace(extension, info);
            return info;
        }
    }
    return AskShell(JoinFolder(folder, name), attributes);
}

HIMAGELIST SystemSmallIcons() {
    SHFILEINFOW info = {};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(u"\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
}

HIMAGELIST SystemLargeIcons() {
    SHFILEINFOW info = {};
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(u"\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                                                       SHGFI_SYSICONINDEX | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES));
}
