// The provider list: building it (with plug-in discovery), matching files to
// providers, aborting, listing extensions and naming formats.
#include "image_library.h"

#include <new>

#include <platform/fault_guard.h>

#include "load_error.h"

namespace {

ImageLibrary* gLibrary = nullptr;

// FARPROC -> the export's real type, through the generic function pointer.
template <class Fn>
Fn ProcAs(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

void ReleaseProvider(ImageProvider* provider) {
    if (provider->module) FreeLibrary(provider->module);
    delete provider;
}

}  // namespace

ImageLibrary* TheImageLibrary() { return gLibrary; }
void PublishImageLibrary(ImageLibrary* library) { gLibrary = library; }

ImageLibrary::ImageLibrary() : releaseProvider_(ReleaseProvider) {}

ImageLibrary::~ImageLibrary() {
    TeardownLibrary();
    if (gLibrary == this) gLibrary = nullptr;
}

void ImageLibrary::AppendProvider(ImageProvider* provider) {
    providers_.reserve(providers_.size() + 1);
    providers_.push_back(provider);
}

bool ImageLibrary::BuildLibrary() {
    WCHAR modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    std::u16string folder(modulePath, length < MAX_PATH ? length : 0);
    size_t slash = folder.find_last_of(u'\\');
    folder = slash == std::u16string::npos ? std::u16string() : folder.substr(0, slash + 1);
    return BuildLibraryFrom(folder.c_str());
}

bool ImageLibrary::BuildLibraryFrom(LPCWSTR pluginFolder) {
    TeardownLibrary();
    auto* builtin = new (std::nothrow) ImageProvider{nullptr,
                                                     FileTypeTable,
                                                     BuiltinLoadImage,
                                                     BuiltinLoadFrame,
                                                     BuiltinDeleteImage,
                                                     BuiltinAbortLoading,
                                                     BuiltinRegisterAllocator};
    if (!builtin) return false;
    AppendProvider(builtin);

    std::u16string folder = pluginFolder ? pluginFolder : u"";
    if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
    std::u16string pattern = folder + u"RImg*.dll";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return true;
    do {
        if (found.cFileName[0] == u'.') continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::u16string path = folder + found.cFileName;
        if (path.size() >= MAX_PATH) continue;
        LoadPlugin(path);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
}

void ImageLibrary::LoadPlugin(const std::u16string& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return;
    auto getVersion = ProcAs<RGetVersionFn>(GetProcAddress(module, RIMG_GET_VERSION));
    DWORD version = 0;
    // Plug-in code runs under the fault guard; a faulting plug-in is skipped.
    if (!getVersion || !platform::RunGuarded([&] { version = getVersion(); }) ||
        version != kPluginVersion) {
        FreeLibrary(module);
        return;
    }
    auto getFormats =
        ProcAs<RGetSupportedFormatsFn>(GetProcAddress(module, RIMG_GET_SUPPORTED_FORMATS));
    auto* provider = new (std::nothrow) ImageProvider{
        module,
        nullptr,
        ProcAs<RLoadImageFn>(GetProcAddress(module, RIMG_LOAD_IMAGE)),
        ProcAs<RLoadFrameFn>(GetProcAddress(module, RIMG_LOAD_FRAME)),
        ProcAs<RDeleteImageFn>(GetProcAddress(module, RIMG_DELETE_IMAGE)),
        ProcAs<RAbortLoadingFn>(GetProcAddress(module, RIMG_ABORT_LOADING)),
        ProcAs<RRegAllocFuncFn>(GetProcAddress(module, RIMG_REG_ALLOC_FUNC)),
    };
    const FormatEntry* table = nullptr;
    if (provider && provider->loadImage && provider->deleteImage && getFormats &&
        platform::RunGuarded([&] { table = getFormats(); }) && table) {
        provider->table = table;
        AppendProvider(provider);
        return;
    }
    delete provider;
    FreeLibrary(module);
}

void ImageLibrary::TeardownLibrary() {
    if (!keepProviders_) {
        for (ImageProvider* provider : providers_) releaseProvider_(provider);
    }
    providers_.clear();
    providers_.shrink_to_fit();
    DestroyDitherState(dither_);
    dither_ = nullptr;
}

ImageProvider* ImageLibrary::FindProvider(LPCWSTR path, const FormatEntry** entry) const {
    if (entry) *entry = nullptr;
    LPCWSTR extension = PathExtension(path);
    if (!extension) return nullptr;
    for (ImageProvider* provider : providers_) {
        int row = FindFormatRow(provider->table, extension);
        if (row >= 0) {
            if (entry) *entry = &provider->table[row];
            return provider;
        }
    }
    return nullptr;
}

void ImageLibrary::AbortAll() const {
    for (ImageProvider* provider : providers_) {
        if (provider->abort) provider->abort();
    }
}

bool ImageLibrary::ExtensionList(std::u16string* out) const {
    out->clear();
    if (providers_.empty()) return false;
    for (ImageProvider* provider : providers_) {
        for (const FormatEntry* row = provider->table; row && row->extensions; ++row) {
            for (LPCWSTR ext = row->extensions; *ext; ext += lstrlenW(ext) + 1) {
                out->append(ext);
                out->push_back(u'\0');
            }
        }
    }
    out->push_back(u'\0');
    return true;
}

LPCWSTR ImageLibrary::FormatName(LPCWSTR path) const {
    const FormatEntry* entry = nullptr;
    if (FindProvider(path, &entry) && entry->displayName) return entry->displayName;
    return ImageString(kStringUnknownFormatName);
}

bool ImageLibrary::Dither(ImageFile* imageFile) {
    if (!imageFile->image.pixels ||
        (imageFile->bitsPerPixel != 8 && imageFile->bitsPerPixel != 24)) {
        return false;
    }
    if (!dither_) dither_ = CreateDitherState();
    if (!dither_) return false;
    return DitherFor12Bit(dither_, &imageFile->image);
}
