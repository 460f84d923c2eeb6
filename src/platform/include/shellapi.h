// SHGetFileInfoW: a file's or folder's type name, display name, attributes
// and system icon. The type names come from the shell's table of the file
// types the system knows (folders, images, movies, sounds, DICOM files, ...);
// the system image list (SHGFI_SYSICONINDEX) is one process-wide list per
// size (16x16 and 32x32) that the caller must not destroy.
#pragma once

#ifndef RC_INVOKED
#include "windows.h"

typedef struct _SHFILEINFOW {
    HICON hIcon;               // SHGFI_ICON: a new icon the caller destroys
    int iIcon;                 // index in the system image list
    DWORD dwAttributes;        // SHGFI_ATTRIBUTES: FILE_ATTRIBUTE_* of the file
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
} SHFILEINFOW, *LPSHFILEINFOW, SHFILEINFO, *LPSHFILEINFO;

#define SHGFI_LARGEICON 0x000000000
#define SHGFI_SMALLICON 0x000000001
#define SHGFI_OPENICON 0x000000002
#define SHGFI_SHELLICONSIZE 0x000000004
#define SHGFI_PIDL 0x000000008
#define SHGFI_USEFILEATTRIBUTES 0x000000010
#define SHGFI_ICON 0x000000100
#define SHGFI_DISPLAYNAME 0x000000200
#define SHGFI_TYPENAME 0x000000400
#define SHGFI_ATTRIBUTES 0x000000800
#define SHGFI_ICONLOCATION 0x000001000
#define SHGFI_EXETYPE 0x000002000
#define SHGFI_SYSICONINDEX 0x000004000
#define SHGFI_LINKOVERLAY 0x000008000
#define SHGFI_SELECTED 0x000010000

// With SHGFI_SYSICONINDEX the result is the system image list (an
// HIMAGELIST) of the size asked for; otherwise nonzero on success. Without
// SHGFI_USEFILEATTRIBUTES the path must exist (0 and the file system's error
// otherwise); with it, only the name and the given attributes are used.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT cbFileInfo, UINT flags);
#define SHGetFileInfo SHGetFileInfoW
#endif
