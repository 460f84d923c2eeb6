// Shared helpers of the codec tests (GIF, JPEG, PCX, PhotoCD, portable maps,
// TIFF): fixture paths below IMAGE_FIXTURE_DIR/codecs (written by
// make_codec_fixtures.sh), comparison of a decoded image with a raw RGB
// reference, and a hook that raises the abort flag the moment a decoder
// creates its image, so that an abort lands in the middle of a decode.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "format_handler.h"
#include "image_memory.h"
#include "image_test_util.h"

inline std::string CodecFixture(const std::string& name) {
    return std::string(IMAGE_FIXTURE_DIR) + "/codecs/" + name;
}

inline std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes ReadHostBytes(const std::string& path) {
    std::string s = ReadHostFile(path);
    return Bytes(s.begin(), s.end());
}

// Compares every displayed pixel of `image` with raw RGB rows (top row
// first); returns the largest channel difference. Pixels differing by more
// than `tolerance` are reported (the first five) as test failures.
inline int CompareWithReference(const RImage& image, const std::string& rgb, int tolerance,
                                bool flipped = false) {
    const int w = image.header->biWidth;
    const int h = image.header->biHeight;
    EXPECT_EQ(rgb.size(), static_cast<size_t>(w) * h * 3) << "reference size";
    if (rgb.size() != static_cast<size_t>(w) * h * 3) return 256;
    int largest = 0;
    int reported = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Bgr ours = PixelAt(image, x, flipped ? h - 1 - y : y);
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + (static_cast<size_t>(y) * w + x) * 3;
            int d = std::max({std::abs(ours.r - p[0]), std::abs(ours.g - p[1]), std::abs(ours.b - p[2])});
            largest = std::max(largest, d);
            if (d > tolerance && reported < 5) {
                ++reported;
                ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << int(ours.r) << "," << int(ours.g) << ","
                              << int(ours.b) << " reference " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
            }
        }
    }
    return largest;
}

// While alive, every image a decoder creates raises the abort flag right
// after its pixels exist: the decoder is then aborted in mid-decode.
class AbortOnImageCreation {
public:
    AbortOnImageCreation() { RegisterAllocationHooks(nullptr, 0, nullptr, CreateAndAbort, nullptr); }
    ~AbortOnImageCreation() { RegisterAllocationHooks(nullptr, 0, nullptr, nullptr, nullptr); }

private:
    static HBITMAP CreateAndAbort(HDC dc, const BITMAPINFO* info, void** pixels) {
        SetAbortFlag();
        return CreateDIBSection(dc, info, DIB_RGB_COLORS, pixels, nullptr, 0);
    }
};

class CodecTest : public ImageTest {
protected:
    // Loads a host file through the image library.
    bool LoadHost(ImageFile* file, const std::string& hostPath, DWORD flags = 0) {
        return Load(file, platform::HostToDevicePath(hostPath), flags);
    }
    // Writes bytes under the device root and loads them.
    bool LoadBytes(ImageFile* file, const std::string& name, const Bytes& bytes, DWORD flags = 0) {
        return Load(file, Put(name, bytes), flags);
    }
    // The LoadError of loading `bytes` as `name`.
    LoadError LoadResult(const std::string& name, const Bytes& bytes) {
        ImageFile file;
        file.InitImageFile();
        LoadBytes(&file, name, bytes);
        LoadError result = file.lastError;
        if (result != kLoadOk) {
            EXPECT_EQ(file.image.header, nullptr) << name << ": a failed load leaves the image reset";
            EXPECT_EQ(file.image.pixels, nullptr);
        }
        file.Unload();
        return result;
    }
};
