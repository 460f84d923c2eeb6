// The built-in file type table and extension matching.
#include "file_type_table.h"

const FormatEntry FileTypeTable[kFileTypeCount + 1] = {
    {u"Window and OS2 Bitmap Format", u"bmp", u"2bp\0bmp\0img\0", 0},
    {u"Standard JPEG Format", u"jpg", u"jpg\0jpe\0jpeg\0", 0},
    {u"Graphics Interchange Format", u"gif", u"gif\0", 0},
    {u"Tag Image File Format", u"tif", u"tif\0tiff\0cfx\0", 0},
    {u"ZSoft Publisher's Paintbrush", u"pcx", u"pcx\0", 0},
    {u"KODAC PhotoCD Format", u"pcd", u"pcd\0", 0},
    {u"Portable Graymap Format", u"raw", u"raw\0pgm\0ppm\0", 0},
    {u"MPEG Video", u"mpg", u"mpg\0mpeg\0", 0},
    {u"AVI Video", u"avi", u"avi\0", 0},
    {u"QuickTime Video", u"mov", u"mov\0qt\0", 0},
    {u"Windows Media Files", u"asf", u"asf\0wmv\0", 0},
    {u"MP3 Sound Files", u"mp3", u"mp3\0", 0},
    {u"DICOM Format", u"dcm", u"dcm\0", 0},
    {u"URL Link", u"url", u"url\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

LPCWSTR PathExtension(LPCWSTR path) {
    if (!path) return nullptr;
    LPCWSTR dot = nullptr;
    for (LPCWSTR p = path; *p; ++p) {
        if (*p == u'.') {
            dot = p;
        } else if (*p == u'\\' || *p == u'/') {
            dot = nullptr;  // a dot in a folder name is not an extension
        }
    }
    return dot ? dot + 1 : nullptr;
}

bool RowHasExtension(const FormatEntry& row, LPCWSTR extension) {
    if (!row.extensions || !extension) return false;
    for (LPCWSTR ext = row.extensions; *ext; ext += lstrlenW(ext) + 1) {
        if (lstrcmpiW(ext, extension) == 0) return true;
    }
    return false;
}

int FindFormatRow(const FormatEntry* table, LPCWSTR extension) {
    if (!table || !extension) return -1;
    for (int i = 0; table[i].extensions; ++i) {
        if (RowHasExtension(table[i], extension)) return i;
    }
    return -1;
}
