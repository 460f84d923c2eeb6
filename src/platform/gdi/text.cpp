// Text output and measurement: ExtTextOutW/TextOutW, the extent and metric
// queries, and DrawTextW's formatting (alignment, word breaks, prefixes,
// tabs, end ellipses, DT_CALCRECT). Glyph coverage is blended onto the
// destination with the text colour; indexed surfaces take whole pixels only.
#include <algorithm>
#include <string>
#include <vector>

#include "gdi/font.h"
#include "gdi/paint.h"

using namespace gdi;

namespace {

std::shared_ptr<Font> FontOf(DC& dc) {
    if (dc.state.fontObject) return dc.state.fontObject;
    return std::static_pointer_cast<Font>(StockObject(SYSTEM_FONT));
}

// Code point at text[i] and how many UTF-16 units it takes.
char32_t CodePointAt(std::u16string_view text, size_t i, size_t* units) {
    char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
        *units = 2;
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    *units = 1;
    return c;
}

// Pen positions of every UTF-16 unit, relative to the start, plus the total
// at the end. Tabs advance to the next multiple of tabWidth when it is set.
std::vector<int> Positions(FontInstance& f, std::u16string_view text, int tabWidth) {
    std::vector<int> pos(text.size() + 1, 0);
    int x = 0;
    for (size_t i = 0; i < text.size();) {
        size_t units;
        char32_t c = CodePointAt(text, i, &units);
        for (size_t k = 0; k < units; ++k) pos[i + k] = x;
        if (c == U'\t' && tabWidth > 0)
            x = (x / tabWidth + 1) * tabWidth;
        else
            x += f.Advance(c);
        i += units;
    }
    pos[text.size()] = x;
    return pos;
}

int Width(FontInstance& f, std::u16string_view text, int tabWidth) {
    return Positions(f, text, tabWidth).back();
}

// Blends one glyph at pen position (x, baseline), surface coordinates,
// inside `limit` and the target's clip.
void DrawGlyph(Target& t, const Glyph& g, int x, int baseline, Rgb color, uint32_t solid,
               const RECT& limit) {
    if (g.width == 0 || g.height == 0) return;
    RECT box = {x + g.left, baseline - g.top, x + g.left + g.width, baseline - g.top + g.height};
    box = IntersectRects(box, limit);
    if (EmptyRect(box)) return;
    const FormatOps& ops = Ops(t.surface.format);
    bool wholePixels = IsIndexed(t.surface.format);
    for (const RECT& c : t.clip) {
        RECT r = IntersectRects(box, c);
        if (EmptyRect(r)) continue;
        for (int py = r.top; py < r.bottom; ++py) {
            uint8_t* row = t.surface.Row(py);
            const uint8_t* cov =
                g.coverage.data() + static_cast<size_t>(py - (baseline - g.top)) * g.width;
            for (int px = r.left; px < r.right; ++px) {
                unsigned a = cov[px - (x + g.left)];
                if (a == 0) continue;
                if (a == 255 || wholePixels) {
                    if (a >= 128) ops.put(row, px, solid);
                    continue;
                }
                Rgb d = PixelToRgb(t.surface, ops.get(row, px));
                auto mix = [a](int fg, int bg) {
                    return static_cast<int>((fg * a + bg * (255 - a) + 127) / 255);
                };
                Rgb out = MakeRgb(mix(RedOf(color), RedOf(d)), mix(GreenOf(color), GreenOf(d)),
                                  mix(BlueOf(color), BlueOf(d)));
                ops.put(row, px, RgbToPixel(t.surface, out));
            }
        }
        t.Touch(r);
    }
}

// Draws a run of text with its left end at x and its baseline at `baseline`
// (surface coordinates); `positions` from Positions(), or caller spacing.
void DrawRun(Target& t, FontInstance& f, std::u16string_view text,
             const std::vector<int>& positions, int x, int baseline, const RECT& limit) {
    DC& dc = t.dc;
    uint32_t solid = SolidPixel(dc, t.surface, dc.state.textColor);
    Rgb color = RgbFromColorRef(dc.state.textColor);
    for (size_t i = 0; i < text.size();) {
        size_t units;
        char32_t c = CodePointAt(text, i, &units);
        if (c != U'\t')
            DrawGlyph(t, f.GetGlyph(c), x + positions[i], baseline, color, solid, limit);
        i += units;
    }
    int width = positions.back();
    if (f.underline || f.strikeOut) {
        uint32_t a = 0;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 0 && !f.underline) continue;
            if (pass == 1 && !f.strikeOut) continue;
            int top = pass == 0 ? baseline + f.underlinePosition - f.underlineThickness / 2
                                : baseline - f.strikeoutPosition;
            RECT line = IntersectRects(RECT{x, top, x + width, top + f.underlineThickness}, limit);
            if (!EmptyRect(line)) t.FillRect(line, a, solid);
        }
    }
}

void FillBackground(Target& t, const RECT& r, const RECT& limit) {
    RECT area = IntersectRects(r, limit);
    if (EmptyRect(area)) return;
    t.FillRect(area, 0, SolidPixel(t.dc, t.surface, t.dc.state.bkColor));
}

constexpr RECT kNoLimit = {-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};

}  // namespace

// ---- Metrics
// -------------------------------------------------------------------------------------

BOOL GetTextMetricsW(HDC handle, LPTEXTMETRICW metrics) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !metrics) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::shared_ptr<Font> font = FontOf(*dc);
    std::lock_guard<std::recursive_mutex> guard(FontLock());
    FillTextMetrics(Realize(*font), font->log, metrics);
    return TRUE;
}

int GetTextFaceW(HDC handle, int count, LPWSTR faceName) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return 0;
    std::shared_ptr<Font> font = FontOf(*dc);
    std::u16string name;
    for (int i = 0; i < LF_FACESIZE && font->log.lfFaceName[i]; ++i)
        name += font->log.lfFaceName[i];
    if (!faceName) return static_cast<int>(name.size()) + 1;
    if (count <= 0) return 0;
    int n = std::min<int>(count - 1, static_cast<int>(name.size()));
    std::copy(name.begin(), name.begin() + n, faceName);
    faceName[n] = 0;
    return n + 1;
}

BOOL GetTextExtentExPointW(HDC handle, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx,
                           LPSIZE size) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !size || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<Font> font = FontOf(*dc);
    std::lock_guard<std::recursive_mutex> guard(FontLock());
    FontInstance& f = Realize(*font);
    std::u16string_view s(text ? text : u"", static_cast<size_t>(count));
    std::vector<int> pos = Positions(f, s, 0);
    int fitted = 0;
    for (int i = 0; i < count; ++i) {
        int extent = pos[static_cast<size_t>(i) + 1];
        if (dx) dx[i] = extent;
        if (extent <= maxExtent) fitted = i + 1;
    }
    if (fit) *fit = fitted;
    size->cx = pos.back();
    size->cy = f.Height();
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
    return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetCharWidth32W(HDC handle, UINT first, UINT last, LPINT widths) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !widths || last < first) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<Font> font = FontOf(*dc);
    std::lock_guard<std::recursive_mutex> guard(FontLock());
    FontInstance& f = Realize(*font);
    for (UINT c = first; c <= last; ++c) widths[c - first] = f.Advance(c);
    return TRUE;
}

// ---- Output
// ---------------------------------------------------------------------------------------

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    if (!text) count = 0;
    std::shared_ptr<Font> font = FontOf(*dc);
    std::lock_guard<std::recursive_mutex> fontGuard(FontLock());
    FontInstance& f = Realize(*font);
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT limit = kNoLimit;
    RECT box = {0, 0, 0, 0};
    if (rect) box = t.ToSurface(NormalizedRect(rect->left, rect->top, rect->right, rect->bottom));
    if (rect && (options & ETO_OPAQUE)) FillBackground(t, box, kNoLimit);
    if (rect && (options & ETO_CLIPPED)) limit = box;
    if (count == 0) return TRUE;

    std::u16string_view s(text, count);
    std::vector<int> pos;
    if (dx) {
        // Caller spacing: dx[i] is the distance from character i to i + 1.
        pos.assign(count + 1, 0);
        for (UINT i = 0; i < count; ++i) pos[i + 1] = pos[i] + dx[i];
    } else {
        pos = Positions(f, s, 0);
    }
    int width = pos.back();
    UINT align = dc->state.textAlign;
    if (align & TA_UPDATECP) {
        x = dc->state.position.x;
        y = dc->state.position.y;
    }
    int left = x;
    switch (align & TA_CENTER) {
        case TA_CENTER:
            left = x - width / 2;
            break;
        case TA_RIGHT:
            left = x - width;
            break;
        default:
            break;
    }
    int baseline = y + f.ascent;
    if ((align & TA_BASELINE) == TA_BASELINE)
        baseline = y;
    else if (align & TA_BOTTOM)
        baseline = y - f.descent;
    if (align & TA_UPDATECP)
        dc->state.position.x = (align & TA_CENTER) == TA_RIGHT ? left : left + width;
    POINT origin = t.ToSurface(left, baseline);
    if (dc->state.bkMode == OPAQUE)
        FillBackground(
            t, RECT{origin.x, origin.y - f.ascent, origin.x + width, origin.y + f.descent}, limit);
    DrawRun(t, f, s, pos, origin.x, origin.y, limit);
    return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

// ---- DrawTextW
// -----------------------------------------------------------------------------------

namespace {

struct TextLine {
    std::u16string text;
    int underline = -1;  // index of the character a '&' prefix marks
};

// Removes '&' prefixes: "&&" is a literal '&', "&x" underlines x.
TextLine StripPrefixes(std::u16string_view s, bool prefixes) {
    TextLine line;
    if (!prefixes) {
        line.text = std::u16string(s);
        return line;
    }
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != u'&') line.underline = static_cast<int>(line.text.size());
        } else if (s[i] == u'&') {
            continue;  // a lone '&' at the end
        }
        line.text += s[i];
    }
    return line;
}

// Breaks one paragraph into lines no wider than `limit` at spaces; a word
// wider than the limit keeps a line of its own.
void WrapParagraph(FontInstance& f, const TextLine& para, int limit, int tabWidth,
                   std::vector<TextLine>& out) {
    const std::u16string& s = para.text;
    const size_t n = s.size();
    std::vector<int> pos = Positions(f, s, tabWidth);
    size_t start = 0;
    for (;;) {
        size_t end = n;
        size_t lastSpace = std::u16string::npos;
        for (size_t i = start; i < n; ++i) {
            if (pos[i + 1] - pos[start] > limit && i > start) {
                if (s[i] == u' ') {
                    end = i;
                } else if (lastSpace != std::u16string::npos && lastSpace > start) {
                    end = lastSpace;
                } else {
                    // One long word: it runs on to its end.
                    size_t j = s.find(u' ', i);
                    end = j == std::u16string::npos ? n : j;
                }
                break;
            }
            if (s[i] == u' ') lastSpace = i;
        }
        // Spaces where a line breaks belong to neither line.
        size_t trimmed = end;
        if (end < n)
            while (trimmed > start && s[trimmed - 1] == u' ') --trimmed;
        TextLine line;
        line.text = s.substr(start, trimmed - start);
        if (para.underline >= static_cast<int>(start) && para.underline < static_cast<int>(trimmed))
            line.underline = para.underline - static_cast<int>(start);
        out.push_back(std::move(line));
        size_t next = end;
        while (next < n && s[next] == u' ') ++next;
        if (next >= n) break;
        start = next;
    }
}

// Shortens a line until it and "..." fit in `limit`.
void AddEllipsis(FontInstance& f, TextLine& line, int limit, int tabWidth) {
    if (Width(f, line.text, tabWidth) <= limit) return;
    std::u16string base = line.text;
    while (!base.empty()) {
        base.pop_back();
        if (Width(f, base + u"...", tabWidth) <= limit) break;
    }
    line.text = base + u"...";
    if (line.underline >= static_cast<int>(base.size())) line.underline = -1;
}

}  // namespace

int DrawTextW(HDC handle, LPCWSTR text, int count, LPRECT rect, UINT format) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!text) return 0;
    size_t length = 0;
    if (count < 0) {
        while (text[length]) ++length;
    } else {
        length = static_cast<size_t>(count);
    }
    std::u16string_view s(text, length);
    int tabCount = 8;
    if (format & DT_TABSTOP) {
        tabCount = static_cast<int>((format >> 8) & 0xFF);
        format &= ~0xFF00u;
    }
    std::shared_ptr<Font> font = FontOf(*dc);
    std::lock_guard<std::recursive_mutex> fontGuard(FontLock());
    FontInstance& f = Realize(*font);
    int lineHeight = f.Height() + ((format & DT_EXTERNALLEADING) ? f.externalLeading : 0);
    int tabWidth =
        (format & DT_EXPANDTABS) ? std::max(1, tabCount) * std::max(1, f.aveCharWidth) : 0;
    int limit = rect->right - rect->left;
    bool single = (format & DT_SINGLELINE) != 0;

    if (length == 0) {
        if (format & DT_CALCRECT) {
            rect->right = rect->left;
            rect->bottom = single ? rect->top + lineHeight : rect->top;
        }
        return 0;
    }

    // Paragraphs, then lines.
    std::vector<TextLine> lines;
    bool prefixes = !(format & DT_NOPREFIX);
    auto addParagraph = [&](std::u16string_view p) {
        TextLine para = StripPrefixes(p, prefixes);
        if ((format & DT_WORDBREAK) && !single)
            WrapParagraph(f, para, limit, tabWidth, lines);
        else
            lines.push_back(std::move(para));
    };
    if (single) {
        addParagraph(s);
    } else {
        size_t start = 0;
        for (size_t i = 0; i <= s.size(); ++i) {
            if (i == s.size()) {
                addParagraph(s.substr(start));
                break;
            }
            if (s[i] == u'\r' || s[i] == u'\n') {
                addParagraph(s.substr(start, i - start));
                if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
                start = i + 1;
                if (start == s.size()) break;  // a final line break adds no line
            }
        }
    }
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (TextLine& line : lines) AddEllipsis(f, line, limit, tabWidth);

    int maxWidth = 0;
    std::vector<std::vector<int>> positions;
    for (const TextLine& line : lines) {
        positions.push_back(Positions(f, line.text, tabWidth));
        maxWidth = std::max(maxWidth, positions.back().back());
    }
    int total = static_cast<int>(lines.size()) * lineHeight;
    int y = rect->top;
    if (single) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top) / 2 - lineHeight / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    if (format & DT_CALCRECT) {
        rect->right = rect->left + maxWidth;
        rect->bottom = rect->top + total;
        return y - rect->top + total;
    }

    Target t(*dc);
    if (!t.Ok()) return 0;
    RECT area = t.ToSurface(*rect);
    RECT clipBox = (format & DT_NOCLIP) ? kNoLimit : area;
    uint32_t textPixel = SolidPixel(*dc, t.surface, dc->state.textColor);
    for (size_t i = 0; i < lines.size(); ++i) {
        const TextLine& line = lines[i];
        const std::vector<int>& pos = positions[i];
        int width = pos.back();
        int x = rect->left;
        if (format & DT_CENTER)
            x = (rect->left + rect->right - width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - width;
        POINT origin = t.ToSurface(x, y);
        if (dc->state.bkMode == OPAQUE)
            FillBackground(t, RECT{origin.x, origin.y, origin.x + width, origin.y + lineHeight},
                           clipBox);
        DrawRun(t, f, line.text, pos, origin.x, origin.y + f.ascent, clipBox);
        if (line.underline >= 0 && line.underline < static_cast<int>(line.text.size())) {
            int ux0 = origin.x + pos[static_cast<size_t>(line.underline)];
            int ux1 = origin.x + pos[static_cast<size_t>(line.underline) + 1];
            int uy = origin.y + f.ascent + 1;
            RECT u = IntersectRects(RECT{ux0, uy, ux1, uy + 1}, clipBox);
            if (!EmptyRect(u)) t.FillRect(u, 0, textPixel);
        }
        y += lineHeight;
    }
    return y - rect->top;
}
