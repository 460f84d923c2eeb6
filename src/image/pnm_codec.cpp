// The portable map decoder: header tokens, then binary rows, top row first.
#include "pnm_codec.h"

#include <climits>
#include <cstring>

#include "file_reader.h"

namespace {

constexpr int kMaxHeaderText = 998;  // the four tokens joined by single spaces

inline bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Skips the rest of a "#" comment up to and including the end of its line.
void SkipComment(FileReader& in) {
    int c = in.ReadByte();
    while (c >= 0 && c != '\n' && c != '\r') c = in.ReadByte();
}

// Collects the four header tokens (magic, width, height, maximum value)
// joined by single spaces. Exactly one byte after the last token is
// consumed: the white space that separates the header from the pixels.
int ReadHeaderText(FileReader& in, char* text) {
    int length = 0;
    int c = in.ReadByte();
    for (int token = 0; token < 4; ++token) {
        for (;;) {
            if (c >= 0 && IsSpace(c)) {
                c = in.ReadByte();
            } else if (c == '#') {
                SkipComment(in);
                c = in.ReadByte();
            } else {
                break;
            }
        }
        if (c < 0) break;
        if (token > 0 && length < kMaxHeaderText) text[length++] = ' ';
        while (c >= 0 && !IsSpace(c) && c != '#') {
            if (length < kMaxHeaderText) text[length++] = static_cast<char>(c);
            c = in.ReadByte();
        }
        // A comment straight after the maximum value runs to the end of
        // its line; the pixels follow it.
        if (token == 3 && c == '#') SkipComment(in);
    }
    text[length] = 0;
    return length;
}

// One decimal number as "%d" reads it: white space, an optional sign and at
// least one digit. False when there is none or it does not fit an int.
bool ParseInt(const char*& p, int* value) {
    while (IsSpace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

LoadError PortableMapHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    FileReader in(file);
    char text[kMaxHeaderText + 1];
    ReadHeaderText(in, text);
    const bool colour = std::strncmp(text, "P6 ", 3) == 0;
    // The numbers follow the magic token.
    const char* p = text;
    while (*p && *p != ' ') ++p;
    int width = 0;
    int height = 0;
    int maximum = 0;
    if (!ParseInt(p, &width) || !ParseInt(p, &height) || !ParseInt(p, &maximum)) return kLoadCorrupt;
    if (width <= 0 || height <= 0 || maximum < 1 || maximum > 255) return kLoadCorrupt;

    if (!CreateForDecode(width, height, colour ? 24 : 8, nullptr, 0)) return kLoadOutOfMemory;
    const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
    for (int row = height - 1; row >= 0; --row) {
        if (AbortFlagSet()) return kLoadAborted;
        BYTE* target = RowTarget(row);
        const size_t got = in.Read(target, rowBytes);
        // A file that ends early: the rest of this row is black, and so are
        // the rows below it (they were never written).
        if (got < rowBytes) std::memset(target + got, 0, rowBytes - got);
        if (colour) {
            for (size_t i = 0; i + 2 < rowBytes; i += 3) {
                BYTE red = target[i];
                target[i] = target[i + 2];
                target[i + 2] = red;
            }
        }
        CommitRow(row);
        if (got < rowBytes) break;
    }
    return kLoadOk;
}
