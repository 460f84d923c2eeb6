// 12-bit DCT frames (extended JPEG, process 4) through GDCM's 12-bit build of
// the IJG library, whose symbols carry the gdcmjpeg12_ prefix (the library's
// own headers rename every call). Its types are kept in a namespace of their
// own so that they never meet the 8-bit library's types of the same names.
// The library allocates with its own memory manager: this build offers no
// way to replace it that would not depend on its private layout.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "dicom/jpeg_frame.h"
#include "image/format_handler.h"
#include "image/image_memory.h"

namespace jpeg12 {
extern "C" {
// clang-format off
#include <gdcm-3.0/gdcmjpeg/12/jpeglib.h>
#include <gdcm-3.0/gdcmjpeg/12/jerror.h>
// clang-format on
}
}  // namespace jpeg12

namespace {

using namespace jpeg12;

static_assert(BITS_IN_JSAMPLE == 12, "the 12-bit build of the library");

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 8);
}

// Warnings and trace messages stay silent.
void OutputMessage(j_common_ptr) {}

// The joined frame in memory; at its end the source supplies an end-of-image
// marker, so that a truncated frame decodes to its end.
struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t size;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = cinfo->src;
    while ((size_t)count > source->bytes_in_buffer) {
        count -= (long)source->bytes_in_buffer;
        FillInput(cinfo);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= (size_t)count;
}

void TermSource(j_decompress_ptr) {}

struct Context {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    MemorySource source;
    bool created;
};

void Destroy(Context* context) {
    if (context->created) {
        context->created = false;
        jpeg_destroy_decompress(&context->cinfo);
    }
}

// No object with a destructor may live in this frame: a library failure
// leaves it by a jump.
int Decode(Context* context, const uint8_t* data, size_t size, int width, int height,
           int samplesPerPixel, uint16_t* samples) {
    jpeg_decompress_struct* cinfo = &context->cinfo;
    cinfo->err = jpeg_std_error(&context->error.pub);
    context->error.pub.error_exit = ErrorExit;
    context->error.pub.output_message = OutputMessage;
    jpeg_create_decompress(cinfo);
    context->created = true;

    MemorySource* source = &context->source;
    source->data = data;
    source->size = size;
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInput;
    source->pub.skip_input_data = SkipInput;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->pub.next_input_byte = data;
    source->pub.bytes_in_buffer = size;
    cinfo->src = &source->pub;

    jpeg_read_header(cinfo, TRUE);
    if ((int)cinfo->image_width != width || (int)cinfo->image_height != height) return 8;
    // The stream's own colour markers decide how its components are read;
    // only the form of the output follows the image.
    cinfo->out_color_space = samplesPerPixel == 3 ? JCS_RGB : JCS_GRAYSCALE;
    cinfo->dct_method = JDCT_ISLOW;  // the fast DCT loses too much at 12 bits
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->dither_mode = JDITHER_NONE;
    jpeg_start_decompress(cinfo);
    if ((int)cinfo->output_width != width || (int)cinfo->output_height != height ||
        cinfo->output_components != samplesPerPixel) {
        return 8;
    }
    const size_t rowSamples = (size_t)width * (size_t)samplesPerPixel;
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 (JDIMENSION)rowSamples, 1);
    // A single scan whose data ends early (the inserted end of image, or any
    // marker but a restart marker inside the scan) stops two iMCU rows later:
    // further rows would be made from nothing. The samples left stay 0.
    const bool singleScan = !jpeg_has_multiple_scans(cinfo);
    const JDIMENSION tail = (JDIMENSION)(2 * cinfo->max_v_samp_factor * DCTSIZE);
    JDIMENSION stop = cinfo->output_height;
    while (cinfo->output_scanline < stop) {
        if (AbortFlagSet()) return 15;
        const int marker = cinfo->unread_marker;
        if (singleScan && stop == cinfo->output_height && cinfo->output_height - cinfo->output_scanline > tail &&
            marker != 0 && (marker < 0xD0 || marker > 0xD7)) {
            stop = cinfo->output_scanline + tail;
        }
        const size_t y = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) return 8;
        uint16_t* out = samples + y * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) out[i] = (uint16_t)row[0][i];
    }
    return 0;
}

int Run(Context* context, const uint8_t* data, size_t size, int width, int height,
        int samplesPerPixel, uint16_t* samples) {
    // Every way out (done, refused, aborted, a library error) destroys the
    // object, which releases everything the library allocated.
    if (setjmp(context->error.jump) != 0) {
        Destroy(context);
        return 8;  // the error exit jumped back with a library error
    }
    const int result = Decode(context, data, size, width, height, samplesPerPixel, samples);
    Destroy(context);
    return result;
}

}  // namespace

int DecodeJpeg12(const uint8_t* data, size_t size, int width, int height, int samplesPerPixel,
                 uint16_t* samples) {
    if (size == 0 || width <= 0 || height <= 0 || (samplesPerPixel != 1 && samplesPerPixel != 3)) {
        return 8;
    }
    auto* context = static_cast<Context*>(ImageAllocate(sizeof(Context)));
    if (context == nullptr) return 1;
    const int result = Run(context, data, size, width, height, samplesPerPixel, samples);
    ImageFree(context);
    return result;
}
