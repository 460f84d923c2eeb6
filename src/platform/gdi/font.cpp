// Font matching and rendering: LOGFONTW -> fontconfig match -> FreeType face
// at the requested size, with synthetic bold and oblique when the family has
// no such face. Metrics follow GDI's rules for TrueType fonts: the cell
// height is the face's Windows ascent plus descent, scaled. Instances and
// glyphs are cached for the life of the process (a handful of sizes are used).
#include "gdi/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "gdi/dc.h"
#include "gdi/font_library.h"
#include "platform/wstr.h"

namespace gdi {

std::recursive_mutex& FontLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

LOGFONTW SystemLogFont() {
    LOGFONTW lf{};
    // 8 points, the handheld's system font: 11 pixels at 96 dots per inch,
    // twice that on the large screens (see LOGPIXELSY).
    lf.lfHeight = -11 * std::max(1, GetSystemMetrics(SM_CXBORDER));
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    return lf;
}

LOGFONTW FixedLogFont() {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    std::memcpy(lf.lfFaceName, u"Courier New", sizeof(u"Courier New"));
    return lf;
}

namespace {

// FreeType's and fontconfig's functions, set by the first Library() call;
// null when the host lacks them.
const platform::FontLibraries* g_fonts = nullptr;

// Faces of the device that are not installed here, and what stands in.
// Tahoma is a narrow face: DejaVu Sans Condensed has its widths (dialog
// base units 6 x 13 at 8 points, as Tahoma gives), where DejaVu Sans is a
// seventh wider and pushes texts out of the controls made for Tahoma.
struct Alias {
    const char* deviceFace;
    const char* family;
};
constexpr Alias kAliases[] = {
    {"tahoma", "DejaVu Sans Condensed"},
    {"ms sans serif", "DejaVu Sans Condensed"},
    {"ms shell dlg", "DejaVu Sans Condensed"},
    {"system", "DejaVu Sans Condensed"},
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"times new roman", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string FaceName(const LOGFONTW& lf) {
    size_t n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
    return platform::Utf16ToUtf8(std::u16string_view(lf.lfFaceName, n));
}

std::string FamilyFor(const std::string& face) {
    std::string lower = Lower(face);
    if (lower.empty()) return "DejaVu Sans Condensed";
    for (const Alias& a : kAliases)
        if (lower == a.deviceFace) return a.family;
    return face;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        g_fonts = platform::FontLibrary();
        if (!g_fonts) return lib;
        if (g_fonts->FT_Init_FreeType(&lib) != 0) lib = nullptr;
        g_fonts->FcInit();
#ifdef KESTRAVA_SANITIZE
        // fontconfig keeps its configuration until FcFini; the leak checker
        // would report it at exit.
        std::atexit(g_fonts->FcFini);
#endif
        return lib;
    }();
    return library;
}

// One opened font file face, shared by every size of it.
struct LoadedFace {
    FT_Face face = nullptr;
    int unitsPerEm = 2048;
    int winAscent = 0, winDescent = 0;  // font units
    int lineGap = 0;                    // extra leading beyond the Windows cell, font units
    int averageWidth = 0;
    int strikeoutPosition = 0;
    bool fixedPitch = false;
    std::u16string family;
};

LoadedFace* OpenFace(const std::string& path, int index) {
    // Faces, matches and instances live as long as the process: kept behind
    // pointers that are never destroyed, so nothing is torn down while a late
    // static destructor still draws text.
    static auto& faces = *new std::map<std::pair<std::string, int>, LoadedFace*>;
    auto key = std::make_pair(path, index);
    auto it = faces.find(key);
    if (it != faces.end()) return it->second;
    LoadedFace* loaded = nullptr;
    FT_Face face = nullptr;
    if (Library() && g_fonts->FT_New_Face(Library(), path.c_str(), index, &face) == 0) {
        if (!FT_IS_SCALABLE(face)) {
            g_fonts->FT_Done_Face(face);
        } else {
            loaded = new LoadedFace;
            loaded->face = face;
            loaded->unitsPerEm = face->units_per_EM ? face->units_per_EM : 2048;
            loaded->fixedPitch = FT_IS_FIXED_WIDTH(face);
            loaded->family = platform::Utf8ToUtf16(face->family_name ? face->family_name : "");
            auto* os2 = static_cast<TT_OS2*>(g_fonts->FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            auto* hhea = static_cast<TT_HoriHeader*>(g_fonts->FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
            if (os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
                loaded->winAscent = os2->usWinAscent;
                loaded->winDescent = os2->usWinDescent;
                loaded->averageWidth = os2->xAvgCharWidth;
                loaded->strikeoutPosition = os2->yStrikeoutPosition;
            } else {
                loaded->winAscent = face->ascender;
                loaded->winDescent = -face->descender;
            }
            if (hhea) {
                // GDI's external leading: the line gap not already inside the cell.
                int hheaHeight = hhea->Ascender - hhea->Descender;
                loaded->lineGap = std::max(
                    0, hhea->Line_Gap - ((loaded->winAscent + loaded->winDescent) - hheaHeight));
            }
            if (loaded->winAscent + loaded->winDescent <= 0) {
                loaded->winAscent = loaded->unitsPerEm * 4 / 5;
                loaded->winDescent = loaded->unitsPerEm / 5;
            }
        }
    }
    faces[key] = loaded;
    return loaded;
}

struct Match {
    std::string path;
    int index = 0;
    bool syntheticBold = false;
    bool syntheticItalic = false;
};

bool MatchFace(const std::string& family, int weight, bool italic, Match* out) {
    static auto& cache = *new std::map<std::tuple<std::string, int, bool>, Match>;
    auto key = std::make_tuple(Lower(family), weight, italic);
    auto it = cache.find(key);
    if (it != cache.end()) {
        *out = it->second;
        return !out->path.empty();
    }
    Match m;
    Library();
    if (!g_fonts) return false;
    FcPattern* pattern = g_fonts->FcPatternCreate();
    g_fonts->FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    g_fonts->FcPatternAddInteger(pattern, FC_WEIGHT, g_fonts->FcWeightFromOpenType(weight));
    g_fonts->FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    g_fonts->FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    g_fonts->FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    g_fonts->FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = g_fonts->FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        int index = 0, matchedWeight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (g_fonts->FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            m.path = reinterpret_cast<const char*>(file);
            if (g_fonts->FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) m.index = index;
            g_fonts->FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
            g_fonts->FcPatternGetInteger(match, FC_SLANT, 0, &slant);
            m.syntheticBold = weight >= FW_SEMIBOLD && matchedWeight < FC_WEIGHT_DEMIBOLD;
            m.syntheticItalic = italic && slant == FC_SLANT_ROMAN;
        }
        g_fonts->FcPatternDestroy(match);
    }
    g_fonts->FcPatternDestroy(pattern);
    cache[key] = m;
    *out = m;
    return !m.path.empty();
}

class FtInstance : public FontInstance {
public:
    FtInstance(LoadedFace* face, FT_Size size, bool bold, bool oblique, bool mono, int emPixels)
        : face_(face),
          size_(size),
          bold_(bold),
          oblique_(oblique),
          mono_(mono),
          emPixels_(emPixels) {}

    const Glyph& GetGlyph(char32_t c) override {
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph& g = glyphs_[c];
        if (c < 0x20 && c != U'\t') return g;  // control characters take no room
        FT_Face face = face_->face;
        g_fonts->FT_Activate_Size(size_);
        FT_Int32 flags = FT_LOAD_DEFAULT | (mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
        if (g_fonts->FT_Load_Char(face, c == U'\t' ? U' ' : c, flags) != 0) return g;
        FT_GlyphSlot slot = face->glyph;
        FT_Pos extra = 0;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (oblique_) {
                FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
                g_fonts->FT_Outline_Transform(&slot->outline, &shear);
            }
            if (bold_) {
                extra = std::max<FT_Pos>(64, emPixels_ * 64 / 24);
                g_fonts->FT_Outline_Embolden(&slot->outline, extra);
            }
        }
        g.advance = static_cast<int>((slot->advance.x + extra + 32) >> 6);
        if (c == U'\t') return g;
        if (g_fonts->FT_Render_Glyph(slot, mono_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
            return g;
        const FT_Bitmap& bm = slot->bitmap;
        g.width = static_cast<int>(bm.width);
        g.height = static_cast<int>(bm.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), 0);
        for (int y = 0; y < g.height; ++y) {
            const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
            uint8_t* out =
                g.coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width);
            for (int x = 0; x < g.width; ++x) {
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                    out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
                else
                    out[x] = row[x];
            }
        }
        return g;
    }

private:
    LoadedFace* face_;
    FT_Size size_;
    bool bold_, oblique_, mono_;
    int emPixels_;
    std::unordered_map<char32_t, Glyph> glyphs_;
};

// Stands in when no font can be loaded at all: hollow boxes.
class BoxInstance : public FontInstance {
public:
    explicit BoxInstance(int height) {
        ascent = height * 4 / 5;
        descent = height - ascent;
        aveCharWidth = maxCharWidth = std::max(2, height / 2);
        familyName = u"System";
    }
    const Glyph& GetGlyph(char32_t c) override {
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph& g = glyphs_[c];
        g.advance = aveCharWidth;
        if (c <= U' ') return g;
        g.width = std::max(1, aveCharWidth - 1);
        g.height = std::max(1, ascent);
        g.left = 0;
        g.top = ascent;
        g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), 0);
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                if (x == 0 || y == 0 || x == g.width - 1 || y == g.height - 1)
                    g.coverage[static_cast<size_t>(y * g.width + x)] = 255;
        return g;
    }

private:
    std::unordered_map<char32_t, Glyph> glyphs_;
};

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

std::shared_ptr<FontInstance> MakeInstance(const LOGFONTW& requested) {
    LOGFONTW lf = requested;
    if (lf.lfHeight == 0) lf.lfHeight = SystemLogFont().lfHeight;
    int weight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : static_cast<int>(lf.lfWeight);
    bool italic = lf.lfItalic != 0;
    std::string family = FamilyFor(FaceName(lf));
    Match m;
    LoadedFace* face = nullptr;
    if (MatchFace(family, weight, italic, &m)) face = OpenFace(m.path, m.index);
    int cellOrEm = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (!face) {
        auto box = std::make_shared<BoxInstance>(std::max(2, cellOrEm));
        box->weight = weight;
        return box;
    }
    double units = face->unitsPerEm;
    double cellUnits = face->winAscent + face->winDescent;
    // Positive heights ask for the cell, negative ones for the em square.
    double em =
        lf.lfHeight > 0 ? lf.lfHeight * units / cellUnits : -static_cast<double>(lf.lfHeight);
    if (em < 1) em = 1;
    if (em > 2000) em = 2000;
    double scale = em / units;
    FT_Size size = nullptr;
    if (g_fonts->FT_New_Size(face->face, &size) != 0)
        return std::make_shared<BoxInstance>(std::max(2, cellOrEm));
    g_fonts->FT_Activate_Size(size);
    FT_F26Dot6 emY = static_cast<FT_F26Dot6>(std::lround(em * 64));
    FT_F26Dot6 emX = emY;
    if (lf.lfWidth > 0 && face->averageWidth > 0) {
        // A requested average character width stretches the em horizontally.
        double natural = face->averageWidth * scale;
        emX = static_cast<FT_F26Dot6>(std::lround(em * 64 * lf.lfWidth / natural));
    }
    g_fonts->FT_Set_Char_Size(face->face, emX, emY, 72, 72);
    bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    auto inst = std::make_shared<FtInstance>(face, size, m.syntheticBold, m.syntheticItalic, mono,
                                             static_cast<int>(std::lround(em)));
    if (lf.lfHeight > 0) {
        inst->ascent = Round(face->winAscent * scale);
        inst->descent = lf.lfHeight - inst->ascent;
    } else {
        inst->ascent = Round(face->winAscent * scale);
        inst->descent = Round(face->winDescent * scale);
    }
    inst->internalLeading = std::max(0, inst->Height() - Round(em));
    inst->externalLeading = Round(face->lineGap * scale);
    double xScale = scale * static_cast<double>(emX) / static_cast<double>(emY);
    inst->aveCharWidth = face->averageWidth > 0 ? Round(face->averageWidth * xScale) : 0;
    inst->maxCharWidth = Round(face->face->max_advance_width * xScale);
    inst->weight = weight;
    inst->italic = italic;
    inst->underline = lf.lfUnderline != 0;
    inst->strikeOut = lf.lfStrikeOut != 0;
    inst->fixedPitch = face->fixedPitch;
    inst->underlinePosition = std::max(1, Round(-face->face->underline_position * scale));
    inst->underlineThickness = std::max(1, Round(face->face->underline_thickness * scale));
    inst->strikeoutPosition = face->strikeoutPosition > 0 ? Round(face->strikeoutPosition * scale)
                                                          : std::max(1, inst->ascent / 3);
    inst->familyName = face->family;
    if (inst->aveCharWidth <= 0) inst->aveCharWidth = std::max(1, inst->Advance(U'x'));
    return inst;
}

struct InstanceKey {
    LOGFONTW lf;
    bool operator<(const InstanceKey& o) const { return std::memcmp(&lf, &o.lf, sizeof(lf)) < 0; }
};

}  // namespace

FontInstance& Realize(Font& font) {
    if (font.instance) return *font.instance;
    static auto& instances = *new std::map<InstanceKey, std::shared_ptr<FontInstance>>;
    InstanceKey key{font.log};
    // Face names compare without what follows the terminator.
    size_t n = 0;
    while (n < LF_FACESIZE && key.lf.lfFaceName[n]) ++n;
    for (size_t i = n; i < LF_FACESIZE; ++i) key.lf.lfFaceName[i] = 0;
    auto it = instances.find(key);
    if (it == instances.end()) it = instances.emplace(key, MakeInstance(key.lf)).first;
    font.instance = it->second;
    return *font.instance;
}

// ---- Families for EnumFontFamiliesW ------------------------------------------------------------

namespace {

struct FamilyEntry {
    std::u16string name;
    std::string family;  // the installed family that draws it
    std::vector<std::pair<std::u16string, std::pair<int, bool>>> styles;  // name, (weight, italic)
};

// The installed TrueType families, plus the device's own face names where
// their stand-ins are installed, sorted by name.
std::vector<FamilyEntry> ListFamilies() {
    std::lock_guard<std::recursive_mutex> guard(FontLock());
    Library();
    if (!g_fonts) return {};
    std::map<std::string, FamilyEntry> byName;
    FcPattern* pattern = g_fonts->FcPatternCreate();
    g_fonts->FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcObjectSet* objects = g_fonts->FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = g_fonts->FcFontList(nullptr, pattern, objects);
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* family = nullptr;
            FcChar8* style = nullptr;
            int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            if (g_fonts->FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch ||
                !family)
                continue;
            g_fonts->FcPatternGetString(set->fonts[i], FC_STYLE, 0, &style);
            g_fonts->FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
            g_fonts->FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
            std::string name = reinterpret_cast<const char*>(family);
            FamilyEntry& e = byName[Lower(name)];
            e.name = platform::Utf8ToUtf16(name);
            e.family = name;
            int gdiWeight = weight >= FC_WEIGHT_BOLD       ? FW_BOLD
                            : weight >= FC_WEIGHT_DEMIBOLD ? FW_SEMIBOLD
                                                           : FW_NORMAL;
            e.styles.push_back(
                {platform::Utf8ToUtf16(style ? reinterpret_cast<const char*>(style) : "Regular"),
                 {gdiWeight, slant != FC_SLANT_ROMAN}});
        }
        g_fonts->FcFontSetDestroy(set);
    }
    g_fonts->FcObjectSetDestroy(objects);
    g_fonts->FcPatternDestroy(pattern);
    static const char* const kDeviceFaces[][2] = {
        {"Tahoma", "dejavu sans"},
        {"Arial", "liberation sans"},
        {"Courier New", "liberation mono"},
        {"Times New Roman", "liberation serif"},
    };
    for (const auto& f : kDeviceFaces) {
        auto it = byName.find(f[1]);
        if (it == byName.end() || byName.count(Lower(f[0]))) continue;
        FamilyEntry alias = it->second;
        alias.name = platform::Utf8ToUtf16(f[0]);
        byName[Lower(f[0])] = alias;
    }
    std::vector<FamilyEntry> out;
    for (auto& kv : byName) {
        std::sort(kv.second.styles.begin(), kv.second.styles.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        out.push_back(std::move(kv.second));
    }
    return out;
}

void FillMetrics(FontInstance& f, const LOGFONTW& lf, NEWTEXTMETRICW* tm) {
    std::memset(tm, 0, sizeof(*tm));
    tm->tmHeight = f.Height();
    tm->tmAscent = f.ascent;
    tm->tmDescent = f.descent;
    tm->tmInternalLeading = f.internalLeading;
    tm->tmExternalLeading = f.externalLeading;
    tm->tmAveCharWidth = f.aveCharWidth;
    tm->tmMaxCharWidth = f.maxCharWidth;
    tm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = lf.lfItalic ? 255 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 255 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 255 : 0;
    tm->tmPitchAndFamily = static_cast<BYTE>(
        TMPF_TRUETYPE | TMPF_VECTOR | (f.fixedPitch ? FF_MODERN : FF_SWISS | TMPF_FIXED_PITCH));
    tm->tmCharSet = ANSI_CHARSET;
    tm->ntmSizeEM = static_cast<UINT>(f.Height() - f.internalLeading);
    tm->ntmCellHeight = static_cast<UINT>(f.Height());
    tm->ntmAvgWidth = static_cast<UINT>(f.aveCharWidth);
}

}  // namespace

void FillTextMetrics(FontInstance& f, const LOGFONTW& lf, TEXTMETRICW* tm) {
    NEWTEXTMETRICW ntm;
    FillMetrics(f, lf, &ntm);
    std::memcpy(tm, &ntm, sizeof(*tm));
}

}  // namespace gdi

namespace platform {

const FontLibraries* FontLibrary() {
    static const FontLibraries* loaded = []() -> const FontLibraries* {
        static FontLibraries table;
        bool ok = true;
        {
            const char* soname = KESTRAVA_FREETYPE_SONAME;
            void* lib = OpenHostLibrary(soname);
            if (!lib) return nullptr;
            KESTRAVA_FREETYPE_FUNCTIONS(KESTRAVA_HOST_BIND)
        }
        {
            const char* soname = KESTRAVA_FONTCONFIG_SONAME;
            void* lib = OpenHostLibrary(soname);
            if (!lib) return nullptr;
            KESTRAVA_FONTCONFIG_FUNCTIONS(KESTRAVA_HOST_BIND)
        }
        return ok ? &table : nullptr;
    }();
    return loaded;
}

}  // namespace platform

using namespace gdi;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (!font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_shared<Font>();
    f->log = *font;
    return static_cast<HFONT>(InsertObject(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic);
    lf.lfUnderline = static_cast<BYTE>(underline);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName)
        for (int i = 0; i < LF_FACESIZE - 1 && faceName[i]; ++i) lf.lfFaceName[i] = faceName[i];
    return CreateFontIndirectW(&lf);
}

int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW proc, LPARAM param) {
    if (!proc || (dc && !LookupDC(dc))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<FamilyEntry> families = ListFamilies();
    std::u16string wanted = family ? std::u16string(family) : std::u16string();
    int result = 1;
    for (const FamilyEntry& e : families) {
        if (family && !platform::EqualsIgnoreCase(e.name, wanted)) continue;
        // Without a family name, one call per family (its regular face);
        // with one, a call per style of that family.
        size_t count = family ? e.styles.size() : 1;
        for (size_t i = 0; i < count && i < std::max<size_t>(1, e.styles.size()); ++i) {
            ENUMLOGFONTW elf{};
            LOGFONTW& lf = elf.elfLogFont;
            lf.lfHeight = -12;
            lf.lfWeight = e.styles.empty() ? FW_NORMAL : e.styles[i].second.first;
            lf.lfItalic = !e.styles.empty() && e.styles[i].second.second ? 255 : 0;
            lf.lfCharSet = ANSI_CHARSET;
            lf.lfOutPrecision = OUT_STROKE_PRECIS;
            lf.lfClipPrecision = CLIP_STROKE_PRECIS;
            lf.lfQuality = DRAFT_QUALITY;
            for (size_t k = 0; k < e.name.size() && k < LF_FACESIZE - 1; ++k)
                lf.lfFaceName[k] = e.name[k];
            for (size_t k = 0; k < e.name.size() && k < LF_FULLFACESIZE - 1; ++k)
                elf.elfFullName[k] = e.name[k];
            if (!e.styles.empty())
                for (size_t k = 0; k < e.styles[i].first.size() && k < LF_FACESIZE - 1; ++k)
                    elf.elfStyle[k] = e.styles[i].first[k];
            NEWTEXTMETRICW tm;
            {
                std::lock_guard<std::recursive_mutex> guard(FontLock());
                Font probe;
                probe.log = lf;
                FontInstance& inst = Realize(probe);
                FillMetrics(inst, lf, &tm);
                lf.lfPitchAndFamily = static_cast<BYTE>(
                    (inst.fixedPitch ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS));
            }
            result = proc(&elf.elfLogFont, reinterpret_cast<const TEXTMETRICW*>(&tm),
                          TRUETYPE_FONTTYPE, param);
            if (result == 0) return 0;
        }
    }
    return result;
}

int EnumFontsW(HDC dc, LPCWSTR face, FONTENUMPROCW proc, LPARAM param) {
    return EnumFontFamiliesW(dc, face, proc, param);
}
