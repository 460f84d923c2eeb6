// The JPEG frame decoder: joined fragments, the frame's markers choosing the
// decoder, and 8-bit DCT frames through libjpeg from memory (a source over
// the joined bytes, the adapter's memory manager on the image library's
// hooks, errors back by a jump, the abort flag polled per scanline).
#include "dicom/jpeg_frame.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "dicom/frame_decoders.h"
#include "image/format_handler.h"
#include "image/image_memory.h"
#include "image/jpeg_codec.h"

// ---- Markers ---------------------------------------------------------------

namespace {

constexpr unsigned kSoi = 0xD8;
constexpr unsigned kEoi = 0xD9;
constexpr unsigned kSos = 0xDA;

bool IsFrameMarker(unsigned m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

unsigned BigEndian16(const uint8_t* p) { return (unsigned)p[0] << 8 | p[1]; }

}  // namespace

bool InspectJpegFrame(const uint8_t* data, size_t size, JpegFrameInfo* info) {
    *info = JpegFrameInfo();
    if (size < 2 || data[0] != 0xFF || data[1] != kSoi) return false;
    bool haveFrame = false;
    size_t i = 2;
    for (;;) {
        // Bytes between segments are skipped (writers that pad segments);
        // any number of FF fill bytes may precede a marker.
        while (i < size && data[i] != 0xFF) ++i;
        while (i < size && data[i] == 0xFF) ++i;
        if (i >= size) return haveFrame;
        const unsigned marker = data[i++];
        if (marker == 0x00 || marker == 0x01 || marker == kSoi || (marker >= 0xD0 && marker <= 0xD7)) {
            continue;  // no segment follows these
        }
        if (marker == kEoi || i + 2 > size) return haveFrame;
        const size_t length = BigEndian16(data + i);
        if (length < 2) return haveFrame;
        if (IsFrameMarker(marker) && !haveFrame) {
            if (length < 8 || i + 8 > size) return false;
            info->frameMarker = marker;
            info->precision = data[i + 2];
            info->height = BigEndian16(data + i + 3);
            info->width = BigEndian16(data + i + 5);
            info->components = data[i + 7];
            info->lossless = marker == 0xC3;
            haveFrame = true;
        } else if (marker == kSos) {
            if (!haveFrame) return false;
            // Ls, Ns, Ns x (Cs, Td/Ta), Ss, Se, Ah/Al.
            if (i + 3 > size) return true;
            const size_t spectral = i + 3 + 2 * (size_t)data[i + 2];
            if (spectral + 2 > size) return true;
            const unsigned ss = data[spectral];
            const unsigned se = data[spectral + 1];
            if ((info->frameMarker == 0xC0 || info->frameMarker == 0xC1) && se == 0 && ss >= 1 &&
                ss <= 7) {
                // A lossless stream labelled with a sequential frame marker
                // (some older encoders).
                info->lossless = true;
            }
            return true;
        }
        i += length;
    }
}

// ---- 8-bit frames through libjpeg ------------------------------------------

namespace {

constexpr int kLibraryVersion = 62;

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 8);
}

// Warnings and trace messages stay silent.
void OutputMessage(j_common_ptr) {}

// The joined frame in memory. At its end the source supplies an end-of-image
// marker, so that a truncated frame decodes to its end as a truncated JPEG
// file does.
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
    jpeg_source_mgr source;
    RowWindow rows;
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
int Decode8(Context* context, const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
            const FrameTarget& target) {
    jpeg_decompress_struct* cinfo = &context->cinfo;
    cinfo->err = jpeg_std_error(&context->error.pub);
    context->error.pub.error_exit = ErrorExit;
    context->error.pub.output_message = OutputMessage;
    jpeg_CreateDecompress(cinfo, kLibraryVersion, sizeof(jpeg_decompress_struct));
    context->created = true;
    UseImageMemoryForJpeg(reinterpret_cast<j_common_ptr>(cinfo));

    jpeg_source_mgr* source = &context->source;
    source->init_source = InitSource;
    source->fill_input_buffer = FillInput;
    source->skip_input_data = SkipInput;
    source->resync_to_restart = jpeg_resync_to_restart;
    source->term_source = TermSource;
    source->next_input_byte = data;
    source->bytes_in_buffer = size;
    cinfo->src = source;

    jpeg_read_header(cinfo, TRUE);
    if ((int)cinfo->image_width != target.width || (int)cinfo->image_height != target.height) {
        return 8;
    }
    // jpeg_read_header has read the stream's colour space from its own
    // markers (JFIF: YCbCr; Adobe: its transform flag; else the component
    // identifiers, 'R' 'G' 'B' meaning RGB); the photometric interpretation
    // of the data set is not trusted over it. Only the output form follows
    // the image: red, green, blue or grey.
    cinfo->out_color_space = target.samplesPerPixel == 3 ? JCS_RGB : JCS_GRAYSCALE;
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->dither_mode = JDITHER_NONE;
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    jpeg_start_decompress(cinfo);
    if ((int)cinfo->output_width != target.width || (int)cinfo->output_height != target.height ||
        cinfo->output_components != target.samplesPerPixel) {
        return 8;
    }

    const size_t rowSamples = (size_t)target.width * (size_t)target.samplesPerPixel;
    auto common = reinterpret_cast<j_common_ptr>(cinfo);
    JSAMPARRAY scanline = (*cinfo->mem->alloc_sarray)(common, JPOOL_IMAGE, (JDIMENSION)rowSamples, 1);
    auto* samples = static_cast<uint16_t*>(
        (*cinfo->mem->alloc_large)(common, JPOOL_IMAGE, rowSamples * sizeof(uint16_t)));
    // Eight-bit samples need no range: the window comes from the file or
    // spans 0-255. The decoded form equals the image's, so no conversion row.
    if (context->rows.Begin(adjustment, target, target.samplesPerPixel, false, nullptr, nullptr) != 0) {
        return 1;
    }
    // A single scan whose data ends early (the inserted end of image, or any
    // marker but a restart marker inside the scan) stops two iMCU rows later
    // (the library may hold that much decoded data back): further rows would
    // be made from nothing. The rows it leaves are cleared, so that no row of
    // an earlier frame shows through.
    const bool singleScan = !jpeg_has_multiple_scans(cinfo);
    const JDIMENSION tail = (JDIMENSION)(2 * cinfo->max_v_samp_factor * DCTSIZE);
    JDIMENSION stop = cinfo->output_height;
    while (cinfo->output_scanline < stop) {
        if (AbortFlagSet()) return 15;
        const int marker = cinfo->unread_marker;
        if (singleScan && stop == cinfo->output_height && cinfo->output_height - cinfo->output_scanline > tail &&
            marker != 0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7)) {
            stop = cinfo->output_scanline + tail;
        }
        const int y = (int)cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, scanline, 1) != 1) return 8;
        for (size_t i = 0; i < rowSamples; ++i) samples[i] = scanline[0][i];
        context->rows.Write(y, samples);
    }
    for (int y = (int)cinfo->output_scanline; y < target.height; ++y) {
        std::memset(target.Row(y), 0, (size_t)target.width * (size_t)target.samplesPerPixel);
    }
    context->rows.End();
    return 0;
}

int Run8(Context* context, const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
         const FrameTarget& target) {
    // Every way out (done, refused, aborted, a library error) destroys the
    // object, which releases everything the library allocated.
    if (setjmp(context->error.jump) != 0) {
        Destroy(context);
        return 8;  // the error exit jumped back with a library error
    }
    const int result = Decode8(context, data, size, adjustment, target);
    Destroy(context);
    return result;
}

int DecodeJpeg8(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                const FrameTarget& target) {
    auto* context = static_cast<Context*>(ImageAllocate(sizeof(Context)));
    if (context == nullptr) return 1;
    const int result = Run8(context, data, size, adjustment, target);
    ImageFree(context);
    return result;
}

// 12-bit frames decode whole, then go through the window like uncompressed
// samples of more than 8 bits.
int DecodeJpeg12Frame(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                      const FrameTarget& target) {
    const size_t count = (size_t)target.width * (size_t)target.height * (size_t)target.samplesPerPixel;
    auto* samples = static_cast<uint16_t*>(ImageAllocate(count * sizeof(uint16_t)));
    if (samples == nullptr) return 1;
    int result = DecodeJpeg12(data, size, target.width, target.height, target.samplesPerPixel, samples);
    if (result == 0) result = WindowFrame16(adjustment, target, samples, target.samplesPerPixel, true);
    ImageFree(samples);
    return result;
}

}  // namespace

int DecodeJpegFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                        const FrameTarget& target) {
    JpegFrameInfo info;
    if (!InspectJpegFrame(data, size, &info)) return 8;
    if (info.lossless) return DecodeLosslessFrameData(data, size, adjustment, target);
    switch (info.frameMarker) {
        case 0xC0:  // baseline
        case 0xC1:  // extended sequential, Huffman
        case 0xC2:  // progressive, Huffman
        case 0xC9:  // extended sequential, arithmetic
        case 0xCA:  // progressive, arithmetic
            break;
        default:  // hierarchical and lossless arithmetic frames
            return 8;
    }
    if (info.width != (unsigned)target.width || info.height != (unsigned)target.height) return 8;
    if (info.precision == 8) return DecodeJpeg8(data, size, adjustment, target);
    if (info.precision == 12) return DecodeJpeg12Frame(data, size, adjustment, target);
    return 8;  // DCT frames of other precisions are refused
}

int FetchJpegFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index) {
    CompressedFetch fetch;
    int result = 0;
    if (!BeginCompressedFetch(file, source, adjustment, index, &fetch, &result)) return result;
    return DecodeJpegFrameData(fetch.data.data(), fetch.data.size(), fetch.adjustment, fetch.target);
}
