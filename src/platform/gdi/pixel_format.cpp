// The per-format pixel routines and the colour <-> pixel value conversions.
// Indexed rows keep the leftmost pixel in the most significant bits of a byte;
// multi-byte pixels are little-endian, as in DIBs.
#include <cstring>

#include "gdi/surface.h"

namespace gdi {

int BitsOf(Format f) {
    switch (f) {
        case Format::Index1:
            return 1;
        case Format::Index2:
            return 2;
        case Format::Index4:
            return 4;
        case Format::Index8:
            return 8;
        case Format::Rgb555:
        case Format::Rgb565:
        case Format::Fields16:
            return 16;
        case Format::Bgr24:
            return 24;
        case Format::Bgrx32:
        case Format::Fields32:
            return 32;
    }
    return 32;
}

// ---- Palette ----------------------------------------------------------------------

Palette::Palette(std::vector<Rgb> colors)
    : colors_(std::move(colors)), cache_(new std::atomic<uint64_t>[kCacheSize]) {
    Clear();
}

void Palette::Clear() {
    for (size_t i = 0; i < kCacheSize; ++i) cache_[i].store(0, std::memory_order_relaxed);
}

void Palette::Set(size_t index, Rgb color) {
    if (index >= colors_.size()) return;
    colors_[index] = color & 0xFFFFFF;
    Clear();
}

void Palette::Assign(std::vector<Rgb> colors) {
    colors_ = std::move(colors);
    Clear();
}

uint32_t Palette::Nearest(Rgb color) const {
    color &= 0xFFFFFF;
    size_t slot = ((color * 2654435761u) >> 20) & (kCacheSize - 1);
    uint64_t entry = cache_[slot].load(std::memory_order_relaxed);
    if ((entry >> 8) == static_cast<uint64_t>(color) + 1)
        return static_cast<uint32_t>(entry & 0xFF);
    uint32_t best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < colors_.size(); ++i) {
        Rgb c = colors_[i];
        long dr = RedOf(c) - RedOf(color), dg = GreenOf(c) - GreenOf(color),
             db = BlueOf(c) - BlueOf(color);
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<uint32_t>(i);
            if (d == 0) break;
        }
    }
    cache_[slot].store(((static_cast<uint64_t>(color) + 1) << 8) | best, std::memory_order_relaxed);
    return best;
}

bool MakeFields(const uint32_t masks[3], Fields* out) {
    for (int i = 0; i < 3; ++i) {
        uint32_t m = masks[i];
        if (m == 0) return false;
        int shift = 0;
        while (!((m >> shift) & 1)) ++shift;
        int bits = 0;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
        if (shift + bits < 32 && (m >> (shift + bits)) != 0) return false;  // holes in the mask
        out->mask[i] = m;
        out->shift[i] = shift;
        out->bits[i] = bits;
    }
    return true;
}

std::vector<Rgb> DefaultColors(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
            return {0x000000, 0xFFFFFF};
        case 2:
            return {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
        case 4:
            return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        case 8: {
            // Three bits of red and green, two of blue: every colour has a near entry.
            std::vector<Rgb> colors(256);
            for (int i = 0; i < 256; ++i) {
                int r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
                colors[static_cast<size_t>(i)] = MakeRgb(r * 255 / 7, g * 255 / 7, b * 255 / 3);
            }
            return colors;
        }
        default:
            return {};
    }
}

// ---- Row routines -------------------------------------------------------------------

namespace {

template <int Bits>
struct Indexed {
    static constexpr int kPerByte = 8 / Bits;
    static constexpr uint32_t kMask = (1u << Bits) - 1;
    static int Shift(int x) { return (kPerByte - 1 - (x % kPerByte)) * Bits; }
    static uint32_t Get(const uint8_t* row, int x) {
        return (row[x / kPerByte] >> Shift(x)) & kMask;
    }
    static void Put(uint8_t* row, int x, uint32_t v) {
        uint8_t& b = row[x / kPerByte];
        int s = Shift(x);
        b = static_cast<uint8_t>((b & ~(kMask << s)) | ((v & kMask) << s));
    }
    static void Read(const uint8_t* row, int x, int n, uint32_t* out) {
        for (int i = 0; i < n; ++i) out[i] = Get(row, x + i);
    }
    static void Write(uint8_t* row, int x, int n, const uint32_t* in) {
        for (int i = 0; i < n; ++i) Put(row, x + i, in[i]);
    }
    static void Fill(uint8_t* row, int x, int n, uint32_t andMask, uint32_t xorMask) {
        andMask &= kMask;
        xorMask &= kMask;
        int i = 0;
        // Leading pixels up to a byte boundary, whole bytes, then the tail.
        for (; i < n && (x + i) % kPerByte != 0; ++i)
            Put(row, x + i, (Get(row, x + i) & andMask) ^ xorMask);
        if (i < n && n - i >= kPerByte) {
            uint8_t andByte = 0, xorByte = 0;
            for (int k = 0; k < kPerByte; ++k) {
                andByte = static_cast<uint8_t>((andByte << Bits) | andMask);
                xorByte = static_cast<uint8_t>((xorByte << Bits) | xorMask);
            }
            uint8_t* p = row + (x + i) / kPerByte;
            int bytes = (n - i) / kPerByte;
            if (andByte == 0) {
                std::memset(p, xorByte, static_cast<size_t>(bytes));
            } else {
                for (int k = 0; k < bytes; ++k)
                    p[k] = static_cast<uint8_t>((p[k] & andByte) ^ xorByte);
            }
            i += bytes * kPerByte;
        }
        for (; i < n; ++i) Put(row, x + i, (Get(row, x + i) & andMask) ^ xorMask);
    }
};

struct Byte8 {
    static uint32_t Get(const uint8_t* row, int x) { return row[x]; }
    static void Put(uint8_t* row, int x, uint32_t v) { row[x] = static_cast<uint8_t>(v); }
    static void Read(const uint8_t* row, int x, int n, uint32_t* out) {
        for (int i = 0; i < n; ++i) out[i] = row[x + i];
    }
    static void Write(uint8_t* row, int x, int n, const uint32_t* in) {
        for (int i = 0; i < n; ++i) row[x + i] = static_cast<uint8_t>(in[i]);
    }
    static void Fill(uint8_t* row, int x, int n, uint32_t andMask, uint32_t xorMask) {
        uint8_t a = static_cast<uint8_t>(andMask), v = static_cast<uint8_t>(xorMask);
        if (a == 0) {
            std::memset(row + x, v, static_cast<size_t>(n));
            return;
        }
        for (int i = 0; i < n; ++i) row[x + i] = static_cast<uint8_t>((row[x + i] & a) ^ v);
    }
};

struct Word16 {
    static uint16_t Load(const uint8_t* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    static void Store(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
    static uint32_t Get(const uint8_t* row, int x) { return Load(row + 2 * x); }
    static void Put(uint8_t* row, int x, uint32_t v) {
        Store(row + 2 * x, static_cast<uint16_t>(v));
    }
    static void Read(const uint8_t* row, int x, int n, uint32_t* out) {
        for (int i = 0; i < n; ++i) out[i] = Load(row + 2 * (x + i));
    }
    static void Write(uint8_t* row, int x, int n, const uint32_t* in) {
        for (int i = 0; i < n; ++i) Store(row + 2 * (x + i), static_cast<uint16_t>(in[i]));
    }
    static void Fill(uint8_t* row, int x, int n, uint32_t andMask, uint32_t xorMask) {
        uint16_t a = static_cast<uint16_t>(andMask), v = static_cast<uint16_t>(xorMask);
        uint8_t* p = row + 2 * x;
        if (a == 0) {
            for (int i = 0; i < n; ++i) Store(p + 2 * i, v);
            return;
        }
        for (int i = 0; i < n; ++i)
            Store(p + 2 * i, static_cast<uint16_t>((Load(p + 2 * i) & a) ^ v));
    }
};

struct Triple24 {
    static uint32_t Get(const uint8_t* row, int x) {
        const uint8_t* p = row + 3 * x;
        return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    static void Put(uint8_t* row, int x, uint32_t v) {
        uint8_t* p = row + 3 * x;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
    }
    static void Read(const uint8_t* row, int x, int n, uint32_t* out) {
        for (int i = 0; i < n; ++i) out[i] = Get(row, x + i);
    }
    static void Write(uint8_t* row, int x, int n, const uint32_t* in) {
        for (int i = 0; i < n; ++i) Put(row, x + i, in[i]);
    }
    static void Fill(uint8_t* row, int x, int n, uint32_t andMask, uint32_t xorMask) {
        uint8_t* p = row + 3 * x;
        uint8_t a0 = static_cast<uint8_t>(andMask), a1 = static_cast<uint8_t>(andMask >> 8),
                a2 = static_cast<uint8_t>(andMask >> 16);
        uint8_t v0 = static_cast<uint8_t>(xorMask), v1 = static_cast<uint8_t>(xorMask >> 8),
                v2 = static_cast<uint8_t>(xorMask >> 16);
        if ((andMask & 0xFFFFFF) == 0) {
            if (v0 == v1 && v1 == v2) {
                std::memset(p, v0, static_cast<size_t>(n) * 3);
                return;
            }
            for (int i = 0; i < n; ++i, p += 3) {
                p[0] = v0;
                p[1] = v1;
                p[2] = v2;
            }
            return;
        }
        for (int i = 0; i < n; ++i, p += 3) {
            p[0] = static_cast<uint8_t>((p[0] & a0) ^ v0);
            p[1] = static_cast<uint8_t>((p[1] & a1) ^ v1);
            p[2] = static_cast<uint8_t>((p[2] & a2) ^ v2);
        }
    }
};

struct Dword32 {
    static uint32_t Load(const uint8_t* p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
    static uint32_t Get(const uint8_t* row, int x) { return Load(row + 4 * x); }
    static void Put(uint8_t* row, int x, uint32_t v) { Store(row + 4 * x, v); }
    static void Read(const uint8_t* row, int x, int n, uint32_t* out) {
        std::memcpy(out, row + 4 * x, static_cast<size_t>(n) * 4);
    }
    static void Write(uint8_t* row, int x, int n, const uint32_t* in) {
        std::memcpy(row + 4 * x, in, static_cast<size_t>(n) * 4);
    }
    static void Fill(uint8_t* row, int x, int n, uint32_t andMask, uint32_t xorMask) {
        uint8_t* p = row + 4 * x;
        if (andMask == 0) {
            for (int i = 0; i < n; ++i) Store(p + 4 * i, xorMask);
            return;
        }
        for (int i = 0; i < n; ++i) Store(p + 4 * i, (Load(p + 4 * i) & andMask) ^ xorMask);
    }
};

template <class T>
constexpr FormatOps MakeOps() {
    return FormatOps{&T::Get, &T::Put, &T::Read, &T::Write, &T::Fill};
}

const FormatOps kIndex1 = MakeOps<Indexed<1>>();
const FormatOps kIndex2 = MakeOps<Indexed<2>>();
const FormatOps kIndex4 = MakeOps<Indexed<4>>();
const FormatOps kIndex8 = MakeOps<Byte8>();
const FormatOps kWord16 = MakeOps<Word16>();
const FormatOps kTriple24 = MakeOps<Triple24>();
const FormatOps kDword32 = MakeOps<Dword32>();

}  // namespace

const FormatOps& Ops(Format f) {
    switch (f) {
        case Format::Index1:
            return kIndex1;
        case Format::Index2:
            return kIndex2;
        case Format::Index4:
            return kIndex4;
        case Format::Index8:
            return kIndex8;
        case Format::Rgb555:
        case Format::Rgb565:
        case Format::Fields16:
            return kWord16;
        case Format::Bgr24:
            return kTriple24;
        case Format::Bgrx32:
        case Format::Fields32:
            return kDword32;
    }
    return kDword32;
}

// ---- Colour conversions ---------------------------------------------------------------

Rgb PixelToRgb(const Surface& s, uint32_t value) {
    switch (s.format) {
        case Format::Index1:
        case Format::Index2:
        case Format::Index4:
        case Format::Index8: {
            if (!s.palette) return 0;
            const std::vector<Rgb>& colors = s.palette->Colors();
            return value < colors.size() ? colors[value] : 0;
        }
        case Format::Rgb555:
            return Unpack555(value);
        case Format::Rgb565:
            return Unpack565(value);
        case Format::Bgr24:
        case Format::Bgrx32:
            return value & 0xFFFFFF;
        case Format::Fields16:
        case Format::Fields32: {
            const Fields& f = s.fields;
            int c[3];
            for (int i = 0; i < 3; ++i) c[i] = Expand((value & f.mask[i]) >> f.shift[i], f.bits[i]);
            return MakeRgb(c[0], c[1], c[2]);
        }
    }
    return 0;
}

uint32_t RgbToPixel(const Surface& s, Rgb color) {
    color &= 0xFFFFFF;
    switch (s.format) {
        case Format::Index1:
        case Format::Index2:
        case Format::Index4:
        case Format::Index8:
            return s.palette ? s.palette->Nearest(color) : 0;
        case Format::Rgb555:
            return Pack555(color);
        case Format::Rgb565:
            return Pack565(color);
        case Format::Bgr24:
        case Format::Bgrx32:
            return color;
        case Format::Fields16:
        case Format::Fields32: {
            const Fields& f = s.fields;
            int c[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
            uint32_t v = 0;
            for (int i = 0; i < 3; ++i) {
                uint32_t part = f.bits[i] >= 8 ? static_cast<uint32_t>(c[i]) << (f.bits[i] - 8)
                                               : static_cast<uint32_t>(c[i]) >> (8 - f.bits[i]);
                v |= (part << f.shift[i]) & f.mask[i];
            }
            return v;
        }
    }
    return 0;
}

uint32_t ColorRefToPixel(const Surface& s, COLORREF color) {
    if ((color >> 24) == 0x01 && IsIndexed(s.format) && s.palette) {
        uint32_t index = color & 0xFFFF;
        if (index < s.palette->Colors().size()) return index;
    }
    return RgbToPixel(s, RgbFromColorRef(color & 0xFFFFFF));
}

}  // namespace gdi
