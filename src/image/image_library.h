// ImageLibrary: the single ordered list of image providers: first the
// built-in provider (the FileTypeTable and its format handlers), then one per
// RImg*.dll plug-in found in the program's folder. A file goes to the first
// provider whose table lists its extension; contents are never inspected.
// One instance per process, reached through TheImageLibrary(); plug-in DLLs
// stay loaded until Teardown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dither.h"
#include "file_type_table.h"
#include "image_file.h"
#include "rimg_plugin.h"

struct ImageProvider {
    HMODULE module;  // null for the built-in provider
    const FormatEntry* table;
    RLoadImageFn loadImage;
    RLoadFrameFn loadFrame;
    RDeleteImageFn deleteImage;
    RAbortLoadingFn abort;
    RRegAllocFuncFn registerAllocator;
};

// The value the host passes as RLoadImage's tag ("Kest").
constexpr DWORD kLoadTag = 0x7473654B;

class ImageLibrary {
public:
    ImageLibrary();
    ~ImageLibrary();
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;

    // The built-in provider, then the plug-ins next to the program. Always
    // true; a missing or refused plug-in is skipped silently.
    bool BuildLibrary();
    // The same with the plug-ins of another folder (a device path).
    bool BuildLibraryFrom(LPCWSTR pluginFolder);
    void TeardownLibrary();

    // The provider (and its row, when `entry` is given) for a path's
    // extension, or null.
    ImageProvider* FindProvider(LPCWSTR path, const FormatEntry** entry = nullptr) const;
    // Asks every provider to stop its running load.
    void AbortAll() const;
    // Every extension of every provider, each NUL-terminated, then one more
    // NUL. False when there is no provider.
    bool ExtensionList(std::u16string* out) const;
    // The display name of a path's format, or "Unknown Format Name".
    LPCWSTR FormatName(LPCWSTR path) const;
    // The 12-bit dither of a loaded 8- or 24-bit image.
    bool Dither(ImageFile* imageFile);

    int ProviderCount() const { return static_cast<int>(providers_.size()); }
    ImageProvider* Provider(int index) const { return providers_[index]; }

private:
    void AppendProvider(ImageProvider* provider);
    void LoadPlugin(const std::u16string& path);

    // Applied to each provider when the list is cleared, unless suppressed.
    void (*releaseProvider_)(ImageProvider* provider);
    bool keepProviders_ = false;
    std::vector<ImageProvider*> providers_;  // grown one slot at a time
    DitherState* dither_ = nullptr;          // created on first use
};

// The process-wide library: published by start-up (or a tool) once built.
ImageLibrary* TheImageLibrary();
void PublishImageLibrary(ImageLibrary* library);

// The built-in provider's entries.
LoadError BuiltinLoadImage(HANDLE file, RImage* image, DWORD tag, DWORD flags);
int BuiltinLoadFrame(HANDLE file, ImageFile* imageFile, int frameIndex, INT_PTR p1, INT_PTR p2);
void BuiltinDeleteImage(ImageFile* imageFile, ImageProvider* provider);
void BuiltinAbortLoading();
void BuiltinRegisterAllocator(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                              ImageCreateDibFn createDibSection, ImageDeleteObjectFn deleteObject);

// The format handler of a FileTypeTable row; rows whose decoder is not part
// of this build get the base handler, which answers 9.
class FormatHandler;
FormatHandler* CreateFormatHandler(int row);
// Handlers of rows whose decoders live in higher subsystems (DICOM, the
// movie handlers, URL links) are registered by those subsystems at start-up;
// a row without one gets the base handler, which answers 9.
typedef FormatHandler* (*FormatHandlerFactory)();
void RegisterFormatHandler(int row, FormatHandlerFactory factory);
