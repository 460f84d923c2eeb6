// Conversions between UTF-16 and the single-byte and UTF-8 code pages. The
// device's ANSI code page is Windows-1252; DICOM values and link files are
// single-byte text in it.
#include <string>

#include "platform/wstr.h"
#include "windows.h"


namespace {

// Windows-1252 bytes 0x80-0x9F; the five undefined bytes map to the C1
// controls of the same value, as Windows maps them.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnicode(unsigned char b) {
    return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : char16_t(b);
}

// Returns -1 when the character has no single byte in Windows-1252.
int UnicodeToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return 0x80 + i;
    return -1;
}

bool IsSingleByte(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_1252 || codePage == 28591;
}

// Copies a converted result into the caller's buffer with Win32's rules: a
// zero length asks for the size; a short buffer fails.
template <class Text, class Char>
int Deliver(const Text& text, Char* out, int outLength) {
    int needed = static_cast<int>(text.size());
    if (outLength == 0) return needed;
    if (!out || outLength < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < needed; ++i) out[i] = text[i];
    return needed;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength) {
    if (!multiByte || multiByteLength == 0 || wideLength < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the text is terminated, and the terminator is converted too.
    size_t length = multiByteLength < 0 ? std::char_traits<char>::length(multiByte) + 1
                                        : static_cast<size_t>(multiByteLength);
    std::u16string text;
    if (IsSingleByte(codePage)) {
        text.reserve(length);
        for (size_t i = 0; i < length; ++i) {
            unsigned char b = static_cast<unsigned char>(multiByte[i]);
            text.push_back(codePage == 28591 ? char16_t(b) : Cp1252ToUnicode(b));
        }
    } else if (codePage == CP_UTF8) {
        bool invalid = false;
        text = platform::Utf8ToUtf16(std::string_view(multiByte, length), &invalid);
        if ((flags & MB_ERR_INVALID_CHARS) && invalid) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Deliver(text, wide, wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!wide || wideLength == 0 || multiByteLength < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = wideLength < 0 ? std::char_traits<char16_t>::length(wide) + 1
                                   : static_cast<size_t>(wideLength);
    std::string text;
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    if (IsSingleByte(codePage)) {
        char fallback = defaultChar ? *defaultChar : '?';
        text.reserve(length);
        for (size_t i = 0; i < length; ++i) {
            int b = codePage == 28591 ? (wide[i] <= 0xFF ? int(wide[i]) : -1) : UnicodeToCp1252(wide[i]);
            if (b < 0) {
                text.push_back(fallback);
                if (usedDefaultChar) *usedDefaultChar = TRUE;
                // A surrogate pair is one character: one replacement for both halves.
                if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 &&
                    wide[i + 1] <= 0xDFFF)
                    ++i;
            } else {
                text.push_back(static_cast<char>(b));
            }
        }
    } else if (codePage == CP_UTF8) {
        if (defaultChar || usedDefaultChar) {  // not allowed with UTF-8, as on Windows
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        text = platform::Utf16ToUtf8(std::u16string_view(wide, length));
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Deliver(text, multiByte, multiByteLength);
}
