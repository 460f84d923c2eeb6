// PNG screenshots of the display memory: 8-bit RGB, written to a temporary
// file beside the target and renamed over it, so a reader never sees half a
// picture.
#include <png.h>
#include <csetjmp>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "display/frame_buffer.h"
#include "host/host_library.h"
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

// libpng, opened at the first screenshot written or read (see
// host/host_library.h): programs that take none never load it.
#define KESTRAVA_PNG_FUNCTIONS(X) X(png_create_write_struct) X(png_create_info_struct) X(png_set_longjmp_fn) X(png_init_io) X(png_set_IHDR) X(png_write_info) X(png_write_image) X(png_write_end) X(png_destroy_write_struct) X(png_image_begin_read_from_file) X(png_image_free) X(png_image_finish_read)

struct PngLibrary {
    KESTRAVA_PNG_FUNCTIONS(KESTRAVA_HOST_MEMBER)
};

const PngLibrary* Png() {
    static const PngLibrary* loaded = []() -> const PngLibrary* {
        static PngLibrary table;
        const char* soname = KESTRAVA_PNG_SONAME;
        void* lib = OpenHostLibrary(soname);
        if (!lib) return nullptr;
        bool ok = true;
        KESTRAVA_PNG_FUNCTIONS(KESTRAVA_HOST_BIND)
        return ok ? &table : nullptr;
    }();
    return loaded;
}

}  // namespace

bool SaveScreenshot(const std::string& path) { return SaveFrameBuffer(Screen(), path); }

bool SaveFrameBuffer(FrameBuffer& fb, const std::string& path) {
    const PngLibrary* lib = Png();
    if (path.empty() || !lib) return false;
    std::vector<uint8_t> rgb;
    int width, height;
    {
        std::lock_guard<std::recursive_mutex> guard(fb.lock);
        width = fb.width;
        height = fb.height;
        rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        for (int y = 0; y < height; ++y) RowToRgb(fb, y, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    png_structp writer = lib->png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = writer ? lib->png_create_info_struct(writer) : nullptr;
    // Volatile: libpng reports errors with longjmp back into this frame.
    volatile bool ok = false;
    if (writer && info) {
        std::vector<png_bytep> rows(static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = rgb.data() + static_cast<size_t>(y) * width * 3;
        // png_jmpbuf, spelt out: the macro names the library's function.
        if (setjmp(*lib->png_set_longjmp_fn(writer, std::longjmp, sizeof(std::jmp_buf))) == 0) {
            lib->png_init_io(writer, file);
            lib->png_set_IHDR(writer, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                         PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                         PNG_FILTER_TYPE_DEFAULT);
            lib->png_write_info(writer, info);
            lib->png_write_image(writer, rows.data());
            lib->png_write_end(writer, nullptr);
            ok = true;
        }
    }
    lib->png_destroy_write_struct(&writer, &info);
    if (std::fclose(file) != 0) ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool LoadScreenshot(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
    const PngLibrary* lib = Png();
    if (!width || !height || !rgb || !lib) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!lib->png_image_begin_read_from_file(&image, path.c_str())) return false;
    // Cap the size so that a hostile file cannot ask for gigabytes.
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        lib->png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!lib->png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        lib->png_image_free(&image);
        return false;
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

}  // namespace platform
