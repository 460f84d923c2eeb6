// UTF-16 string helpers of the kernel (lstrlenW and friends) and the
// conversions between UTF-16 and the host's UTF-8.
#include "platform/wstr.h"
#include "windows.h"

namespace platform {

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text, bool* hadInvalid) {
    bool invalid = false;
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(u'\uFFFD');
            invalid = true;
            ++i;
            continue;
        }
        if (i + extra >= text.size()) {  // a sequence cut off by the end of the text
            out.push_back(u'\uFFFD');
            invalid = true;
            break;
        }
        bool valid = true;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (!valid || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            invalid = true;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += extra + 1;
    }
    if (hadInvalid) *hadInvalid = invalid;
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace platform

int lstrlenW(LPCWSTR string) {
    if (!string) return 0;
    int n = 0;
    while (string[n]) ++n;
    return n;
}

LPWSTR lstrcpyW(LPWSTR destination, LPCWSTR source) {
    int i = 0;
    do {
        destination[i] = source[i];
    } while (source[i++]);
    return destination;
}

LPWSTR lstrcpynW(LPWSTR destination, LPCWSTR source, int maxLength) {
    if (maxLength <= 0) return destination;
    int i = 0;
    for (; i < maxLength - 1 && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
    return destination;
}

LPWSTR lstrcatW(LPWSTR destination, LPCWSTR source) {
    lstrcpyW(destination + lstrlenW(destination), source);
    return destination;
}

int lstrcmpW(LPCWSTR first, LPCWSTR second) {
    for (;; ++first, ++second) {
        if (*first != *second) return *first < *second ? -1 : 1;
        if (!*first) return 0;
    }
}

int lstrcmpiW(LPCWSTR first, LPCWSTR second) {
    for (;; ++first, ++second) {
        char16_t a = platform::FoldCase(*first), b = platform::FoldCase(*second);
        if (a != b) return a < b ? -1 : 1;
        if (!a) return 0;
    }
}

LPWSTR CharUpperW(LPWSTR string) {
    for (LPWSTR p = string; p && *p; ++p) *p = platform::FoldCase(*p);
    return string;
}

LPWSTR CharLowerW(LPWSTR string) {
    for (LPWSTR p = string; p && *p; ++p)
        if (*p >= u'A' && *p <= u'Z') *p = char16_t(*p + 32);
    return string;
}
