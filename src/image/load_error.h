// LoadError: the result codes of every load and save in the system (0 is
// success) and the message the user sees for each. The texts are the string
// resources named by their ids; a code outside the table shows string 452.
#pragma once

#include <windows.h>

typedef DWORD LoadError;

enum : DWORD {
    kLoadOk = 0,
    kLoadOutOfMemory = 1,
    kLoadFault = 2,  // a processor fault inside a decoder or plug-in
    kLoadPathNotFound = 3,
    kLoadCannotOpen = 4,
    kLoadCannotCreate = 5,
    kLoadReadError = 6,
    kLoadWriteError = 7,
    kLoadCorrupt = 8,  // corrupted or unknown data
    kLoadNoHandler = 9,
    kLoadUnsupportedVersion = 10,
    kLoadUnsupportedCompression = 11,
    kLoadLzwTiff = 12,
    kLoadCmykOrLab = 13,
    kLoad32BitImage = 14,
    kLoadAborted = 15,
    kLoadNoFileOpen = 16,
    kLoadIndexOutOfRange = 17,  // page or frame index
    kLoadSaveUnsupported = 18,
};

// String ids of the subsystem's texts outside the code table.
enum : UINT {
    kStringUnknownError = 452,
    kStringUnknownFormatName = 21327,
    // Said wherever a truncated picture (RImage::truncated) is shown.
    kStringIncompletePicture = 21328,
};

// The string id of a code's message (452 for codes outside the table), 0 for
// success.
UINT LoadErrorStringId(LoadError code);
// The message text of a code, never null ("" for success).
LPCWSTR LoadErrorMessage(LoadError code);
// The text of one of the subsystem's string ids, or null when unknown.
LPCWSTR ImageString(UINT id);
