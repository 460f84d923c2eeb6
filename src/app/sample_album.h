// The sample album: the first start copies the files the build put into the
// program's folder ("\Program Files\Kestrava\sample-album") into
// "\My Documents\Sample Album" and opens that folder. A completed copy sets
// the number "SampleAlbumInstalled" under the program's "Options" key, so no
// later start copies again, even when the user has deleted the folder. Files
// already in the target folder are the user's: they are never overwritten.
#pragma once

#include <stddef.h>
#include <windows.h>

constexpr const WCHAR* kSampleAlbumSource = u"\\Program Files\\Kestrava\\sample-album";
constexpr const WCHAR* kSampleAlbumFolder = u"\\My Documents\\Sample Album";
// What the frame opens after an install: every file of the copied folder.
constexpr const WCHAR* kSampleAlbumPattern = u"\\My Documents\\Sample Album\\*.*";
constexpr const WCHAR* kSampleAlbumFlag = u"SampleAlbumInstalled";

// Installs the album from kSampleAlbumSource on the first start and writes
// kSampleAlbumPattern into `openPath` (`capacity` characters). False, with
// `openPath` emptied, when there is nothing to open: the album was installed
// before, the source folder has no files, `openPath` cannot hold the pattern,
// or a copy failed (the files this call copied are removed again and the flag
// stays unset, so the next start tries again).
bool InstallSampleAlbum(LPWSTR openPath, size_t capacity);

// The same from another source folder (a device path, no trailing "\").
bool InstallSampleAlbumFrom(LPCWSTR sourceFolder, LPWSTR openPath, size_t capacity);
