// Fonts: a LOGFONTW is matched through fontconfig to an installed face
// ("Tahoma", "MS Sans Serif" and the system font become DejaVu Sans, "Arial"
// Liberation Sans) and rendered with FreeType as 8-bit coverage masks, cached
// per face and size. Positive heights are cell heights (ascent + descent),
// negative ones character (em) heights, as in GDI. All FreeType work happens
// under FontLock(); glyphs handed out stay valid while their instance lives.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "gdi/gdi_object.h"

namespace gdi {

struct Glyph {
    int width = 0;                  // coverage columns
    int height = 0;                 // coverage rows
    int left = 0;                   // from the pen position to the first column
    int top = 0;                    // from the baseline up to the first row
    int advance = 0;                // whole pixels
    std::vector<uint8_t> coverage;  // width * height, 0..255
};

class FontInstance {
public:
    virtual ~FontInstance() = default;
    // Metrics in pixels.
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false;
    int underlinePosition = 1;  // rows below the baseline
    int underlineThickness = 1;
    int strikeoutPosition = 3;  // rows above the baseline
    std::u16string familyName;

    int Height() const { return ascent + descent; }
    // Call with FontLock() held.
    virtual const Glyph& GetGlyph(char32_t c) = 0;
    int Advance(char32_t c) { return GetGlyph(c).advance; }
};

struct Font : Object {
    static constexpr Kind kKind = Kind::Font;
    Font() : Object(kKind) {}
    LOGFONTW log{};
    std::shared_ptr<FontInstance> instance;  // realised on first use (FontLock)
};

std::recursive_mutex& FontLock();
// The instance that draws a font (call with FontLock() held); never null:
// when nothing can be loaded a fixed box font stands in.
FontInstance& Realize(Font& font);

// GetTextMetricsW's answer for an instance realised from `lf`.
void FillTextMetrics(FontInstance& f, const LOGFONTW& lf, TEXTMETRICW* tm);

// The description of the system font (Tahoma at the device's default size).
LOGFONTW SystemLogFont();
LOGFONTW FixedLogFont();

}  // namespace gdi
