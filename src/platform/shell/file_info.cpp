// SHGetFileInfoW: type names, display names, attributes and the system icons.
//
// A type name comes from the file associations in the registry (the
// extension's key under HKEY_CLASSES_ROOT names a type whose default value
// describes it), else from the shell's own table of the file types the
// system shows, else it is made as Windows does ("XYZ File", or "File" for a
// name without extension). Folders are "Folder". The system image lists (one
// of small and one of large icons, 16x16 and 32x32 on a 240x320 screen) are
// made once per size and kept for the life of the process: file, folder, open folder, image,
// movie, sound and DICOM file, plus the shortcut arrow as overlay 1.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "commctrl.h"
#include "platform/wstr.h"
#include "shell/shell.h"

namespace {

enum Icon { kFile, kFolder, kOpenFolder, kImage, kMovie, kSound, kDicom, kLinkOverlay, kIconCount };

struct FileType {
    const char16_t* extension;
    const char16_t* name;
    Icon icon;
};

const FileType kTypes[] = {
    {u"dcm", u"DICOM File", kDicom},
    {u"dicom", u"DICOM File", kDicom},
    {u"bmp", u"Bitmap Image", kImage},
    {u"2bp", u"2bp Image", kImage},
    {u"jpg", u"JPEG Image", kImage},
    {u"jpeg", u"JPEG Image", kImage},
    {u"jpe", u"JPEG Image", kImage},
    {u"gif", u"GIF Image", kImage},
    {u"png", u"PNG Image", kImage},
    {u"tif", u"TIFF Image", kImage},
    {u"tiff", u"TIFF Image", kImage},
    {u"pcx", u"PCX Image", kImage},
    {u"pcd", u"Photo CD Image", kImage},
    {u"pgm", u"PGM Image", kImage},
    {u"ppm", u"PPM Image", kImage},
    {u"pnm", u"PNM Image", kImage},
    {u"pbm", u"PBM Image", kImage},
    {u"avi", u"Video Clip", kMovie},
    {u"mov", u"QuickTime Movie", kMovie},
    {u"qt", u"QuickTime Movie", kMovie},
    {u"mpg", u"Movie Clip", kMovie},
    {u"mpeg", u"Movie Clip", kMovie},
    {u"mpe", u"Movie Clip", kMovie},
    {u"wmv", u"Windows Media Video", kMovie},
    {u"asf", u"Windows Media File", kMovie},
    {u"wav", u"Wave Sound", kSound},
    {u"mp3", u"MP3 Sound", kSound},
    {u"wma", u"Windows Media Audio", kSound},
    {u"htm", u"HTML Document", kFile},
    {u"html", u"HTML Document", kFile},
    {u"txt", u"Text Document", kFile},
    {u"psw", u"Pocket Word Document", kFile},
    {u"pwi", u"Pocket Word Ink", kFile},
    {u"url", u"Internet Shortcut", kFile},
    {u"lnk", u"Shortcut", kFile},
    {u"exe", u"Application", kFile},
    {u"dll", u"Application Extension", kFile},
    {u"cpl", u"Control Panel Item", kFile},
    {u"drv", u"Device Driver", kFile},
};

// ---- The icons ------------------------------------------------------------------------------

constexpr COLORREF kKey = RGB(255, 0, 255);  // transparent in the drawings below

// Draws on a 16-unit grid scaled to the icon's size.
class Canvas {
public:
    Canvas(HDC dc, int size) : dc_(dc), k_(size / 16) {}
    POINT P(int x, int y) const { return {x * k_, y * k_}; }
    void Shape(std::initializer_list<POINT> points, COLORREF fill, COLORREF line) const {
        std::vector<POINT> scaled;
        for (POINT p : points) scaled.push_back(P(p.x, p.y));
        Use(fill, line);
        Polygon(dc_, scaled.data(), static_cast<int>(scaled.size()));
        Done();
    }
    void Box(int l, int t, int r, int b, COLORREF fill, COLORREF line) const {
        Use(fill, line);
        Rectangle(dc_, l * k_, t * k_, r * k_, b * k_);
        Done();
    }
    void Oval(int l, int t, int r, int b, COLORREF fill, COLORREF line) const {
        Use(fill, line);
        Ellipse(dc_, l * k_, t * k_, r * k_, b * k_);
        Done();
    }
    void Lines(std::initializer_list<POINT> points, COLORREF line) const {
        std::vector<POINT> scaled;
        for (POINT p : points) scaled.push_back(P(p.x, p.y));
        Use(kKey, line);
        Polyline(dc_, scaled.data(), static_cast<int>(scaled.size()));
        Done();
    }

private:
    void Use(COLORREF fill, COLORREF line) const {
        pen_ = CreatePen(PS_SOLID, k_, line);
        brush_ = CreateSolidBrush(fill);
        oldPen_ = SelectObject(dc_, pen_);
        oldBrush_ = SelectObject(dc_, brush_);
    }
    void Done() const {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }

    HDC dc_;
    int k_;
    mutable HPEN pen_ = nullptr;
    mutable HBRUSH brush_ = nullptr;
    mutable HGDIOBJ oldPen_ = nullptr;
    mutable HGDIOBJ oldBrush_ = nullptr;
};

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFolderFill = RGB(255, 208, 64);
constexpr COLORREF kFolderLine = RGB(128, 96, 0);

void DrawPage(const Canvas& c) {
    c.Shape({{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}}, kWhite, kBlack);
    c.Lines({{10, 1}, {10, 4}, {13, 4}}, kBlack);
}

void PaintIcon(const Canvas& c, Icon icon) {
    switch (icon) {
    case kFile: DrawPage(c); break;
    case kFolder:
        c.Shape({{1, 3}, {6, 3}, {7, 5}, {15, 5}, {15, 14}, {1, 14}}, kFolderFill, kFolderLine);
        break;
    case kOpenFolder:
        c.Shape({{1, 3}, {6, 3}, {7, 5}, {13, 5}, {13, 14}, {1, 14}}, kFolderFill, kFolderLine);
        c.Shape({{1, 14}, {4, 8}, {15, 8}, {12, 14}}, RGB(255, 232, 144), kFolderLine);
        break;
    case kImage:
        c.Box(1, 3, 15, 14, RGB(128, 192, 255), kBlack);
        c.Shape({{2, 13}, {6, 8}, {9, 11}, {11, 9}, {14, 13}}, RGB(0, 160, 0), RGB(0, 128, 0));
        c.Oval(10, 4, 13, 7, RGB(255, 224, 0), RGB(255, 224, 0));
        break;
    case kMovie:
        c.Box(2, 1, 14, 15, kBlack, kBlack);
        for (int y = 2; y < 14; y += 3) {
            c.Box(3, y, 5, y + 2, kWhite, kWhite);
            c.Box(11, y, 13, y + 2, kWhite, kWhite);
        }
        c.Box(6, 3, 10, 13, RGB(128, 128, 128), RGB(128, 128, 128));
        break;
    case kSound:
        c.Shape({{1, 6}, {4, 6}, {8, 2}, {8, 14}, {4, 10}, {1, 10}}, RGB(96, 96, 96), kBlack);
        c.Lines({{10, 6}, {11, 8}, {10, 10}}, kBlack);
        c.Lines({{12, 4}, {14, 8}, {12, 12}}, kBlack);
        break;
    case kDicom:
        DrawPage(c);
        c.Box(4, 6, 12, 14, kBlack, kBlack);
        c.Oval(5, 7, 11, 13, RGB(200, 200, 200), RGB(200, 200, 200));
        break;
    case kLinkOverlay:
        c.Box(0, 9, 7, 16, kWhite, kBlack);
        c.Lines({{2, 14}, {5, 11}}, kBlack);
        c.Lines({{3, 11}, {5, 11}, {5, 13}}, kBlack);
        break;
    default: break;
    }
}

HIMAGELIST MakeList(int size) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR16 | ILC_MASK, kIconCount, 0);
    if (!list) return nullptr;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    for (int i = 0; i < kIconCount; ++i) {
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) continue;
        HGDIOBJ old = SelectObject(dc, bitmap);
        HBRUSH key = CreateSolidBrush(kKey);
        RECT all = {0, 0, size, size};
        FillRect(dc, &all, key);
        DeleteObject(key);
        PaintIcon(Canvas(dc, size), static_cast<Icon>(i));
        SelectObject(dc, old);
        ImageList_AddMasked(list, bitmap, kKey);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    ImageList_SetOverlayImage(list, kLinkOverlay, 1);
    return list;
}

// The system image lists, made on first use and never destroyed: one pair
// per icon size, which follows the screen (a large screen draws icons twice
// as big).
HIMAGELIST SystemList(bool small) {
    static std::mutex lock;
    static std::vector<std::pair<int, HIMAGELIST>> lists;
    const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& [made, list] : lists) {
        if (made == size) return list;
    }
    HIMAGELIST list = MakeList(size);
    lists.push_back({size, list});
    return list;
}

// ---- Names ------------------------------------------------------------------------------------

std::u16string Lower(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}

std::u16string NamePart(const std::u16string& path) {
    size_t slash = path.find_last_of(u"\\/");
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    return name.empty() ? path : name;
}

std::u16string ExtensionOf(const std::u16string& name) {
    size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string() : Lower(name.substr(dot + 1));
}

// The default value of a key under HKEY_CLASSES_ROOT, or empty.
std::u16string ClassValue(const std::u16string& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return {};
    WCHAR text[128] = {};
    DWORD type = 0, size = sizeof(text) - sizeof(WCHAR);
    LONG result = RegQueryValueExW(h, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size);
    RegCloseKey(h);
    if (result != ERROR_SUCCESS || type != REG_SZ) return {};
    return std::u16string(text, std::min<size_t>(size / sizeof(WCHAR), 127)).c_str();
}

const FileType* KnownType(const std::u16string& extension) {
    for (const FileType& t : kTypes)
        if (extension == t.extension) return &t;
    return nullptr;
}

std::u16string TypeName(const std::u16string& extension) {
    if (!extension.empty()) {
        std::u16string progId = ClassValue(u"." + extension);
        if (!progId.empty()) {
            std::u16string described = ClassValue(progId);
            if (!described.empty()) return described;
        }
        if (const FileType* t = KnownType(extension)) return t->name;
        std::u16string upper = extension;
        for (char16_t& c : upper)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        return upper + u" File";
    }
    return u"File";
}

void CopyInto(WCHAR* out, size_t capacity, const std::u16string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out);
    out[n] = 0;
}

}  // namespace

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT cbFileInfo, UINT flags) {
    if (!path || (info && cbFileInfo < sizeof(SHFILEINFOW)) ||
        (!info && (flags & (SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES)))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD attributes = fileAttributes;
    if (!(flags & SHGFI_USEFILEATTRIBUTES)) {
        attributes = GetFileAttributesW(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return 0;  // the file system said why
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::u16string name = NamePart(path);
    const std::u16string extension = folder ? std::u16string() : ExtensionOf(name);
    Icon icon = kFile;
    if (folder) icon = (flags & SHGFI_OPENICON) ? kOpenFolder : kFolder;
    else if (const FileType* t = KnownType(extension)) icon = t->icon;
    const bool small = (flags & SHGFI_SMALLICON) != 0;

    if (info) {
        if (flags & SHGFI_ATTRIBUTES) info->dwAttributes = attributes;
        if (flags & SHGFI_DISPLAYNAME) CopyInto(info->szDisplayName, MAX_PATH, name);
        if (flags & SHGFI_TYPENAME) CopyInto(info->szTypeName, 80, folder ? u"Folder" : TypeName(extension));
        if (flags & (SHGFI_SYSICONINDEX | SHGFI_ICON)) info->iIcon = icon;
        if (flags & SHGFI_ICON) {
            UINT style = (flags & SHGFI_LINKOVERLAY) ? (1u << 8) : 0;  // overlay 1, the shortcut arrow
            info->hIcon = ImageList_GetIcon(SystemList(small), icon, style);
        }
    }
    if (flags & SHGFI_SYSICONINDEX) return reinterpret_cast<DWORD_PTR>(SystemList(small));
    return 1;
}
