#include "tools/file_associations.h"

#include <winreg.h>

#include "app/main_frame.h"
#include "app/settings_store.h"
#include "image/file_type_table.h"

namespace {

constexpr LPCWSTR kViewerNames[kViewerCount] = {kProductTitle, u"Internet Explorer", u"iPAQ Picture Viewer"};

struct MediaType {
    LPCWSTR extension;
    LPCWSTR type;
};
// The types the device's programs send and expect for the formats this
// viewer reads.
constexpr MediaType kMediaTypes[] = {
    {u"bmp", u"image/bmp"},        {u"jpg", u"image/jpeg"},         {u"jpe", u"image/jpeg"},
    {u"jpeg", u"image/jpeg"},      {u"gif", u"image/gif"},          {u"png", u"image/png"},
    {u"tif", u"image/tiff"},       {u"tiff", u"image/tiff"},        {u"pcx", u"image/vnd.zbrush.pcx"},
    {u"pcd", u"image/x-photo-cd"}, {u"pgm", u"image/x-portable-graymap"}, {u"ppm", u"image/x-portable-pixmap"},
    {u"mpg", u"video/mpeg"},       {u"mpeg", u"video/mpeg"},        {u"avi", u"video/x-msvideo"},
    {u"mov", u"video/quicktime"},  {u"qt", u"video/quicktime"},     {u"asf", u"video/x-ms-asf"},
    {u"wmv", u"video/x-ms-wmv"},   {u"mp3", u"audio/mpeg"},         {u"wav", u"audio/wav"},
    {u"dcm", u"application/dicom"}, {u"url", u"application/x-mswinurl"},
};

// Writes the default value of `key` under the classes root.
bool WriteDefault(LPCWSTR key, LPCWSTR text) {
    return SettingsStore::WriteStringAt(HKEY_CLASSES_ROOT, key, nullptr, text);
}

bool IsFolder(LPCWSTR path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Row 1: the browser's image types ("jpegimage"), with a content type for
// all but bitmaps.
bool RegisterForBrowser(LPCWSTR extension) {
    WCHAR key[MAX_PATH];
    lstrcpynW(key, extension, MAX_PATH);
    CharLowerW(key);
    LPCWSTR name = key[0] == u'.' ? key + 1 : key;
    if (lstrcmpW(name, u"jpe") == 0 || lstrcmpW(name, u"jpg") == 0) name = u"jpeg";
    if (lstrcmpW(name, u"2bp") == 0) name = u"bmp";
    WCHAR value[MAX_PATH];
    if (lstrlenW(name) + 16 >= MAX_PATH) return false;
    wsprintfW(value, u"%simage", name);
    if (!WriteDefault(key, value)) return false;
    if (lstrcmpW(name, u"bmp") == 0) return true;
    wsprintfW(value, u"image/%s", name);
    return SettingsStore::WriteStringAt(HKEY_CLASSES_ROOT, key, u"Content Type", value);
}

}  // namespace

LPCWSTR ViewerName(int viewer) { return viewer >= 0 && viewer < kViewerCount ? kViewerNames[viewer] : u""; }

LPCWSTR MediaTypeOf(LPCWSTR extension) {
    for (const MediaType& m : kMediaTypes) {
        if (lstrcmpiW(m.extension, extension) == 0) return m.type;
    }
    return nullptr;
}

bool RegisterForProgram(LPCWSTR extension, LPCWSTR programPath, LPCWSTR typeName, LPCWSTR description,
                        int iconIndex) {
    // The program: an existing ".exe" that is not a folder. A path that is
    // not the device's own ("\...") may name a program elsewhere.
    if (!extension || !programPath || IsFolder(programPath)) return false;
    if (programPath[0] == u'\\' && GetFileAttributesW(programPath) == INVALID_FILE_ATTRIBUTES) return false;
    LPCWSTR programExtension = PathExtension(programPath);
    if (!programExtension || lstrcmpiW(programExtension, u"exe") != 0) return false;
    const int programLength = lstrlenW(programPath);

    // ".ext" from the extension's last dot, and the names made from it.
    LPCWSTR given = PathExtension(extension);
    if (!given || !given[0] || lstrlenW(given) >= 63) return false;
    WCHAR ext[64] = u".";
    lstrcpynW(ext + 1, given, 63);
    CharLowerW(ext);
    WCHAR type[MAX_PATH], text[MAX_PATH];
    if (typeName) {
        lstrcpynW(type, typeName, MAX_PATH);
    } else {
        wsprintfW(type, u"%sfile", ext + 1);
    }
    if (description) {
        lstrcpynW(text, description, MAX_PATH);
    } else {
        WCHAR upper[64];
        lstrcpynW(upper, ext + 1, 64);
        wsprintfW(text, u"%s File", CharUpperW(upper));
    }
    if (lstrlenW(type) + 32 >= MAX_PATH || programLength + 32 >= MAX_PATH) return false;

    if (!WriteDefault(ext, type)) return false;
    if (LPCWSTR media = MediaTypeOf(ext + 1)) {
        SettingsStore::WriteStringAt(HKEY_CLASSES_ROOT, ext, u"Content Type", media);
    }
    if (!WriteDefault(type, text)) return false;

    WCHAR key[MAX_PATH], value[2 * MAX_PATH];
    wsprintfW(key, u"%s\\DefaultIcon", type);
    wsprintfW(value, u"%s,-%d", programPath, iconIndex);
    bool ok = WriteDefault(key, value);
    wsprintfW(key, u"%s\\Shell\\Open\\Command", type);
    bool blank = false;
    for (LPCWSTR p = programPath; *p; ++p) blank = blank || *p == u' ';
    wsprintfW(value, blank ? u"\"%s\" %s" : u"%s %s", programPath, u"%1");
    return WriteDefault(key, value) && ok;
}

bool RegisterAssociation(LPCWSTR extension, int viewer) {
    switch (viewer) {
    case kThisViewer: {
        WCHAR program[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return false;
        return RegisterForProgram(extension, program, nullptr, nullptr, 101);
    }
    case kInternetExplorer:
        return RegisterForBrowser(extension);
    case kPictureViewer:
        return WriteDefault(extension, u"ImageFile");
    default:
        return false;
    }
}
