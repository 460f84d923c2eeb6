// Shared helpers of the image tests: a fresh device root per test with an
// image library built from a plug-in folder of the test's choosing, byte
// builders for hand-made files, and pixel access in picture order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "image_file.h"
#include "image_library.h"
#include "platform/wstr.h"

using Bytes = std::vector<uint8_t>;

// Little-endian byte builder for inline test files.
struct ByteWriter {
    Bytes bytes;
    ByteWriter& u8(unsigned v) { bytes.push_back(static_cast<uint8_t>(v)); return *this; }
    ByteWriter& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    ByteWriter& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    ByteWriter& raw(const Bytes& b) { bytes.insert(bytes.end(), b.begin(), b.end()); return *this; }
    ByteWriter& fill(size_t n, uint8_t v) { bytes.insert(bytes.end(), n, v); return *this; }
};

// "BM" file header (14 bytes).
inline Bytes BmpFileHeader(uint32_t fileSize, uint32_t pixelOffset) {
    return ByteWriter().u16(0x4D42).u32(fileSize).u16(0).u16(0).u32(pixelOffset).bytes;
}

// 40-byte information header.
inline Bytes InfoHeader(int32_t width, int32_t height, unsigned bpp, uint32_t compression = 0,
                        uint32_t coloursUsed = 0, uint32_t imageSize = 0) {
    return ByteWriter()
        .u32(40).u32(static_cast<uint32_t>(width)).u32(static_cast<uint32_t>(height))
        .u16(1).u16(bpp).u32(compression).u32(imageSize).u32(0).u32(0).u32(coloursUsed).u32(0)
        .bytes;
}

class ImageTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        std::filesystem::create_directories(Host("Plugins"));
        library_.BuildLibraryFrom(u"\\Plugins");
        PublishImageLibrary(&library_);
    }
    void TearDown() override {
        library_.TeardownLibrary();
        PublishImageLibrary(nullptr);
        DeviceTest::TearDown();
    }

    // Copies plug-ins into the device's "\Plugins" folder and rebuilds.
    void InstallPlugins(const std::vector<std::string>& hostFiles) {
        for (const std::string& file : hostFiles) {
            std::filesystem::copy_file(file, Host("Plugins/" + std::filesystem::path(file).filename().string()),
                                       std::filesystem::copy_options::overwrite_existing);
        }
        library_.BuildLibraryFrom(u"\\Plugins");
    }

    // Writes bytes to a file below the device root; returns its device path.
    std::u16string Put(const std::string& name, const Bytes& bytes) {
        std::ofstream(Host(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return u"\\" + platform::Utf8ToUtf16(name);
    }

    // Loads a device path into `file`, releasing what it held.
    bool Load(ImageFile* file, const std::u16string& path, DWORD flags = 0) {
        file->Unload();
        file->InitImageFile();
        return file->LoadFromPath(path.c_str(), flags);
    }

    ImageLibrary library_;
};

// Blue, green, red of the displayed pixel (x, y) (y from the top) of an image
// of any depth up to 24 bits, through its colour table.
struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr& o) const { return b == o.b && g == o.g && r == o.r; }
};
inline Bgr PixelAt(const RImage& image, int x, int y) {
    const BITMAPINFOHEADER* h = image.header;
    const BYTE* row = RowAddress(image, h->biHeight - 1 - y);
    int bpp = h->biBitCount;
    if (bpp == 24) return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    int index = 0;
    if (bpp == 8) index = row[x];
    if (bpp == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    if (bpp == 2) index = (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
    if (bpp == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
    const RGBQUAD& c = ColourTable(h)[index];
    return {c.rgbBlue, c.rgbGreen, c.rgbRed};
}
inline int IndexAt(const RImage& image, int x, int y) {
    const BYTE* row = RowAddress(image, image.header->biHeight - 1 - y);
    switch (image.header->biBitCount) {
        case 8: return row[x];
        case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
        default: return -1;
    }
}
