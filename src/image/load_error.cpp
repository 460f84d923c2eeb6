// The LoadError messages. They are the string-table entries of the resource
// script, kept here as one table until the script carries them.
#include "load_error.h"

namespace {

struct ErrorRow {
    LoadError code;
    UINT stringId;
};

// code -> string id; codes 16 to 18 share the unknown-error text.
const ErrorRow kErrorRows[] = {
    {kLoadOutOfMemory, 422},        {kLoadFault, 21314},          {kLoadPathNotFound, 416},
    {kLoadCannotOpen, 418},         {kLoadCannotCreate, 448},     {kLoadReadError, 432},
    {kLoadWriteError, 431},         {kLoadCorrupt, 21322},        {kLoadNoHandler, 21319},
    {kLoadUnsupportedVersion, 21316}, {kLoadUnsupportedCompression, 21317},
    {kLoadLzwTiff, 21318},          {kLoadCmykOrLab, 21320},      {kLoad32BitImage, 21321},
    {kLoadAborted, 21315},          {kLoadNoFileOpen, 452},       {kLoadIndexOutOfRange, 452},
    {kLoadSaveUnsupported, 452},
};

struct StringRow {
    UINT id;
    LPCWSTR text;
};

const StringRow kStrings[] = {
    {416, u"The system cannot find the path specified."},
    {418, u"The system cannot open the file."},
    {422, u"Not enough memory or file storage space is not available to complete this "
          u"operation."},
    {431, u"The system cannot write to the specified device."},
    {432, u"The system cannot read from the specified device."},
    {448, u"The system cannot create the file."},
    {452, u"Unknown error"},
    {21314, u"An internal error occurred. Possible causes are that image data file is "
            u"corrupted or you are out of memory."},
    {21315, u"Loading aborted..."},
    {21316, u"Image contain not supported format version."},
    {21317, u"Image compressed by not supported compression algorithm."},
    {21318, u"LZW compression no supported due to Unisys patent enforcement."},
    {21319, u"Image file is corrupted or contain newer and not supported image version."},
    {21320, u"Image file contain CMYK or LAB color model."},
    {21321, u"File contain 32bit image format. Device support maximally 24 bits per color."},
    {21322, u"Image data file corrupted or file has a unknown data format."},
    {21327, u"Unknown Format Name"},
    {21328, u"Incomplete picture: the file ends early"},
};

}  // namespace

UINT LoadErrorStringId(LoadError code) {
    if (code == kLoadOk) return 0;
    for (const ErrorRow& row : kErrorRows) {
        if (row.code == code) return row.stringId;
    }
    return kStringUnknownError;
}

LPCWSTR ImageString(UINT id) {
    for (const StringRow& row : kStrings) {
        if (row.id == id) return row.text;
    }
    return nullptr;
}

LPCWSTR LoadErrorMessage(LoadError code) {
    if (code == kLoadOk) return u"";
    LPCWSTR text = ImageString(LoadErrorStringId(code));
    return text ? text : u"";
}
