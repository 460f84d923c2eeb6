// FreeType and fontconfig for the fonts, opened when the first font is
// looked up (see host/host_library.h): a program that never draws text
// loads neither. Calls run under the font lock.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include "host/host_library.h"

#define KESTRAVA_FREETYPE_FUNCTIONS(X)  X(FT_Init_FreeType) X(FT_New_Face) X(FT_Done_Face) X(FT_Get_Sfnt_Table) X(FT_Activate_Size) X(FT_Load_Char) X(FT_Outline_Transform) X(FT_Outline_Embolden) X(FT_Render_Glyph) X(FT_New_Size) X(FT_Set_Char_Size)
#define KESTRAVA_FONTCONFIG_FUNCTIONS(X)  X(FcInit) X(FcFini) X(FcPatternCreate) X(FcPatternAddString) X(FcPatternAddInteger) X(FcWeightFromOpenType) X(FcPatternAddBool) X(FcConfigSubstitute) X(FcDefaultSubstitute) X(FcFontMatch) X(FcPatternGetString) X(FcPatternGetInteger) X(FcPatternDestroy) X(FcObjectSetBuild) X(FcFontList) X(FcFontSetDestroy) X(FcObjectSetDestroy)

namespace platform {

struct FontLibraries {
    KESTRAVA_FREETYPE_FUNCTIONS(KESTRAVA_HOST_MEMBER)
    KESTRAVA_FONTCONFIG_FUNCTIONS(KESTRAVA_HOST_MEMBER)
};

// Both libraries' functions, loaded on the first call; null when the host
// lacks either (text then draws as boxes, as with no font installed).
const FontLibraries* FontLibrary();

}  // namespace platform
