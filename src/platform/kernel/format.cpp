// UTF-16 formatting: wsprintfW and the C runtime's swprintf family on WCHAR
// text. One formatter serves all of them; it writes into a bounded output
// and never past it. LONG is 32 bits on the device, so "%ld" and "%lu" read
// 32-bit arguments; "%lld" and "%I64d" read 64-bit ones.
#include <cstdio>
#include <cstring>

#include "windows.h"

namespace {

// Collects output up to a capacity (counting the terminator) and remembers
// whether anything was cut.
class Output {
public:
    Output(WCHAR* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void Put(WCHAR c) {
        if (length_ + 1 < capacity_) {
            buffer_[length_++] = c;
        } else {
            truncated_ = true;
        }
    }
    void PutRepeated(WCHAR c, int count) {
        for (int i = 0; i < count; ++i) Put(c);
    }
    int Finish() {
        if (capacity_ > 0) buffer_[length_] = 0;
        return static_cast<int>(length_);
    }
    bool truncated() const { return truncated_; }

private:
    WCHAR* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool truncated_ = false;
};

struct Spec {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
    enum { kShort, kInt, kLong64 } size = kInt;
    bool narrowText = false;  // %hs, %S: single-byte text
    bool wideText = false;    // %ls, %ws: always UTF-16
};

// Emits `body` (already converted) with padding; `prefix` (sign or 0x) goes
// before zero padding.
void EmitPadded(Output& out, const Spec& spec, const char* prefix, const WCHAR* body, size_t length) {
    size_t prefixLength = std::strlen(prefix);
    int pad = spec.width - static_cast<int>(prefixLength + length);
    if (pad < 0) pad = 0;
    if (!spec.leftAlign && !spec.zeroPad) out.PutRepeated(u' ', pad);
    for (size_t i = 0; i < prefixLength; ++i) out.Put(static_cast<WCHAR>(prefix[i]));
    if (!spec.leftAlign && spec.zeroPad) out.PutRepeated(u'0', pad);
    for (size_t i = 0; i < length; ++i) out.Put(body[i]);
    if (spec.leftAlign) out.PutRepeated(u' ', pad);
}

void EmitAscii(Output& out, const Spec& spec, const char* prefix, const char* text) {
    WCHAR wide[400];
    size_t n = 0;
    for (; text[n] && n < sizeof(wide) / sizeof(wide[0]); ++n) wide[n] = static_cast<unsigned char>(text[n]);
    EmitPadded(out, spec, prefix, wide, n);
}

void EmitInteger(Output& out, Spec spec, unsigned long long magnitude, bool negative, int base,
                 bool upper) {
    char digits[32];
    int n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
        digits[n++] = set[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    // A precision sets the minimum digit count and turns off zero padding.
    char text[64];
    int length = 0;
    int minimum = spec.precision >= 0 ? spec.precision : 1;
    if (spec.precision == 0 && n == 1 && digits[0] == '0') n = 0, minimum = 0;
    for (int i = n; i < minimum && length < 40; ++i) text[length++] = '0';
    while (n > 0) text[length++] = digits[--n];
    text[length] = 0;
    if (spec.precision >= 0) spec.zeroPad = false;
    const char* prefix = negative ? "-" : spec.plusSign ? "+" : spec.spaceSign ? " " : "";
    if (spec.alternate && base == 16 && length > 0) prefix = upper ? "0X" : "0x";
    EmitAscii(out, spec, prefix, text);
}

void EmitFloat(Output& out, const Spec& spec, double value, char conversion) {
    char format[32];
    int k = 0;
    format[k++] = '%';
    if (spec.leftAlign) format[k++] = '-';
    if (spec.zeroPad) format[k++] = '0';
    if (spec.plusSign) format[k++] = '+';
    if (spec.spaceSign) format[k++] = ' ';
    if (spec.alternate) format[k++] = '#';
    format[k] = 0;
    char text[400];
    int width = spec.width > 300 ? 300 : spec.width;
    int precision = spec.precision > 100 ? 100 : spec.precision;
    if (precision >= 0) {
        std::snprintf(format + k, sizeof(format) - k, "*.*%c", conversion);
        std::snprintf(text, sizeof(text), format, width, precision, value);
    } else {
        std::snprintf(format + k, sizeof(format) - k, "*%c", conversion);
        std::snprintf(text, sizeof(text), format, width, value);
    }
    Spec plain;
    EmitAscii(out, plain, "", text);
}

int FormatInto(Output& out, const WCHAR* format, va_list args) {
    if (!format) return -1;
    for (const WCHAR* p = format; *p; ++p) {
        if (*p != u'%') {
            out.Put(*p);
            continue;
        }
        const WCHAR* start = p;
        ++p;
        Spec spec;
        for (;; ++p) {
            if (*p == u'-') spec.leftAlign = true;
            else if (*p == u'0') spec.zeroPad = true;
            else if (*p == u'+') spec.plusSign = true;
            else if (*p == u' ') spec.spaceSign = true;
            else if (*p == u'#') spec.alternate = true;
            else break;
        }
        if (*p == u'*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) spec.leftAlign = true, spec.width = -spec.width;
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9') spec.width = spec.width * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            spec.precision = 0;
            if (*p == u'*') {
                spec.precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') spec.precision = spec.precision * 10 + (*p++ - u'0');
            }
        }
        if (spec.width > 1024) spec.width = 1024;
        if (spec.precision > 1024) spec.precision = 1024;
        // Size modifiers in the Windows data model.
        if (*p == u'h') {
            spec.size = Spec::kShort;
            spec.narrowText = true;
            ++p;
        } else if (*p == u'l') {
            spec.wideText = true;
            ++p;
            if (*p == u'l') spec.size = Spec::kLong64, ++p;
        } else if (*p == u'w') {
            spec.wideText = true;
            ++p;
        } else if (*p == u'L' || *p == u'q' || *p == u'j') {
            spec.size = Spec::kLong64;
            ++p;
        } else if (*p == u'z') {
            spec.size = sizeof(size_t) == 8 ? Spec::kLong64 : Spec::kInt;
            ++p;
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            spec.size = Spec::kLong64;
            p += 3;
        } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
            p += 3;
        }
        switch (*p) {
            case u'd':
            case u'i': {
                long long v = spec.size == Spec::kLong64 ? va_arg(args, long long) : va_arg(args, int);
                if (spec.size == Spec::kShort) v = static_cast<short>(v);
                unsigned long long magnitude = v < 0 ? 0ULL - static_cast<unsigned long long>(v)
                                                     : static_cast<unsigned long long>(v);
                EmitInteger(out, spec, magnitude, v < 0, 10, false);
                break;
            }
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                unsigned long long v = spec.size == Spec::kLong64 ? va_arg(args, unsigned long long)
                                                                  : va_arg(args, unsigned int);
                if (spec.size == Spec::kShort) v = static_cast<unsigned short>(v);
                int base = *p == u'u' ? 10 : *p == u'o' ? 8 : 16;
                spec.plusSign = spec.spaceSign = false;
                EmitInteger(out, spec, v, false, base, *p == u'X');
                break;
            }
            case u'p': {
                spec.alternate = false;
                spec.precision = sizeof(void*) * 2;
                EmitInteger(out, spec, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, 16, true);
                break;
            }
            case u'c':
            case u'C': {
                WCHAR c = static_cast<WCHAR>(va_arg(args, int));
                if ((*p == u'C' && !spec.wideText) || spec.narrowText) c = static_cast<unsigned char>(c);
                spec.zeroPad = false;
                EmitPadded(out, spec, "", &c, 1);
                break;
            }
            case u's':
            case u'S': {
                // Windows' wide functions: %s is UTF-16 text, %S and %hs single-byte text.
                bool narrow = (*p == u'S' && !spec.wideText) || spec.narrowText;
                spec.zeroPad = false;
                if (narrow) {
                    const char* s = va_arg(args, const char*);
                    if (!s) s = "(null)";
                    size_t n = std::strlen(s);
                    if (spec.precision >= 0 && n > static_cast<size_t>(spec.precision)) n = spec.precision;
                    // Single-byte text is Windows-1252 on the device.
                    WCHAR wide[1024];
                    size_t count = n < 1024 ? n : 1024;
                    int converted = count ? MultiByteToWideChar(CP_1252, 0, s, static_cast<int>(count), wide, 1024) : 0;
                    EmitPadded(out, spec, "", wide, converted > 0 ? converted : 0);
                } else {
                    const WCHAR* s = va_arg(args, const WCHAR*);
                    if (!s) s = u"(null)";
                    size_t n = 0;
                    while (s[n] && (spec.precision < 0 || n < static_cast<size_t>(spec.precision))) ++n;
                    EmitPadded(out, spec, "", s, n);
                }
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
                EmitFloat(out, spec, va_arg(args, double), static_cast<char>(*p));
                break;
            case u'%':
                out.Put(u'%');
                break;
            default:
                // An unknown conversion is copied as it stands, as the device does.
                for (const WCHAR* q = start; q <= p && *q; ++q) out.Put(*q);
                if (!*p) --p;
                break;
        }
    }
    return out.Finish();
}

constexpr size_t kWsprintfLimit = 1024;  // wsprintf writes at most 1024 characters

}  // namespace

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
    if (!buffer) return 0;
    Output out(buffer, kWsprintfLimit);
    return FormatInto(out, format, args);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfW(buffer, format, args);
    va_end(args);
    return n;
}

int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args) {
    if (!buffer || count == 0) return -1;
    Output out(buffer, count);
    int n = FormatInto(out, format, args);
    return out.truncated() ? -1 : n;
}

int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vswprintf(buffer, count, format, args);
    va_end(args);
    return n;
}

int swprintf(WCHAR* buffer, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    // The caller's buffer is as large as it is; there is nothing to bound by.
    int n = vswprintf(buffer, static_cast<size_t>(INT32_MAX), format, args);
    va_end(args);
    return n;
}
