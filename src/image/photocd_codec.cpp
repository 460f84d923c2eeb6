// The PhotoCD decoder.
#include "photocd_codec.h"

#include <cmath>
#include <cstring>

#include "file_reader.h"
#include "image_memory.h"

namespace {

constexpr uint64_t kSmallFileSize = 98304;  // a file holding only the 384 x 256 image
constexpr uint64_t kSmallOffset = 0xB800;
constexpr uint64_t kLargeOffset = 0x30000;
constexpr int kOrientationByte = 72;
constexpr int kTopDownOrientation = 8;

// Each term of the conversion is a 32-bit float product; the terms are summed
// in double precision. The products depend on one byte each, so they are
// tabled once per load.
struct YccTables {
    float yTerm[256];       // 1.40749 Y
    float redC2[256];       // 1.32303 (C2 - 137)
    float redC1[256];       // 0.0000256 (C1 - 156)
    float greenC2[256];     // 0.67392 (C2 - 137)
    float greenC1[256];     // 0.39542 (C1 - 156)
    float blueC1[256];      // 2.03604 (C1 - 156)
    float blueC2[256];      // 0.0000256 (C2 - 137)

    YccTables() {
        for (int i = 0; i < 256; ++i) {
            const float y = static_cast<float>(i);
            const float c1 = static_cast<float>(i - 156);
            const float c2 = static_cast<float>(i - 137);
            yTerm[i] = 1.40749f * y;
            redC2[i] = 1.32303f * c2;
            redC1[i] = 0.0000256f * c1;
            greenC2[i] = 0.67392f * c2;
            greenC1[i] = 0.39542f * c1;
            blueC1[i] = 2.03604f * c1;
            blueC2[i] = 0.0000256f * c2;
        }
    }
};

const YccTables& Tables() {
    static const YccTables tables;
    return tables;
}

inline BYTE Clamp(double v) {
    double f = std::floor(v);
    if (f < 0.0) return 0;
    if (f > 255.0) return 255;
    return static_cast<BYTE>(f);
}

inline void Convert(const YccTables& t, int y, int c1, int c2, BYTE* out) {
    out[2] = Clamp(static_cast<double>(t.yTerm[y]) + t.redC2[c2] + t.redC1[c1] + 0.5);
    out[1] = Clamp(static_cast<double>(t.yTerm[y]) - t.greenC2[c2] - t.greenC1[c1] + 0.5);
    out[0] = Clamp(static_cast<double>(t.yTerm[y]) + t.blueC1[c1] + t.blueC2[c2] + 0.5);
}

}  // namespace

void PhotoYccToRgb(int y, int c1, int c2, BYTE* red, BYTE* green, BYTE* blue) {
    BYTE out[3];
    Convert(Tables(), y & 0xFF, c1 & 0xFF, c2 & 0xFF, out);
    *blue = out[0];
    *green = out[1];
    *red = out[2];
}

LoadError PhotoCdHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    FileReader in(file);
    const uint64_t size = in.Size();
    const bool small = size == kSmallFileSize;
    const int width = small ? 384 : 768;
    const int height = small ? 256 : 512;
    const uint64_t offset = small ? kSmallOffset : kLargeOffset;
    // Every row pair takes two luma lines and one chroma line. An image
    // pack must hold its whole image; the 98304-byte file is complete as it
    // is and shows the row pairs it holds (the rest stays black).
    const uint64_t pairBytes = static_cast<uint64_t>(width) * 3;
    const uint64_t available = size > offset ? (size - offset) / pairBytes : 0;
    if (in.Failed() || available == 0 || (!small && available < static_cast<uint64_t>(height / 2))) {
        return kLoadCorrupt;
    }
    const int pairs = available < static_cast<uint64_t>(height / 2) ? static_cast<int>(available) : height / 2;
    if (!CreatePlain(width, height, 24, nullptr, 0)) return kLoadOutOfMemory;
    std::memset(image_.pixels, 0, static_cast<size_t>(RowStride(image_)) * height);

    BYTE header[128] = {};
    in.Read(header, sizeof header);
    const bool topDown = (header[kOrientationByte] & 0x3F) == kTopDownOrientation;

    BYTE* lines = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(width) * 3));
    if (!lines) return kLoadOutOfMemory;
    BYTE* luma0 = lines;
    BYTE* luma1 = lines + width;
    BYTE* chroma = lines + 2 * width;
    in.Seek(offset);

    const YccTables& t = Tables();
    const int half = width / 2;
    LoadError result = kLoadOk;
    for (int pair = 0; pair < pairs; ++pair) {
        if (AbortFlagSet()) {
            result = kLoadAborted;
            break;
        }
        in.Read(lines, static_cast<size_t>(width) * 3);
        const int first = topDown ? height - 1 - 2 * pair : 2 * pair;
        const int second = topDown ? first - 1 : first + 1;
        BYTE* row0 = RowAddress(image_, first);
        BYTE* row1 = RowAddress(image_, second);
        for (int i = 0; i < width; ++i) {
            const int c1 = chroma[i / 2];
            const int c2 = chroma[half + i / 2];
            Convert(t, luma0[i], c1, c2, row0 + 3 * i);
            Convert(t, luma1[i], c1, c2, row1 + 3 * i);
        }
    }
    ImageFree(lines);
    if (result == kLoadOk && ReducedLoadRequested()) ShrinkAfterDecode();
    return result;
}
