// Dialog templates: the DLGTEMPLATE and DLGTEMPLATEEX blocks that the DIALOG
// and DIALOGEX statements of a resource script compile to, read into plain
// records. All reads go through one bounded reader over the given bytes, so a
// truncated or malformed template gives an error code, never a read past its
// end. Creation data points into the template, which the caller keeps alive.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "windows.h"

namespace gwes {

// A menu, class or title field: nothing, an ordinal (0xFFFF then a WORD), or
// a string.
struct TemplateName {
    WORD ordinal = 0;     // nonzero: the field is this ordinal
    std::u16string text;  // otherwise the string (empty when the field was empty)

    bool Empty() const { return ordinal == 0 && text.empty(); }
};

struct DialogItem {
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    DWORD id = 0;                        // a WORD in DLGTEMPLATE, a DWORD in DLGTEMPLATEEX
    TemplateName className;              // ordinals 0x80-0x85 name the standard controls
    TemplateName title;                  // an ordinal names a resource (an SS_ICON static's icon)
    // The creation data as the control receives it in CREATESTRUCT's
    // lpCreateParams: the size WORD followed by that many bytes; null when
    // the item has none.
    const BYTE* creationData = nullptr;
    WORD creationSize = 0;  // bytes after the size WORD
};

struct DialogTemplate {
    bool extended = false;  // DLGTEMPLATEEX
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    TemplateName menu;
    TemplateName className;  // empty: the dialog class
    std::u16string title;
    // The font, present when the style has DS_SETFONT.
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = 0;  // DLGTEMPLATEEX only; 0 otherwise
    BYTE italic = 0;
    BYTE charSet = 0;
    std::u16string faceName;
    std::vector<DialogItem> items;
};

enum class TemplateError {
    kOk,
    kTruncated,     // a field or an item runs past the end of the bytes
    kBadVersion,    // an extended template whose version is not 1
    kBadString,     // a string without its terminator inside the bytes
};

const char* TemplateErrorText(TemplateError error);

// Reads a template from data[0, size). The template must start on a DWORD
// boundary, as resources and LocalAlloc blocks do: items are aligned to
// DWORDs counted from its first byte.
TemplateError ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out);

// The class name a template's ordinal stands for ("Button", "Edit", "Static",
// "ListBox", "ScrollBar", "ComboBox"), or null for an unknown ordinal.
const char16_t* StandardClassName(WORD ordinal);

}  // namespace gwes
