// The "Edit" control: single-line (scrolling sideways with ES_AUTOHSCROLL,
// else refusing text that would not fit) and multi-line (wrapping words at
// the right edge unless ES_AUTOHSCROLL, scrolling down with ES_AUTOVSCROLL or
// a scroll bar). The text is UTF-16 with "\r\n" line ends; the selection runs
// from the anchor to the caret. Typing, pasting, cutting and deleting replace
// the selection and tell the parent EN_UPDATE (before the new text shows) and
// EN_CHANGE (after); text refused by the limit or the size brings EN_MAXTEXT.
// The focus brings EN_SETFOCUS and a caret, losing it EN_KILLFOCUS. The pen
// places the caret and drags a selection; a double tap selects a word.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <vector>

#include "controls/standard_controls.h"

namespace controls {

namespace {

constexpr int kDefaultLimit = 30000;
constexpr int kMaxLimit = 0x7FFFFFFE;

// One displayed line: [start, end) is shown, `next` starts the following line
// (after a "\r\n", or right at `end` where a long line wraps).
struct Line {
    int start = 0;
    int end = 0;
    int next = 0;
};

struct EditState : StateBase {
    std::u16string text;
    int anchor = 0;
    int caret = 0;
    int limit = kDefaultLimit;
    bool modified = false;
    bool canUndo = false;
    std::u16string undoText;
    int undoAnchor = 0;
    int undoCaret = 0;
    HFONT font = nullptr;
    int lineHeight = 12;
    int leftMargin = 1;
    int rightMargin = 1;
    bool customRect = false;
    RECT formatRect = {0, 0, 0, 0};  // with customRect
    std::vector<Line> lines;
    int top = 0;      // first visible line
    int xOffset = 0;  // pixels scrolled to the left
    int desiredX = -1;  // where up and down aim
    bool focused = false;
    bool tracking = false;
    WCHAR passwordChar = u'*';
    HWND combo = nullptr;  // the combo box this edit belongs to
    ScrollTracker scroll;
};

DWORD EditStyle(HWND hwnd) { return Style(hwnd); }
bool Multiline(DWORD style) { return (style & ES_MULTILINE) != 0; }
bool Password(DWORD style) { return (style & ES_PASSWORD) && !Multiline(style); }
bool Wraps(DWORD style) { return Multiline(style) && !(style & (ES_AUTOHSCROLL | WS_HSCROLL)); }
int Size(const EditState& s) { return static_cast<int>(s.text.size()); }
int SelMin(const EditState& s) { return std::min(s.anchor, s.caret); }
int SelMax(const EditState& s) { return std::max(s.anchor, s.caret); }

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// The text as it is drawn: a password shows one mask character per character.
std::u16string Shown(HWND hwnd, const EditState& s) {
    if (Password(EditStyle(hwnd)) && s.passwordChar) return std::u16string(s.text.size(), s.passwordChar);
    return s.text;
}

RECT FormatRect(HWND hwnd, const EditState& s) {
    if (s.customRect) return s.formatRect;
    RECT c;
    GetClientRect(hwnd, &c);
    RECT r = {c.left + s.leftMargin, c.top, c.right - s.rightMargin, c.bottom};
    if (!Multiline(EditStyle(hwnd))) {
        // A single line sits in the middle of the control.
        int spare = (c.bottom - c.top) - s.lineHeight;
        r.top = c.top + std::max(0, spare / 2);
        r.bottom = r.top + s.lineHeight;
    } else {
        r.top += 1;
    }
    if (r.right < r.left) r.right = r.left;
    return r;
}

int VisibleLines(HWND hwnd, const EditState& s) {
    RECT r = FormatRect(hwnd, s);
    return std::max(1, static_cast<int>(r.bottom - r.top) / std::max(1, s.lineHeight));
}

// ---- Layout ------------------------------------------------------------------------------

// Breaks the shown text into lines: at "\r\n" (or a lone "\n"), and with word
// wrap where a line would pass `width`, after the last space that fits (the
// spaces hang over the edge) or, for one long word, after what fits.
std::vector<Line> LayoutLines(const std::u16string& text, DWORD style, HFONT font, int width) {
    std::vector<Line> lines;
    int n = static_cast<int>(text.size());
    if (!Multiline(style)) {
        lines.push_back({0, n, n});
        return lines;
    }
    MeasureDC m(font);
    bool wrap = Wraps(style);
    std::vector<int> dx;
    int i = 0;
    while (true) {
        int end = i;
        while (end < n && text[static_cast<size_t>(end)] != u'\n') ++end;
        bool hard = end < n;
        int contentEnd = end;
        if (hard && contentEnd > i && text[static_cast<size_t>(contentEnd - 1)] == u'\r') --contentEnd;
        int after = hard ? end + 1 : end;
        int p = i;
        while (true) {
            int remaining = contentEnd - p;
            int fit = remaining;
            if (wrap && remaining > 0) {
                dx.assign(static_cast<size_t>(remaining), 0);
                SIZE size = {0, 0};
                GetTextExtentExPointW(m.dc(), text.c_str() + p, remaining, std::max(1, width), &fit, dx.data(), &size);
            }
            if (fit >= remaining) {
                lines.push_back({p, contentEnd, after});
                break;
            }
            fit = std::max(1, fit);
            int brk = p + fit;
            if (text[static_cast<size_t>(brk)] == u' ') {
                while (brk < contentEnd && text[static_cast<size_t>(brk)] == u' ') ++brk;
            } else {
                int k = brk;
                while (k > p && text[static_cast<size_t>(k - 1)] != u' ') --k;
                if (k > p) brk = k;
            }
            if (brk >= contentEnd) {
                lines.push_back({p, contentEnd, after});
                break;
            }
            lines.push_back({p, brk, brk});
            p = brk;
        }
        if (!hard) break;
        i = after;
        if (i == n) {
            lines.push_back({n, n, n});  // the empty line after a final line end
            break;
        }
    }
    return lines;
}

void Layout(HWND hwnd, EditState& s) {
    RECT r = FormatRect(hwnd, s);
    s.lines = LayoutLines(Shown(hwnd, s), EditStyle(hwnd), s.font, r.right - r.left);
}

int LineOf(const EditState& s, int pos) {
    int found = 0;
    for (int i = 0; i < static_cast<int>(s.lines.size()); ++i) {
        if (s.lines[static_cast<size_t>(i)].start <= pos) found = i;
        else break;
    }
    return found;
}

int Width(HWND hwnd, const EditState& s, int from, int to) {
    if (to <= from) return 0;
    std::u16string shown = Shown(hwnd, s);
    MeasureDC m(s.font);
    return m.Width(shown.c_str() + from, to - from);
}

// Where a line starts inside the format rectangle (ES_CENTER, ES_RIGHT).
int AlignOffset(HWND hwnd, const EditState& s, const Line& line, int width) {
    DWORD style = EditStyle(hwnd);
    DWORD align = style & (ES_CENTER | ES_RIGHT);
    if (align == 0) return 0;
    if (!Multiline(style) && (style & ES_AUTOHSCROLL)) {
        int w = Width(hwnd, s, line.start, line.end);
        if (w >= width) return 0;
        return align == ES_CENTER ? (width - w) / 2 : width - w - 1;
    }
    int w = Width(hwnd, s, line.start, line.end);
    return std::max(0, align == ES_CENTER ? (width - w) / 2 : width - w - 1);
}

// Client position of a character boundary.
POINT PosToPoint(HWND hwnd, const EditState& s, int pos) {
    RECT r = FormatRect(hwnd, s);
    int li = LineOf(s, pos);
    const Line& line = s.lines[static_cast<size_t>(li)];
    int x = r.left - s.xOffset + AlignOffset(hwnd, s, line, r.right - r.left) +
            Width(hwnd, s, line.start, std::min(pos, line.end));
    int y = r.top + (li - s.top) * s.lineHeight;
    return POINT{x, y};
}

// The character boundary nearest to a client point.
int PointToPos(HWND hwnd, const EditState& s, POINT p) {
    RECT r = FormatRect(hwnd, s);
    int li = s.top + static_cast<int>(std::floor(static_cast<double>(p.y - r.top) / std::max(1, s.lineHeight)));
    li = std::clamp(li, 0, static_cast<int>(s.lines.size()) - 1);
    const Line& line = s.lines[static_cast<size_t>(li)];
    int x = p.x - (r.left - s.xOffset + AlignOffset(hwnd, s, line, r.right - r.left));
    int count = line.end - line.start;
    if (x <= 0 || count == 0) return line.start;
    std::u16string shown = Shown(hwnd, s);
    MeasureDC m(s.font);
    std::vector<int> dx(static_cast<size_t>(count), 0);
    int fit = 0;
    SIZE size = {0, 0};
    GetTextExtentExPointW(m.dc(), shown.c_str() + line.start, count, 0x7FFFFFFF, &fit, dx.data(), &size);
    int previous = 0;
    for (int k = 0; k < count; ++k) {
        int edge = dx[static_cast<size_t>(k)];
        if (x < (previous + edge + 1) / 2) return line.start + k;
        previous = edge;
    }
    // Right of the text: the end of a wrapped line is the start of the next
    // one, so the caret stays before the hanging space instead.
    if (line.next == line.end && li + 1 < static_cast<int>(s.lines.size()) && count > 0) return line.end - 1;
    return line.end;
}

// Keeps positions out of the middle of a "\r\n".
int Valid(const EditState& s, int pos) {
    pos = std::clamp(pos, 0, Size(s));
    if (pos > 0 && pos < Size(s) && s.text[static_cast<size_t>(pos - 1)] == u'\r' &&
        s.text[static_cast<size_t>(pos)] == u'\n')
        --pos;
    return pos;
}

int NextPos(const EditState& s, int pos) {
    if (pos >= Size(s)) return pos;
    if (s.text[static_cast<size_t>(pos)] == u'\r' && pos + 1 < Size(s) && s.text[static_cast<size_t>(pos + 1)] == u'\n')
        return pos + 2;
    return pos + 1;
}

int PrevPos(const EditState& s, int pos) {
    if (pos <= 0) return 0;
    if (pos >= 2 && s.text[static_cast<size_t>(pos - 1)] == u'\n' && s.text[static_cast<size_t>(pos - 2)] == u'\r')
        return pos - 2;
    return pos - 1;
}

bool IsWordChar(WCHAR c) { return c != u' ' && c != u'\t' && c != u'\r' && c != u'\n'; }

int WordLeft(const EditState& s, int pos) {
    while (pos > 0 && !IsWordChar(s.text[static_cast<size_t>(pos - 1)])) --pos;
    while (pos > 0 && IsWordChar(s.text[static_cast<size_t>(pos - 1)])) --pos;
    return pos;
}

int WordRight(const EditState& s, int pos) {
    int n = Size(s);
    while (pos < n && IsWordChar(s.text[static_cast<size_t>(pos)])) ++pos;
    while (pos < n && !IsWordChar(s.text[static_cast<size_t>(pos)])) ++pos;
    return pos;
}

int MaxLineWidth(HWND hwnd, const EditState& s) {
    int w = 0;
    for (const Line& l : s.lines) w = std::max(w, Width(hwnd, s, l.start, l.end));
    return w;
}

// ---- Scrolling, caret, redraw ------------------------------------------------------------

void UpdateScrollBars(HWND hwnd, EditState& s) {
    DWORD style = EditStyle(hwnd);
    if (!Multiline(style)) return;
    if (style & WS_VSCROLL) {
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                         std::max(0, static_cast<int>(s.lines.size()) - 1),
                         static_cast<UINT>(VisibleLines(hwnd, s)), s.top, 0};
        SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    }
    if (style & WS_HSCROLL) {
        RECT r = FormatRect(hwnd, s);
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                         std::max(0, MaxLineWidth(hwnd, s)), static_cast<UINT>(std::max(1, static_cast<int>(r.right - r.left))),
                         s.xOffset, 0};
        SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
    }
}

void UpdateCaret(HWND hwnd, EditState& s) {
    if (!s.focused) return;
    POINT p = PosToPoint(hwnd, s, s.caret);
    SetCaretPos(p.x, p.y);
}

// Scrolls so the caret shows; returns whether anything scrolled.
bool ScrollToCaret(HWND hwnd, EditState& s) {
    DWORD style = EditStyle(hwnd);
    RECT r = FormatRect(hwnd, s);
    int width = r.right - r.left;
    bool changed = false;
    int li = LineOf(s, s.caret);
    if (Multiline(style)) {
        int rows = VisibleLines(hwnd, s);
        int top = s.top;
        if (li < top) top = li;
        else if (li >= top + rows) top = li - rows + 1;
        top = std::clamp(top, 0, std::max(0, static_cast<int>(s.lines.size()) - 1));
        if (top != s.top) {
            s.top = top;
            changed = true;
        }
    }
    if (!Wraps(style)) {
        const Line& line = s.lines[static_cast<size_t>(li)];
        int x = AlignOffset(hwnd, s, line, width) + Width(hwnd, s, line.start, std::min(s.caret, line.end));
        int offset = s.xOffset;
        if (x < offset) offset = x;
        else if (x > offset + width - 1) offset = x - width + 1;
        int widest = MaxLineWidth(hwnd, s);
        offset = std::clamp(offset, 0, std::max(0, widest - width + 1));
        if (offset != s.xOffset) {
            s.xOffset = offset;
            changed = true;
        }
    } else {
        s.xOffset = 0;
    }
    if (changed) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateScrollBars(hwnd, s);
    }
    return changed;
}

void Refresh(HWND hwnd, EditState& s) {
    ScrollToCaret(hwnd, s);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateCaret(hwnd, s);
}

// Moves the caret (extending the selection with `extend`).
void MoveCaret(HWND hwnd, EditState& s, int pos, bool extend) {
    pos = Valid(s, pos);
    s.caret = pos;
    if (!extend) s.anchor = pos;
    Refresh(hwnd, s);
}

// The window manager keeps a copy of the text for other threads.
void SyncWindowText(HWND hwnd, const EditState& s) { DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.text.c_str())); }

void Beep() { MessageBeep(MB_OK); }

// ---- Changing the text ----------------------------------------------------------------------

std::u16string Cased(HWND hwnd, std::u16string text) {
    DWORD style = EditStyle(hwnd);
    if (style & ES_UPPERCASE) CharUpperW(text.data());
    else if (style & ES_LOWERCASE) CharLowerW(text.data());
    return text;
}

// Whether the text would still fit where the control cannot scroll.
bool Fits(HWND hwnd, const EditState& s, const std::u16string& candidate) {
    DWORD style = EditStyle(hwnd);
    RECT r = FormatRect(hwnd, s);
    if (!Multiline(style)) {
        if (style & ES_AUTOHSCROLL) return true;
        std::u16string shown = Password(style) && s.passwordChar ? std::u16string(candidate.size(), s.passwordChar) : candidate;
        MeasureDC m(s.font);
        return m.Width(shown.c_str(), static_cast<int>(shown.size())) <= r.right - r.left;
    }
    if (style & (ES_AUTOVSCROLL | WS_VSCROLL)) return true;
    std::vector<Line> lines = LayoutLines(candidate, style, s.font, r.right - r.left);
    return static_cast<int>(lines.size()) <= VisibleLines(hwnd, s);
}

// Replaces the selection with `insert` as the user's edit: the limit and the
// room decide what goes in; the parent hears EN_UPDATE, EN_CHANGE and, when
// something was refused, EN_MAXTEXT. Returns whether the text changed.
bool ReplaceSelection(HWND hwnd, EditState& s, std::u16string insert, bool undoable) {
    DWORD style = EditStyle(hwnd);
    insert = Cased(hwnd, std::move(insert));
    if (!Multiline(style)) {
        size_t cut = insert.find_first_of(u"\r\n");
        if (cut != std::u16string::npos) insert.resize(cut);
    }
    int a = SelMin(s), b = SelMax(s);
    int64_t room = static_cast<int64_t>(s.limit) - (Size(s) - (b - a));
    bool refused = false;
    if (room < static_cast<int64_t>(insert.size())) {
        insert.resize(static_cast<size_t>(std::max<int64_t>(0, room)));
        // Never split a "\r\n".
        if (!insert.empty() && insert.back() == u'\r') insert.pop_back();
        refused = true;
    }
    if (insert.empty() && a == b) {
        if (refused) Notify(hwnd, EN_MAXTEXT);
        return false;
    }
    std::u16string candidate = s.text.substr(0, static_cast<size_t>(a)) + insert + s.text.substr(static_cast<size_t>(b));
    if (!Fits(hwnd, s, candidate)) {
        Notify(hwnd, EN_MAXTEXT);
        return false;
    }
    if (undoable) {
        s.undoText = s.text;
        s.undoAnchor = s.anchor;
        s.undoCaret = s.caret;
        s.canUndo = true;
    }
    s.text = std::move(candidate);
    s.anchor = s.caret = a + static_cast<int>(insert.size());
    s.modified = true;
    s.desiredX = -1;
    Layout(hwnd, s);
    SyncWindowText(hwnd, s);
    ScrollToCaret(hwnd, s);
    UpdateScrollBars(hwnd, s);
    Notify(hwnd, EN_UPDATE);
    if (!IsWindow(hwnd)) return true;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    UpdateCaret(hwnd, s);
    Notify(hwnd, EN_CHANGE);
    if (refused && IsWindow(hwnd)) Notify(hwnd, EN_MAXTEXT);
    return true;
}

void SetText(HWND hwnd, EditState& s, const WCHAR* text) {
    s.text = Cased(hwnd, text ? std::u16string(text) : std::u16string());
    s.anchor = s.caret = 0;
    s.top = 0;
    s.xOffset = 0;
    s.modified = false;
    s.canUndo = false;
    s.desiredX = -1;
    Layout(hwnd, s);
    SyncWindowText(hwnd, s);
    UpdateScrollBars(hwnd, s);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateCaret(hwnd, s);
    // A multi-line edit does not report text that the program set.
    if (!Multiline(EditStyle(hwnd))) {
        Notify(hwnd, EN_UPDATE);
        if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
    }
}

bool Undo(HWND hwnd, EditState& s) {
    if (!s.canUndo || (EditStyle(hwnd) & ES_READONLY)) return false;
    std::swap(s.text, s.undoText);
    std::swap(s.anchor, s.undoAnchor);
    std::swap(s.caret, s.undoCaret);
    s.anchor = Valid(s, s.anchor);
    s.caret = Valid(s, s.caret);
    s.modified = true;
    Layout(hwnd, s);
    SyncWindowText(hwnd, s);
    ScrollToCaret(hwnd, s);
    UpdateScrollBars(hwnd, s);
    Notify(hwnd, EN_UPDATE);
    if (!IsWindow(hwnd)) return true;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    UpdateCaret(hwnd, s);
    Notify(hwnd, EN_CHANGE);
    return true;
}

// ---- Clipboard ------------------------------------------------------------------------------

bool Copy(HWND hwnd, const EditState& s) {
    int a = SelMin(s), b = SelMax(s);
    if (a == b || Password(EditStyle(hwnd))) return false;
    if (!OpenClipboard(hwnd)) return false;
    EmptyClipboard();
    size_t n = static_cast<size_t>(b - a);
    HLOCAL block = LocalAlloc(LMEM_FIXED, (n + 1) * sizeof(WCHAR));
    if (block) {
        WCHAR* out = static_cast<WCHAR*>(block);
        std::copy(s.text.begin() + a, s.text.begin() + b, out);
        out[n] = 0;
        if (!SetClipboardData(CF_UNICODETEXT, block)) LocalFree(block);
    }
    CloseClipboard();
    return block != nullptr;
}

bool Paste(HWND hwnd, EditState& s) {
    if (EditStyle(hwnd) & ES_READONLY) return false;
    if (!OpenClipboard(hwnd)) return false;
    std::u16string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) text = static_cast<const WCHAR*>(data);
    CloseClipboard();
    if (text.empty()) return false;
    return ReplaceSelection(hwnd, s, text, true);
}

bool Clear(HWND hwnd, EditState& s) {
    if ((EditStyle(hwnd) & ES_READONLY) || SelMin(s) == SelMax(s)) return false;
    return ReplaceSelection(hwnd, s, std::u16string(), true);
}

// ---- Keys -----------------------------------------------------------------------------------

bool KeyDown(HWND hwnd, EditState& s, WPARAM key, LPARAM lParam) {
    DWORD style = EditStyle(hwnd);
    bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    bool multi = Multiline(style);
    if (s.combo && (key == VK_UP || key == VK_DOWN || key == VK_F4 || key == VK_RETURN || key == VK_ESCAPE ||
                    key == VK_PRIOR || key == VK_NEXT)) {
        SendMessageW(s.combo, WM_KEYDOWN, key, lParam);
        return true;
    }
    int caret = s.caret;
    int li = LineOf(s, caret);
    auto vertical = [&](int delta) {
        POINT p = PosToPoint(hwnd, s, caret);
        if (s.desiredX < 0) s.desiredX = p.x;
        int target = std::clamp(li + delta, 0, static_cast<int>(s.lines.size()) - 1);
        RECT r = FormatRect(hwnd, s);
        POINT q = {s.desiredX, r.top + (target - s.top) * s.lineHeight + s.lineHeight / 2};
        int desired = s.desiredX;
        MoveCaret(hwnd, s, PointToPos(hwnd, s, q), shift);
        s.desiredX = desired;
    };
    switch (key) {
    case VK_LEFT:
    case VK_UP:
        if (key == VK_UP && multi) {
            vertical(-1);
            return true;
        }
        if (!shift && SelMin(s) != SelMax(s)) MoveCaret(hwnd, s, SelMin(s), false);
        else MoveCaret(hwnd, s, ctrl ? WordLeft(s, caret) : PrevPos(s, caret), shift);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (key == VK_DOWN && multi) {
            vertical(1);
            return true;
        }
        if (!shift && SelMin(s) != SelMax(s)) MoveCaret(hwnd, s, SelMax(s), false);
        else MoveCaret(hwnd, s, ctrl ? WordRight(s, caret) : NextPos(s, caret), shift);
        break;
    case VK_HOME:
        MoveCaret(hwnd, s, ctrl || !multi ? 0 : s.lines[static_cast<size_t>(li)].start, shift);
        break;
    case VK_END:
        MoveCaret(hwnd, s, ctrl || !multi ? Size(s) : s.lines[static_cast<size_t>(li)].end, shift);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        if (!multi) return false;
        vertical((key == VK_PRIOR ? -1 : 1) * std::max(1, VisibleLines(hwnd, s) - 1));
        return true;
    case VK_DELETE:
        if (style & ES_READONLY) return true;
        if (shift) {
            if (Copy(hwnd, s)) Clear(hwnd, s);
            return true;
        }
        if (SelMin(s) == SelMax(s)) {
            if (caret >= Size(s)) return true;
            s.anchor = caret;
            s.caret = NextPos(s, caret);
        }
        ReplaceSelection(hwnd, s, std::u16string(), true);
        return true;
    case VK_INSERT:
        if (ctrl) Copy(hwnd, s);
        else if (shift) Paste(hwnd, s);
        return true;
    default: return false;
    }
    s.desiredX = -1;
    return true;
}

void Char(HWND hwnd, EditState& s, WCHAR c) {
    DWORD style = EditStyle(hwnd);
    switch (c) {
    case 1:  // Ctrl+A
        s.anchor = 0;
        s.caret = Size(s);
        Refresh(hwnd, s);
        return;
    case 3: Copy(hwnd, s); return;       // Ctrl+C
    case 0x16: Paste(hwnd, s); return;   // Ctrl+V
    case 0x18:                           // Ctrl+X
        if (!(style & ES_READONLY) && Copy(hwnd, s)) Clear(hwnd, s);
        return;
    case 0x1A: Undo(hwnd, s); return;    // Ctrl+Z
    default: break;
    }
    if (style & ES_READONLY) {
        if (c >= 0x20 || c == 8) Beep();
        return;
    }
    if (c == 8) {
        if (SelMin(s) == SelMax(s)) {
            if (s.caret == 0) return;
            s.anchor = s.caret;
            s.caret = PrevPos(s, s.caret);
        }
        ReplaceSelection(hwnd, s, std::u16string(), true);
        return;
    }
    if (c == u'\r' || c == u'\n') {
        if (Multiline(style)) ReplaceSelection(hwnd, s, u"\r\n", true);
        return;
    }
    if (c == u'\t') {
        if (Multiline(style)) ReplaceSelection(hwnd, s, u"\t", true);
        return;
    }
    if (c < 0x20) return;
    if ((style & ES_NUMBER) && !(c >= u'0' && c <= u'9')) {
        Beep();
        return;
    }
    ReplaceSelection(hwnd, s, std::u16string(1, c), true);
}

// ---- Painting -------------------------------------------------------------------------------

void Paint(HWND hwnd, EditState& s, HDC dc) {
    DWORD style = EditStyle(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    // A read-only or disabled edit is coloured like a static.
    UINT ask = ((style & ES_READONLY) || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    HBRUSH brush = ControlColor(hwnd, dc, ask);
    FillRect(dc, &client, brush);
    COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    HGDIOBJ oldFont = SelectObject(dc, FontOrSystem(s.font));
    SetBkMode(dc, TRANSPARENT);
    RECT r = FormatRect(hwnd, s);
    int saved = SaveDC(dc);
    RECT clip = r;
    if (!Multiline(style)) {
        clip.top = client.top;
        clip.bottom = client.bottom;
    }
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    std::u16string shown = Shown(hwnd, s);
    bool showSelection = (s.focused || (style & ES_NOHIDESEL)) && SelMin(s) != SelMax(s);
    int a = SelMin(s), b = SelMax(s);
    MeasureDC m(s.font);
    int rows = VisibleLines(hwnd, s) + 1;
    for (int li = s.top; li < static_cast<int>(s.lines.size()) && li < s.top + rows; ++li) {
        const Line& line = s.lines[static_cast<size_t>(li)];
        int y = r.top + (li - s.top) * s.lineHeight;
        int x0 = r.left - s.xOffset + AlignOffset(hwnd, s, line, r.right - r.left);
        // Up to three runs: before, inside and after the selection.
        int cuts[4] = {line.start, line.end, line.end, line.end};
        if (showSelection) {
            cuts[1] = std::clamp(a, line.start, line.end);
            cuts[2] = std::clamp(b, line.start, line.end);
        }
        for (int k = 0; k < 3; ++k) {
            int from = cuts[k], to = cuts[k + 1];
            if (to <= from) continue;
            int x = x0 + m.Width(shown.c_str() + line.start, from - line.start);
            int w = m.Width(shown.c_str() + from, to - from);
            if (k == 1) {
                RECT hi = {x, y, x + w, y + s.lineHeight};
                FillRect(dc, &hi, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            } else {
                SetTextColor(dc, textColor);
            }
            TextOutW(dc, x, y, shown.c_str() + from, to - from);
        }
    }
    RestoreDC(dc, saved);
    SelectObject(dc, oldFont);
}

// ---- Messages with results --------------------------------------------------------------------

LRESULT GetSel(const EditState& s, WPARAM wParam, LPARAM lParam) {
    DWORD a = static_cast<DWORD>(SelMin(s)), b = static_cast<DWORD>(SelMax(s));
    if (wParam) *reinterpret_cast<DWORD*>(wParam) = a;
    if (lParam) *reinterpret_cast<DWORD*>(lParam) = b;
    if (a > 0xFFFF || b > 0xFFFF) return -1;
    return MAKELRESULT(a, b);
}

void SetSel(HWND hwnd, EditState& s, WPARAM wParam, LPARAM lParam) {
    int start = static_cast<int>(wParam), end = static_cast<int>(lParam);
    if (start == -1) {
        s.anchor = s.caret;  // only drops the selection
    } else {
        if (end < 0 || end > Size(s)) end = Size(s);
        start = std::clamp(start, 0, Size(s));
        s.anchor = Valid(s, start);
        s.caret = Valid(s, end);
    }
    s.desiredX = -1;
    Refresh(hwnd, s);
}

LRESULT LineLength(HWND hwnd, const EditState& s, WPARAM wParam) {
    if (!Multiline(EditStyle(hwnd))) return Size(s);
    int index = static_cast<int>(wParam);
    if (index == -1) {
        // The characters that are not selected on the lines the selection touches.
        const Line& first = s.lines[static_cast<size_t>(LineOf(s, SelMin(s)))];
        const Line& last = s.lines[static_cast<size_t>(LineOf(s, SelMax(s)))];
        return (SelMin(s) - first.start) + std::max(0, last.end - SelMax(s));
    }
    if (index < 0 || index > Size(s)) return 0;
    const Line& line = s.lines[static_cast<size_t>(LineOf(s, index))];
    return line.end - line.start;
}

LRESULT GetLine(HWND hwnd, const EditState& s, WPARAM wParam, LPARAM lParam) {
    WCHAR* buffer = reinterpret_cast<WCHAR*>(lParam);
    if (!buffer) return 0;
    int capacity = *reinterpret_cast<const WORD*>(buffer);
    int li = Multiline(EditStyle(hwnd)) ? static_cast<int>(wParam) : 0;
    if (li < 0 || li >= static_cast<int>(s.lines.size())) return 0;
    const Line& line = s.lines[static_cast<size_t>(li)];
    int n = std::min(capacity, line.end - line.start);
    std::copy(s.text.begin() + line.start, s.text.begin() + line.start + n, buffer);
    if (n < capacity) buffer[n] = 0;
    return n;
}

void ScrollLines(HWND hwnd, EditState& s, int delta) {
    int top = std::clamp(s.top + delta, 0, std::max(0, static_cast<int>(s.lines.size()) - 1));
    if (top == s.top) return;
    s.top = top;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateScrollBars(hwnd, s);
    UpdateCaret(hwnd, s);
}

void OnVScroll(HWND hwnd, EditState& s, WPARAM wParam) {
    int rows = std::max(1, VisibleLines(hwnd, s) - 1);
    int last = std::max(0, static_cast<int>(s.lines.size()) - VisibleLines(hwnd, s));
    switch (LOWORD(wParam)) {
    case SB_LINEUP: ScrollLines(hwnd, s, -1); break;
    case SB_LINEDOWN: if (s.top < last) ScrollLines(hwnd, s, 1); break;
    case SB_PAGEUP: ScrollLines(hwnd, s, -rows); break;
    case SB_PAGEDOWN: ScrollLines(hwnd, s, std::min(rows, last - s.top)); break;
    case SB_TOP: ScrollLines(hwnd, s, -s.top); break;
    case SB_BOTTOM: ScrollLines(hwnd, s, last - s.top); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        int pos = GetScrollInfo(hwnd, SB_VERT, &si) ? si.nTrackPos : HIWORD(wParam);
        ScrollLines(hwnd, s, pos - s.top);
        break;
    }
    default: return;
    }
    Notify(hwnd, EN_VSCROLL);
}

void OnHScroll(HWND hwnd, EditState& s, WPARAM wParam) {
    RECT r = FormatRect(hwnd, s);
    int page = std::max(1, static_cast<int>(r.right - r.left));
    int widest = std::max(0, MaxLineWidth(hwnd, s) - page + 1);
    int offset = s.xOffset;
    switch (LOWORD(wParam)) {
    case SB_LINELEFT: offset -= 8; break;
    case SB_LINERIGHT: offset += 8; break;
    case SB_PAGELEFT: offset -= page; break;
    case SB_PAGERIGHT: offset += page; break;
    case SB_LEFT: offset = 0; break;
    case SB_RIGHT: offset = widest; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        offset = GetScrollInfo(hwnd, SB_HORZ, &si) ? si.nTrackPos : HIWORD(wParam);
        break;
    }
    default: return;
    }
    offset = std::clamp(offset, 0, widest);
    if (offset == s.xOffset) return;
    s.xOffset = offset;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateScrollBars(hwnd, s);
    UpdateCaret(hwnd, s);
    Notify(hwnd, EN_HSCROLL);
}

void SetFont(HWND hwnd, EditState& s, HFONT font) {
    s.font = font;
    s.lineHeight = LineHeight(font);
    Layout(hwnd, s);
    if (s.focused) {
        DestroyCaret();
        CreateCaret(hwnd, nullptr, 1, s.lineHeight);
        ShowCaret(hwnd);
    }
    ScrollToCaret(hwnd, s);
    UpdateScrollBars(hwnd, s);
    UpdateCaret(hwnd, s);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    EditState* s = EnsureState<EditState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_CREATE: {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        HWND parent = GetParent(hwnd);
        if ((Style(hwnd) & WS_CHILD) && parent && HasClass(parent, u"ComboBox")) s->combo = parent;
        s->lineHeight = LineHeight(s->font);
        s->text = Cased(hwnd, cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) ? std::u16string(cs->lpszName)
                                                                                  : std::u16string());
        Layout(hwnd, *s);
        SyncWindowText(hwnd, *s);
        UpdateScrollBars(hwnd, *s);
        return 0;
    }
    case WM_NCDESTROY:
        ReleaseState<EditState>(hwnd);
        return 0;
    case WM_DESTROY:
        if (s->focused) DestroyCaret();
        s->focused = false;
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        DWORD style = EditStyle(hwnd);
        if (Multiline(style) && (style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
        // A dropped combo box list takes Enter and Escape through its edit.
        if (s->combo) code |= SendMessageW(s->combo, WM_GETDLGCODE, wParam, lParam) & DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETTEXT:
        SetText(hwnd, *s, reinterpret_cast<const WCHAR*>(lParam));
        return TRUE;
    case WM_GETTEXT: {
        WCHAR* out = reinterpret_cast<WCHAR*>(lParam);
        if (!out || wParam == 0) return 0;
        size_t n = std::min<size_t>(s->text.size(), wParam - 1);
        std::copy(s->text.begin(), s->text.begin() + static_cast<std::ptrdiff_t>(n), out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return Size(*s);
    case WM_SETFONT:
        SetFont(hwnd, *s, reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SIZE:
        Layout(hwnd, *s);
        s->top = std::clamp(s->top, 0, std::max(0, static_cast<int>(s->lines.size()) - 1));
        ScrollToCaret(hwnd, *s);
        UpdateScrollBars(hwnd, *s);
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateCaret(hwnd, *s);
        return 0;
    case WM_STYLECHANGED:
        Layout(hwnd, *s);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;

    case EM_GETSEL: return GetSel(*s, wParam, lParam);
    case EM_SETSEL: SetSel(hwnd, *s, wParam, lParam); return 1;
    case EM_REPLACESEL:
        ReplaceSelection(hwnd, *s, lParam ? std::u16string(reinterpret_cast<const WCHAR*>(lParam)) : std::u16string(),
                         wParam != 0);
        return 0;
    case EM_LIMITTEXT: {
        int limit = static_cast<int>(wParam);
        s->limit = (limit <= 0 || limit > kMaxLimit) ? kMaxLimit : limit;
        return 0;
    }
    case EM_GETLIMITTEXT: return s->limit;
    case EM_GETLINECOUNT: return static_cast<LRESULT>(s->lines.size());
    case EM_LINEINDEX: {
        int li = static_cast<int>(wParam);
        if (li == -1) li = LineOf(*s, s->caret);
        if (li < 0 || li >= static_cast<int>(s->lines.size())) return -1;
        return s->lines[static_cast<size_t>(li)].start;
    }
    case EM_LINELENGTH: return LineLength(hwnd, *s, wParam);
    case EM_LINEFROMCHAR: {
        int index = static_cast<int>(wParam);
        if (index == -1) index = SelMin(*s);
        return LineOf(*s, std::clamp(index, 0, Size(*s)));
    }
    case EM_GETLINE: return GetLine(hwnd, *s, wParam, lParam);
    case EM_SCROLLCARET:
        ScrollToCaret(hwnd, *s);
        UpdateCaret(hwnd, *s);
        return TRUE;
    case EM_SETREADONLY: {
        DWORD style = EditStyle(hwnd);
        DWORD wanted = wParam ? (style | ES_READONLY) : (style & ~static_cast<DWORD>(ES_READONLY));
        if (wanted != style) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wanted));
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case EM_GETMODIFY: return s->modified ? TRUE : FALSE;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_CANUNDO: return s->canUndo ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO: return Undo(hwnd, *s) ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
        s->canUndo = false;
        s->undoText.clear();
        return 0;
    case EM_SETPASSWORDCHAR: {
        s->passwordChar = static_cast<WCHAR>(wParam);
        DWORD style = EditStyle(hwnd);
        DWORD wanted = wParam ? (style | ES_PASSWORD) : (style & ~static_cast<DWORD>(ES_PASSWORD));
        if (wanted != style) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wanted));
        Layout(hwnd, *s);
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateCaret(hwnd, *s);
        return 0;
    }
    case EM_GETPASSWORDCHAR: return Password(EditStyle(hwnd)) ? s->passwordChar : 0;
    case EM_GETFIRSTVISIBLELINE:
        if (Multiline(EditStyle(hwnd))) return s->top;
        return PointToPos(hwnd, *s, POINT{FormatRect(hwnd, *s).left, FormatRect(hwnd, *s).top});
    case EM_LINESCROLL:
        if (!Multiline(EditStyle(hwnd))) return FALSE;
        ScrollLines(hwnd, *s, static_cast<int>(lParam));
        return TRUE;
    case EM_SCROLL: {
        if (!Multiline(EditStyle(hwnd))) return FALSE;
        int before = s->top;
        OnVScroll(hwnd, *s, wParam);
        return MAKELRESULT(static_cast<WORD>(static_cast<SHORT>(s->top - before)), TRUE);
    }
    case EM_GETRECT:
        if (lParam) *reinterpret_cast<RECT*>(lParam) = FormatRect(hwnd, *s);
        return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (lParam) {
            s->formatRect = *reinterpret_cast<const RECT*>(lParam);
            s->customRect = true;
        } else {
            s->customRect = false;
        }
        Layout(hwnd, *s);
        if (message == EM_SETRECT) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case EM_SETMARGINS:
        if (wParam & EC_LEFTMARGIN) s->leftMargin = LOWORD(lParam) == EC_USEFONTINFO ? 1 : LOWORD(lParam);
        if (wParam & EC_RIGHTMARGIN) s->rightMargin = HIWORD(lParam) == EC_USEFONTINFO ? 1 : HIWORD(lParam);
        Layout(hwnd, *s);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case EM_GETMARGINS: return MAKELRESULT(s->leftMargin, s->rightMargin);
    case EM_POSFROMCHAR: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= Size(*s)) return -1;
        POINT p = PosToPoint(hwnd, *s, index);
        return MAKELRESULT(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
    }
    case EM_CHARFROMPOS: {
        POINT p = PointOf(lParam);
        int pos = PointToPos(hwnd, *s, p);
        return MAKELRESULT(static_cast<WORD>(pos), static_cast<WORD>(LineOf(*s, pos)));
    }
    case EM_FMTLINES: return FALSE;
    case EM_SETTABSTOPS: return TRUE;

    case WM_CUT:
        if (!(EditStyle(hwnd) & ES_READONLY) && Copy(hwnd, *s)) Clear(hwnd, *s);
        return 0;
    case WM_COPY: Copy(hwnd, *s); return 0;
    case WM_PASTE: Paste(hwnd, *s); return 0;
    case WM_CLEAR: Clear(hwnd, *s); return 0;

    case WM_SETFOCUS:
        s->focused = true;
        CreateCaret(hwnd, nullptr, 1, s->lineHeight);
        UpdateCaret(hwnd, *s);
        ShowCaret(hwnd);
        if (SelMin(*s) != SelMax(*s)) InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        if (s->tracking && GetCapture() == hwnd) ReleaseCapture();
        s->tracking = false;
        HideCaret(hwnd);
        DestroyCaret();
        if (SelMin(*s) != SelMax(*s) && !(EditStyle(hwnd) & ES_NOHIDESEL)) InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p = PointOf(lParam);
        RECT c;
        GetClientRect(hwnd, &c);
        if (!PtInRect(&c, p)) {
            BeginWindowScrollTracking(s->scroll, hwnd, p, true);
            return 0;
        }
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd) || !s->focused) return 0;
        int pos = PointToPos(hwnd, *s, p);
        if (message == WM_LBUTTONDBLCLK) {
            // A double tap selects the word under the pen.
            int a = pos, b = pos;
            while (a > 0 && IsWordChar(s->text[static_cast<size_t>(a - 1)])) --a;
            while (b < Size(*s) && IsWordChar(s->text[static_cast<size_t>(b)])) ++b;
            s->anchor = a;
            s->caret = b;
            Refresh(hwnd, *s);
            return 0;
        }
        bool shift = (wParam & MK_SHIFT) || GetKeyState(VK_SHIFT) < 0;
        MoveCaret(hwnd, *s, pos, shift);
        s->desiredX = -1;
        s->tracking = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->scroll.Active()) {
            s->scroll.Move(PointOf(lParam));
        } else if (s->tracking) {
            int pos = PointToPos(hwnd, *s, PointOf(lParam));
            if (pos != s->caret) MoveCaret(hwnd, *s, pos, true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->scroll.Active()) {
            s->scroll.End(PointOf(lParam));
        } else if (s->tracking) {
            s->tracking = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            s->scroll.Cancel();
            s->tracking = false;
        }
        return 0;
    case WM_TIMER:
        if (wParam == kRepeatTimer) {
            s->scroll.Timer();
            return 0;
        }
        break;
    case WM_VSCROLL: OnVScroll(hwnd, *s, wParam); return 0;
    case WM_HSCROLL: OnHScroll(hwnd, *s, wParam); return 0;
    case WM_KEYDOWN:
        if (KeyDown(hwnd, *s, wParam, lParam)) return 0;
        break;
    case WM_CHAR:
        if (s->combo && (wParam == u'\r' || wParam == 27)) return 0;  // the combo box took the key
        Char(hwnd, *s, static_cast<WCHAR>(wParam));
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        // The caret is an inversion of what lies under it: it comes off
        // while the text is painted and goes back on top afterwards.
        if (s->focused) HideCaret(hwnd);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *s, dc);
        EndPaint(hwnd, &ps);
        if (s->focused) ShowCaret(hwnd);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace controls
