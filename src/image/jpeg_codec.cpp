// The JPEG adapter: source and destination managers on the file handle, a
// memory manager on the image library's hooks, the error manager that jumps
// back to the load or save routine, and the scanline loops.
#include "jpeg_codec.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "image_memory.h"

// The library declares the virtual array control blocks without defining
// them: each memory manager brings its own. Ours keep the whole array in
// memory (there is no backing store).
struct jvirt_sarray_control {
    JSAMPARRAY rows;
    JDIMENSION height;
    JDIMENSION samplesPerRow;
    JDIMENSION maxAccess;
    jvirt_sarray_control* next;
};
struct jvirt_barray_control {
    JBLOCKARRAY rows;
    JDIMENSION height;
    JDIMENSION blocksPerRow;
    JDIMENSION maxAccess;
    jvirt_barray_control* next;
};

namespace {

constexpr int kLibraryVersion = 62;
constexpr size_t kInputBufferSize = 4096;
constexpr size_t kOutputBufferSize = 4096;
constexpr size_t kMessageSize = 200;
// The library's SIMD routines need 32-byte aligned objects and may touch
// the rest of an object's last alignment unit; sample rows are padded to
// twice that.
constexpr size_t kAlign = 32;
// No image the viewer can show needs more working memory than this; a
// hostile header asking for more fails like an exhausted heap.
constexpr size_t kWorkingMemoryLimit = size_t(1) << 31;

// ---- Memory manager --------------------------------------------------------
//
// The shared library fixes its system-dependent allocator when it is built,
// so the adapter replaces the whole memory manager object right after
// creating the library object: every pool, sample and coefficient array and
// virtual array from then on comes from the image library's hooks. The few
// control blocks the library allocates while creating the object stay with
// its own manager, which is destroyed after ours.

struct Allocation {
    Allocation* next;
    void* raw;  // what the hook returned
};

struct HookMemory {
    jpeg_memory_mgr pub;
    jpeg_memory_mgr* library;  // the library's own manager, destroyed last
    Allocation* pools[JPOOL_NUMPOOLS];
    jvirt_sarray_control* sampleArrays;
    jvirt_barray_control* blockArrays;
    size_t total;
};

HookMemory* Memory(j_common_ptr cinfo) { return reinterpret_cast<HookMemory*>(cinfo->mem); }

void* Allocate(j_common_ptr cinfo, int pool, size_t size) {
    HookMemory* memory = Memory(cinfo);
    if (pool < 0 || pool >= JPOOL_NUMPOOLS) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
    if (size > kWorkingMemoryLimit - memory->total) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    size = (size + kAlign - 1) & ~(kAlign - 1);
    void* raw = ImageAllocate(size + sizeof(Allocation) + kAlign);
    if (!raw) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
    memory->total += size;
    auto* header = static_cast<Allocation*>(raw);
    header->raw = raw;
    header->next = memory->pools[pool];
    memory->pools[pool] = header;
    uintptr_t data = reinterpret_cast<uintptr_t>(header + 1);
    data = (data + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1);
    return reinterpret_cast<void*>(data);
}

void* AllocSmall(j_common_ptr cinfo, int pool, size_t size) { return Allocate(cinfo, pool, size); }

void* AllocLarge(j_common_ptr cinfo, int pool, size_t size) { return Allocate(cinfo, pool, size); }

JSAMPARRAY AllocSampleArray(j_common_ptr cinfo, int pool, JDIMENSION samplesPerRow, JDIMENSION rows) {
    size_t width = (static_cast<size_t>(samplesPerRow) + 2 * kAlign - 1) & ~(2 * kAlign - 1);
    if (rows > 0 && width > kWorkingMemoryLimit / rows) ERREXIT(cinfo, JERR_WIDTH_OVERFLOW);
    auto* result = static_cast<JSAMPARRAY>(Allocate(cinfo, pool, sizeof(JSAMPROW) * rows));
    auto* data = static_cast<JSAMPLE*>(Allocate(cinfo, pool, width * rows));
    for (JDIMENSION i = 0; i < rows; ++i) result[i] = data + width * i;
    return result;
}

JBLOCKARRAY AllocBlockArray(j_common_ptr cinfo, int pool, JDIMENSION blocksPerRow, JDIMENSION rows) {
    size_t width = static_cast<size_t>(blocksPerRow);
    if (rows > 0 && width > kWorkingMemoryLimit / sizeof(JBLOCK) / rows) ERREXIT(cinfo, JERR_WIDTH_OVERFLOW);
    auto* result = static_cast<JBLOCKARRAY>(Allocate(cinfo, pool, sizeof(JBLOCKROW) * rows));
    auto* data = static_cast<JBLOCKROW>(Allocate(cinfo, pool, sizeof(JBLOCK) * width * rows));
    for (JDIMENSION i = 0; i < rows; ++i) result[i] = data + width * i;
    return result;
}

jvirt_sarray_ptr RequestSampleArray(j_common_ptr cinfo, int pool, boolean /*preZero*/,
                                    JDIMENSION samplesPerRow, JDIMENSION rows, JDIMENSION maxAccess) {
    if (pool != JPOOL_IMAGE) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
    auto* array = static_cast<jvirt_sarray_control*>(Allocate(cinfo, pool, sizeof(jvirt_sarray_control)));
    *array = {nullptr, rows, samplesPerRow, maxAccess, Memory(cinfo)->sampleArrays};
    Memory(cinfo)->sampleArrays = array;
    return array;
}

jvirt_barray_ptr RequestBlockArray(j_common_ptr cinfo, int pool, boolean /*preZero*/,
                                   JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess) {
    if (pool != JPOOL_IMAGE) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
    auto* array = static_cast<jvirt_barray_control*>(Allocate(cinfo, pool, sizeof(jvirt_barray_control)));
    *array = {nullptr, rows, blocksPerRow, maxAccess, Memory(cinfo)->blockArrays};
    Memory(cinfo)->blockArrays = array;
    return array;
}

// Allocations come zero-filled from the hooks, which serves the arrays that
// asked to be pre-zeroed.
void RealizeArrays(j_common_ptr cinfo) {
    for (jvirt_sarray_control* a = Memory(cinfo)->sampleArrays; a; a = a->next) {
        if (!a->rows) a->rows = AllocSampleArray(cinfo, JPOOL_IMAGE, a->samplesPerRow, a->height);
    }
    for (jvirt_barray_control* a = Memory(cinfo)->blockArrays; a; a = a->next) {
        if (!a->rows) a->rows = AllocBlockArray(cinfo, JPOOL_IMAGE, a->blocksPerRow, a->height);
    }
}

JSAMPARRAY AccessSampleArray(j_common_ptr cinfo, jvirt_sarray_ptr array, JDIMENSION start, JDIMENSION count,
                             boolean /*writable*/) {
    if (!array->rows || count > array->maxAccess || start > array->height || count > array->height - start) {
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    }
    return array->rows + start;
}

JBLOCKARRAY AccessBlockArray(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count,
                             boolean /*writable*/) {
    if (!array->rows || count > array->maxAccess || start > array->height || count > array->height - start) {
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    }
    return array->rows + start;
}

void FreePool(j_common_ptr cinfo, int pool) {
    HookMemory* memory = Memory(cinfo);
    if (pool < 0 || pool >= JPOOL_NUMPOOLS) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
    if (pool == JPOOL_IMAGE) {
        // The virtual arrays live in the image pool.
        memory->sampleArrays = nullptr;
        memory->blockArrays = nullptr;
    }
    Allocation* a = memory->pools[pool];
    memory->pools[pool] = nullptr;
    while (a) {
        Allocation* next = a->next;
        ImageFree(a->raw);
        a = next;
    }
}

void SelfDestruct(j_common_ptr cinfo) {
    HookMemory* memory = Memory(cinfo);
    for (int pool = JPOOL_NUMPOOLS - 1; pool >= JPOOL_PERMANENT; --pool) FreePool(cinfo, pool);
    jpeg_memory_mgr* library = memory->library;
    ImageFree(memory);
    cinfo->mem = library;
    (*library->self_destruct)(cinfo);
}

void InstallHookMemory(j_common_ptr cinfo) {
    auto* memory = static_cast<HookMemory*>(ImageAllocate(sizeof(HookMemory)));
    if (!memory) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    memory->library = cinfo->mem;
    memory->pub.alloc_small = AllocSmall;
    memory->pub.alloc_large = AllocLarge;
    memory->pub.alloc_sarray = AllocSampleArray;
    memory->pub.alloc_barray = AllocBlockArray;
    memory->pub.request_virt_sarray = RequestSampleArray;
    memory->pub.request_virt_barray = RequestBlockArray;
    memory->pub.realize_virt_arrays = RealizeArrays;
    memory->pub.access_virt_sarray = AccessSampleArray;
    memory->pub.access_virt_barray = AccessBlockArray;
    memory->pub.free_pool = FreePool;
    memory->pub.self_destruct = SelfDestruct;
    // Everything requested is available.
    memory->pub.max_memory_to_use = cinfo->mem->max_memory_to_use;
    memory->pub.max_alloc_chunk = cinfo->mem->max_alloc_chunk;
    cinfo->mem = &memory->pub;
}

// ---- Error manager ---------------------------------------------------------

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool created;  // the library object exists and must be destroyed once
};

// Library failures: the message is formatted and dropped, the object
// destroyed, and control returns to the routine that armed the jump.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (error->created) {
        error->created = false;
        jpeg_destroy(cinfo);
    }
    longjmp(error->jump, 8);
}

// Warnings and trace messages stay silent.
void OutputMessage(j_common_ptr cinfo) {
    char message[kMessageSize];
    static_assert(kMessageSize >= JMSG_LENGTH_MAX, "the library formats up to JMSG_LENGTH_MAX bytes");
    (*cinfo->err->format_message)(cinfo, message);
}

void SetUpErrors(ErrorManager* error) {
    jpeg_std_error(&error->pub);
    error->pub.error_exit = ErrorExit;
    error->pub.output_message = OutputMessage;
    error->created = false;
}

// ---- Source manager --------------------------------------------------------

struct FileSource {
    jpeg_source_mgr pub;
    HANDLE file;
    JOCTET* buffer;
    boolean startOfFile;
    boolean ended;  // the file ran out and an end-of-image marker stands in
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<FileSource*>(cinfo->src)->startOfFile = TRUE; }

boolean FillInput(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<FileSource*>(cinfo->src);
    DWORD got = 0;
    if (!ReadFile(source->file, source->buffer, kInputBufferSize, &got, nullptr)) got = 0;
    if (got == 0) {
        if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A truncated file ends with an inserted end-of-image marker, so the
        // library completes the picture instead of failing.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
        source->ended = TRUE;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = got;
    source->startOfFile = FALSE;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = cinfo->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillInput(cinfo);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void AttachSource(j_decompress_ptr cinfo, HANDLE file) {
    auto* source = static_cast<FileSource*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileSource)));
    source->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kInputBufferSize));
    source->file = file;
    source->startOfFile = TRUE;
    source->ended = FALSE;
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInput;
    source->pub.skip_input_data = SkipInput;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
    cinfo->src = &source->pub;
}

// ---- Destination manager ---------------------------------------------------

struct FileDestination {
    jpeg_destination_mgr pub;
    HANDLE file;
    JOCTET* buffer;
};

bool WriteBlock(HANDLE file, const JOCTET* data, size_t count) {
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

void InitDestination(j_compress_ptr cinfo) {
    auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
    destination->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kOutputBufferSize));
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kOutputBufferSize;
}

boolean EmptyOutput(j_compress_ptr cinfo) {
    auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
    if (!WriteBlock(destination->file, destination->buffer, kOutputBufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = kOutputBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* destination = reinterpret_cast<FileDestination*>(cinfo->dest);
    size_t count = kOutputBufferSize - destination->pub.free_in_buffer;
    if (count > 0 && !WriteBlock(destination->file, destination->buffer, count)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void AttachDestination(j_compress_ptr cinfo, HANDLE file) {
    auto* destination = static_cast<FileDestination*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileDestination)));
    destination->file = file;
    destination->buffer = nullptr;
    destination->pub.init_destination = InitDestination;
    destination->pub.empty_output_buffer = EmptyOutput;
    destination->pub.term_destination = TermDestination;
    cinfo->dest = &destination->pub;
}

// ---- Decoding --------------------------------------------------------------

struct DecodeContext {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    BYTE* cmykRow;  // four-component scanlines before conversion
};

struct EncodeContext {
    jpeg_compress_struct cinfo;
    ErrorManager error;
    BYTE* row;  // one row expanded to red, green, blue
};

// Four-component pixels to blue, green, red. Files carrying Adobe's APP14
// segment (Photoshop and most other writers) store CMYK inverted, 255 for no
// ink; the others store plain CMYK.
void ConvertCmykRow(const BYTE* cmyk, BYTE* bgr, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<BYTE>((y * k + 127) / 255);
        bgr[1] = static_cast<BYTE>((m * k + 127) / 255);
        bgr[2] = static_cast<BYTE>((c * k + 127) / 255);
    }
}

class JpegDecoder {
public:
    // Arms the jump buffer and runs the decode; a library failure lands here.
    static LoadError Run(JpegHandler* handler, DecodeContext* context, HANDLE file);

private:
    static LoadError Decode(JpegHandler* handler, DecodeContext* context, HANDLE file);
};

LoadError JpegDecoder::Run(JpegHandler* handler, DecodeContext* context, HANDLE file) {
    if (setjmp(context->error.jump)) {
        if (context->error.created) {
            context->error.created = false;
            jpeg_destroy_decompress(&context->cinfo);
        }
        return AbortFlagSet() ? kLoadAborted : kLoadCorrupt;
    }
    return Decode(handler, context, file);
}

// No object with a destructor may live in this frame: a library failure
// leaves it by a jump.
LoadError JpegDecoder::Decode(JpegHandler* handler, DecodeContext* context, HANDLE file) {
    jpeg_decompress_struct* cinfo = &context->cinfo;
    SetUpErrors(&context->error);
    cinfo->err = &context->error.pub;
    jpeg_CreateDecompress(cinfo, kLibraryVersion, sizeof(jpeg_decompress_struct));
    context->error.created = true;
    InstallHookMemory(reinterpret_cast<j_common_ptr>(cinfo));
    AttachSource(cinfo, file);
    jpeg_read_header(cinfo, TRUE);

    // Speed settings for handheld processors; output at full size.
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->dither_mode = JDITHER_NONE;
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;

    const int components = cinfo->num_components;
    const bool fourComponents = components == 4;
    const bool inverted = cinfo->saw_Adobe_marker != 0;
    RGBQUAD grey[256];
    const RGBQUAD* table = nullptr;
    int tableSize = 0;
    if (components == 1) {
        for (int i = 0; i < 256; ++i) grey[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        table = grey;
        tableSize = 256;
    } else if (components == 3 && cinfo->out_color_space == JCS_RGB) {
        // Rows arrive in the image's blue, green, red order.
        cinfo->out_color_space = JCS_EXT_BGR;
    } else if (fourComponents) {
        cinfo->out_color_space = JCS_CMYK;  // YCCK is converted by the library
    }
    const int bitsPerPixel = fourComponents ? 24 : components * 8;

    if (AbortFlagSet()) {
        context->error.created = false;
        jpeg_destroy_decompress(cinfo);
        return kLoadAborted;
    }
    const int width = static_cast<int>(cinfo->image_width);
    const int height = static_cast<int>(cinfo->image_height);
    if (!handler->CreateForDecode(width, height, bitsPerPixel, table, tableSize)) {
        context->error.created = false;
        jpeg_destroy_decompress(cinfo);
        return bitsPerPixel > 24 ? kLoadUnsupportedVersion : kLoadOutOfMemory;
    }
    const int major = cinfo->JFIF_major_version;
    const int minor = cinfo->JFIF_minor_version;
    const bool progressive = cinfo->progressive_mode != 0;

    jpeg_start_decompress(cinfo);
    const size_t rowBytes = static_cast<size_t>(cinfo->output_width) * cinfo->output_components;
    const size_t paddedRow = static_cast<size_t>(DibRowStride(width, bitsPerPixel));
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        (fourComponents ? cinfo->output_components != 4 : rowBytes > paddedRow)) {
        ERREXIT(cinfo, JERR_BAD_IN_COLORSPACE);  // a layout the image cannot hold
    }
    if (fourComponents) {
        context->cmykRow = static_cast<BYTE*>(ImageAllocate(((static_cast<size_t>(width) * 4 + 3) & ~size_t(3)) + 4));
        if (!context->cmykRow) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 3);
    }
    // A single scan whose data ends early (the file ends, or a marker other
    // than a restart marker comes up inside the scan, such as the end of
    // image of a file whose header claims more rows than its data holds)
    // stops soon after: every further row would be made from nothing, and a
    // forged size could ask for billions of them. The rows of two more iMCU
    // rows still come out (the library may hold that much decoded data
    // back); the rest of the picture stays black. Files of several scans
    // have been read whole by now, into coefficient memory the size of the
    // picture.
    const auto* source = reinterpret_cast<const FileSource*>(cinfo->src);
    const bool singleScan = !jpeg_has_multiple_scans(cinfo);
    const JDIMENSION tail = static_cast<JDIMENSION>(2 * cinfo->max_v_samp_factor * DCTSIZE);
    auto dataEnded = [cinfo, source] {
        const int marker = cinfo->unread_marker;
        return source->ended || (marker != 0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7));
    };
    JDIMENSION stop = cinfo->output_height;
    while (cinfo->output_scanline < stop && !AbortFlagSet()) {
        if (singleScan && stop == cinfo->output_height &&
            cinfo->output_height - cinfo->output_scanline > tail && dataEnded()) {
            stop = cinfo->output_scanline + tail;
        }
        const int y = height - static_cast<int>(cinfo->output_scanline) - 1;
        BYTE* target = handler->RowTarget(y);
        if (fourComponents) {
            JSAMPROW row = context->cmykRow;
            jpeg_read_scanlines(cinfo, &row, 1);
            ConvertCmykRow(context->cmykRow, target, width, inverted);
        } else {
            JSAMPROW row = target;
            jpeg_read_scanlines(cinfo, &row, 1);
            std::memset(target + rowBytes, 0, paddedRow - rowBytes);
        }
        handler->CommitRow(y);
    }
    // The picture is short of data when the file ran out before the last
    // row came out (the inserted end-of-image marker completed it) or its
    // scan was cut off by another marker; an abort is not a short file.
    const bool truncated = !AbortFlagSet() && (source->ended || stop < cinfo->output_height ||
                                               cinfo->output_scanline < cinfo->output_height);
    // After an abort the library reports too little data: the jump returns 15.
    if (cinfo->output_scanline < cinfo->output_height && !AbortFlagSet()) {
        jpeg_abort_decompress(cinfo);  // cut short after the end of the file
    } else {
        jpeg_finish_decompress(cinfo);
    }
    context->error.created = false;
    jpeg_destroy_decompress(cinfo);

    RImage& image = handler->Image();
    image.truncated = truncated;
    wsprintfW(image.formatText, u"Ver.%d.%02d", major, minor);
    if (progressive) lstrcatW(image.formatText, u" - progressive");
    return kLoadOk;
}

}  // namespace

LoadError JpegHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    auto* context = static_cast<DecodeContext*>(ImageAllocate(sizeof(DecodeContext)));
    if (!context) return kLoadOutOfMemory;
    LoadError result = JpegDecoder::Run(this, context, file);
    ImageFree(context->cmykRow);
    ImageFree(context);
    if (result != kLoadOk) ReleaseHandlerImage();
    return result;
}

LoadError JpegHandler::Save(HANDLE file, const RImage& image) { return SaveJpeg(file, image, kDefaultJpegQuality); }

// ---- Encoding --------------------------------------------------------------

namespace {

// One image row (memory row y) as red, green, blue bytes.
void ExpandRow(const RImage& image, int y, BYTE* out) {
    const BITMAPINFOHEADER* header = image.header;
    const int width = header->biWidth;
    const int bpp = header->biBitCount;
    const BYTE* row = RowAddress(image, y);
    const RGBQUAD* table = ColourTable(header);
    for (int x = 0; x < width; ++x, out += 3) {
        switch (bpp) {
            case 24:
                out[0] = row[3 * x + 2];
                out[1] = row[3 * x + 1];
                out[2] = row[3 * x];
                break;
            case 16: {
                // The fields at bits 10-14, 5-9 and 0-4 go to blue, green and
                // red as they are, the way the draw routines take them.
                unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
                out[0] = static_cast<BYTE>(v & 0x1F);
                out[1] = static_cast<BYTE>((v >> 5) & 0x1F);
                out[2] = static_cast<BYTE>((v >> 10) & 0x1F);
                break;
            }
            default: {
                int index;
                if (bpp == 8) {
                    index = row[x];
                } else {
                    const int perByte = 8 / bpp;
                    const int shift = 8 - bpp * (x % perByte + 1);
                    index = (row[x / perByte] >> shift) & ((1 << bpp) - 1);
                }
                const RGBQUAD& c = table[index];
                out[0] = c.rgbRed;
                out[1] = c.rgbGreen;
                out[2] = c.rgbBlue;
                break;
            }
        }
    }
}

class JpegEncoder {
public:
    static LoadError Run(EncodeContext* context, HANDLE file, const RImage& image, int quality);

private:
    static LoadError Encode(EncodeContext* context, HANDLE file, const RImage& image, int quality);
};

LoadError JpegEncoder::Run(EncodeContext* context, HANDLE file, const RImage& image, int quality) {
    if (setjmp(context->error.jump)) {
        if (context->error.created) {
            context->error.created = false;
            jpeg_destroy_compress(&context->cinfo);
        }
        return AbortFlagSet() ? kLoadAborted : kLoadCorrupt;
    }
    return Encode(context, file, image, quality);
}

LoadError JpegEncoder::Encode(EncodeContext* context, HANDLE file, const RImage& image, int quality) {
    jpeg_compress_struct* cinfo = &context->cinfo;
    SetUpErrors(&context->error);
    context->error.pub.trace_level = 0;
    cinfo->err = &context->error.pub;
    jpeg_CreateCompress(cinfo, kLibraryVersion, sizeof(jpeg_compress_struct));
    context->error.created = true;
    InstallHookMemory(reinterpret_cast<j_common_ptr>(cinfo));

    const int width = image.header->biWidth;
    const int height = image.header->biHeight;
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_simple_progression(cinfo);
    jpeg_default_colorspace(cinfo);
    AttachDestination(cinfo, file);

    context->row = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(width) * 3));
    if (!context->row) {
        context->error.created = false;
        jpeg_destroy_compress(cinfo);
        return kLoadOutOfMemory;
    }
    jpeg_start_compress(cinfo, TRUE);
    for (int y = height - 1; y >= 0; --y) {
        if (AbortFlagSet()) {
            context->error.created = false;
            jpeg_destroy_compress(cinfo);
            return kLoadAborted;
        }
        ExpandRow(image, y, context->row);
        JSAMPROW row = context->row;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    context->error.created = false;
    jpeg_destroy_compress(cinfo);
    return kLoadOk;
}

}  // namespace

LoadError SaveJpeg(HANDLE file, const RImage& image, int quality) {
    const BITMAPINFOHEADER* header = image.header;
    if (!header || !image.pixels) return kLoadSaveUnsupported;
    switch (header->biBitCount) {
        case 1: case 2: case 4: case 8: case 16: case 24:
            break;
        default:
            return kLoadUnsupportedVersion;
    }
    if (header->biWidth <= 0 || header->biHeight <= 0 || header->biWidth > JPEG_MAX_DIMENSION ||
        header->biHeight > JPEG_MAX_DIMENSION) {
        return kLoadUnsupportedVersion;
    }
    if (quality < 1) quality = 1;
    if (quality > 100) quality = 100;
    auto* context = static_cast<EncodeContext*>(ImageAllocate(sizeof(EncodeContext)));
    if (!context) return kLoadOutOfMemory;
    LoadError result = JpegEncoder::Run(context, file, image, quality);
    ImageFree(context->row);
    ImageFree(context);
    return result;
}

void UseImageMemoryForJpeg(jpeg_common_struct* cinfo) { InstallHookMemory(cinfo); }
