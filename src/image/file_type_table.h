// FormatEntry rows: a format's display name, default extension and list of
// extensions (each without dot, NUL-terminated, the list ended by an empty
// string). A table ends with the first row whose extension list is null.
// Plug-ins hand the image library tables of the same layout. The built-in
// FileTypeTable has 14 rows; a row's index is its format handler's index.
#pragma once

#include <windows.h>

struct FormatEntry {
    LPCWSTR displayName;       // null: the association page skips the row
    LPCWSTR defaultExtension;  // without dot
    LPCWSTR extensions;        // "ext1\0ext2\0\0"
    DWORD reserved;            // 0
};

// Built-in format rows, by handler index.
enum : int {
    kFormatBmp = 0,
    kFormatJpeg = 1,
    kFormatGif = 2,
    kFormatTiff = 3,
    kFormatPcx = 4,
    kFormatPhotoCd = 5,
    kFormatPortableMap = 6,
    kFormatMpeg = 7,
    kFormatAvi = 8,
    kFormatQuickTime = 9,
    kFormatWindowsMedia = 10,
    kFormatMp3 = 11,
    kFormatDicom = 12,
    kFormatUrl = 13,
    kFileTypeCount = 14,
};

// The 14 built-in rows followed by a terminating row of zeros.
extern const FormatEntry FileTypeTable[kFileTypeCount + 1];

// The text after the last '.' of a path's last component; null when there
// is none (no dot, or the dot belongs to a folder name).
LPCWSTR PathExtension(LPCWSTR path);

// Whether one row lists `extension` (compared ignoring case).
bool RowHasExtension(const FormatEntry& row, LPCWSTR extension);

// Index of the first row of `table` listing `extension`, or -1. A null
// extension matches nothing.
int FindFormatRow(const FormatEntry* table, LPCWSTR extension);
