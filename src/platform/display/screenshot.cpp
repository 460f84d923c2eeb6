// PNG screenshots of the display memory: 8-bit RGB, written to a temporary
// file beside the target and renamed over it, so a reader never sees half a
// picture.
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "display/frame_buffer.h"
#include "platform/display.h"

namespace platform {

namespace {

// Converts one row of display memory to R, G, B bytes.
void RowToRgb(const FrameBuffer& fb, int y, uint8_t* out) {
    const uint8_t* row = fb.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(fb.pitch);
    for (int x = 0; x < fb.width; ++x) {
        uint8_t r, g, b;
        if (fb.bitsPerPixel == 16) {
            uint16_t v = static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
            uint8_t r5 = (v >> 11) & 31, g6 = (v >> 5) & 63, b5 = v & 31;
            r = static_cast<uint8_t>((r5 << 3) | (r5 >> 2));
            g = static_cast<uint8_t>((g6 << 2) | (g6 >> 4));
            b = static_cast<uint8_t>((b5 << 3) | (b5 >> 2));
        } else {
            const uint8_t* p = row + static_cast<size_t>(x) * (fb.bitsPerPixel / 8);
            b = p[0];
            g = p[1];
            r = p[2];
        }
        out[3 * x] = r;
        out[3 * x + 1] = g;
        out[3 * x + 2] = b;
    }
}

}  // namespace

bool SaveScreenshot(const std::string& path) {
    if (path.empty()) return false;
    std::vector<uint8_t> rgb;
    int width, height;
    {
        FrameBuffer& fb = Screen();
        std::lock_guard<std::recursive_mutex> guard(fb.lock);
        width = fb.width;
        height = fb.height;
        rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        for (int y = 0; y < height; ++y) RowToRgb(fb, y, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // Volatile: libpng reports errors with longjmp back into this frame.
    volatile bool ok = false;
    if (png && info) {
        std::vector<png_bytep> rows(static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = rgb.data() + static_cast<size_t>(y) * width * 3;
        if (setjmp(png_jmpbuf(png)) == 0) {
            png_init_io(png, file);
            png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                         PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                         PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            png_write_image(png, rows.data());
            png_write_end(png, nullptr);
            ok = true;
        }
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool LoadScreenshot(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
    if (!width || !height || !rgb) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    // Cap the size so that a hostile file cannot ask for gigabytes.
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

}  // namespace platform
