// The contrast/brightness dialog ("Set Contrast & Brightness", command
// 17303): two sliders from -100 to 100 and the current image's thumbnail
// before and after the 8-bit contrast/brightness transform. OK sets the
// process-wide values and repaints the picture view at once; Cancel changes
// nothing. Main thread.
#pragma once

#include <windows.h>

class ImageAlbum;

// Where the preview lies right of the thumbnail.
constexpr int kContrastPreviewOffset = 119;

// Runs the dialog for album entry `row` (it must have a decoded image);
// `view` is repainted after OK. True when OK set new values.
bool OpenContrastDialog(ImageAlbum* album, int row, HWND owner, HWND view = nullptr);
