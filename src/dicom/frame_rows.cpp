// The destination of the compressed frame decoders, row flipping, and the
// window of decoded 16-bit samples.
#include "dicom/frame_rows.h"

#include <cmath>
#include <cstring>

#include "dicom/byte_stream.h"
#include "dicom/dicom_image_info.h"
#include "dicom/frame_decoders.h"
#include "dicom/frame_fragments.h"
#include "image/format_handler.h"
#include "image/image_memory.h"
#include "image/rimage.h"

int GetFrameTarget(const FrameSource* source, int index, FrameTarget* target) {
    if (source == nullptr || index < 0 || index >= source->frameCount) return 8;
    const FrameSlot& slot = source->Slots()[index];
    if (slot.pixels == nullptr) return 1;
    if (source->bitsPerPixel != 8 && source->bitsPerPixel != 24) return 8;
    const int64_t stride = DibRowStride(source->width, source->bitsPerPixel);
    const int64_t size = DibImageSize(source->width, source->height, source->bitsPerPixel);
    if (stride < 0 || size < 0) return 8;
    if ((uint64_t)size > slot.byteSize) return 1;
    target->pixels = slot.pixels;
    target->stride = (size_t)stride;
    target->width = source->width;
    target->height = source->height;
    target->samplesPerPixel = source->bitsPerPixel == 24 ? 3 : 1;
    return 0;
}

void AttachFrameFile(HANDLE file) {
    ByteStream& stream = DicomStream();
    if (stream.kind == kStreamRemote) return;
    if (stream.kind == kStreamLocalFile && stream.handle == file) return;
    stream.attach_file(file);
}

bool BeginCompressedFetch(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment,
                          int index, CompressedFetch* fetch, int* result) {
    ByteStream& stream = DicomStream();
    if (file == nullptr) {
        *result = source == nullptr ? -1 : CheckCompressedFrameAvailable(stream, *source, index);
        return false;
    }
    AttachFrameFile(file);
    *result = GetFrameTarget(source, index, &fetch->target);
    if (*result != 0) return false;
    const DicomSourceData* data = DicomSourceOf(source);
    fetch->adjustment = adjustment;
    if (adjustment == nullptr && data != nullptr) {
        fetch->fallback = data->fileAdjustment;
        fetch->adjustment = &fetch->fallback;
    }
    if (fetch->adjustment == nullptr) {
        *result = 1;
        return false;
    }
    fetch->target.ybrFull = data != nullptr && data->ybr == kYbrFull && fetch->target.samplesPerPixel == 3;
    *result = ReadCompressedFrame(stream, *source, index, &fetch->data);
    return *result == 0;
}

namespace {

// Rounded to the nearest value and clamped, as the uncompressed decoder does.
inline BYTE Clamp255(float v) {
    const int32_t i = (int32_t)std::floor(v + 0.5f);
    return (BYTE)(i < 0 ? 0 : i > 255 ? 255 : i);
}

}  // namespace

void ConvertYbrFullRows(const FrameTarget& target) {
    for (int y = 0; y < target.height; ++y) {
        BYTE* pixel = target.pixels + (size_t)y * target.stride;
        for (int x = 0; x < target.width; ++x, pixel += 3) {
            const float luma = pixel[2];
            const float cb = (float)pixel[1] - 128.0f;
            const float cr = (float)pixel[0] - 128.0f;
            pixel[2] = Clamp255(luma + 1.402f * cr);
            pixel[1] = Clamp255(luma - (0.114f * 1.772f / 0.587f) * cb - (0.299f * 1.402f / 0.587f) * cr);
            pixel[0] = Clamp255(luma + 1.772f * cb);
        }
    }
}

void SignExtendSamples(uint16_t* samples, size_t count, int precision) {
    if (precision < 2 || precision >= 16) return;
    const int shift = 16 - precision;
    for (size_t i = 0; i < count; ++i) {
        samples[i] = (uint16_t)((int16_t)(uint16_t)(samples[i] << shift) >> shift);
    }
}

int RowWindow::Begin(DisplayAdjustment* a, const FrameTarget& t, int samples, bool wideSamples,
                     SampleRangeFn range, void* context) {
    adjustment = a;
    target = &t;
    decodedSamples = samples;
    converted = nullptr;
    table = nullptr;
    if (decodedSamples != t.samplesPerPixel) {
        converted = static_cast<uint16_t*>(
            ImageAllocate((size_t)t.width * (size_t)t.samplesPerPixel * sizeof(uint16_t)));
        if (converted == nullptr) return 1;
    }
    inverted = PrepareFrameWindow(a, wideSamples, range, context);
    return 0;
}

void RowWindow::Write(int y, const uint16_t* samples) {
    const int width = target->width;
    if (converted != nullptr) {
        if (target->samplesPerPixel == 3) {
            for (int x = 0; x < width; ++x) {
                converted[3 * x] = converted[3 * x + 1] = converted[3 * x + 2] = samples[x];
            }
        } else {
            for (int x = 0; x < width; ++x) converted[x] = samples[(size_t)x * decodedSamples];
        }
        samples = converted;
    }
    BYTE* out = target->Row(y);
    if (table == nullptr) {
        WindowRow16(*adjustment, inverted, samples, width, target->samplesPerPixel, out);
    } else if (target->samplesPerPixel >= 3) {
        // Red, green, blue in; blue, green, red out.
        for (int x = 0; x < width; ++x) {
            const uint16_t* s = samples + (size_t)x * 3;
            out[(size_t)x * 3] = table->Map(s[2]);
            out[(size_t)x * 3 + 1] = table->Map(s[1]);
            out[(size_t)x * 3 + 2] = table->Map(s[0]);
        }
    } else {
        table->MapRow([samples](size_t x) { return (uint32_t)samples[x]; }, (size_t)width, out);
    }
}

void RowWindow::End() {
    adjustment->applied = 1;
    ImageFree(converted);
    converted = nullptr;
}

namespace {

struct FrameSamples {
    const uint16_t* samples;
    size_t count;
};

void FrameRange(void* context, DisplayAdjustment* adjustment) {
    const auto* frame = static_cast<const FrameSamples*>(context);
    SampleRange16(*adjustment, frame->samples, frame->count, &adjustment->smallest,
                  &adjustment->largest);
}

}  // namespace

int WindowFrame16(DisplayAdjustment* adjustment, const FrameTarget& target,
                  const uint16_t* samples, int decodedSamples, bool wideSamples) {
    const size_t rowSamples = (size_t)target.width * (size_t)decodedSamples;
    FrameSamples frame = {samples, rowSamples * (size_t)target.height};
    RowWindow rows;
    if (rows.Begin(adjustment, target, decodedSamples, wideSamples, FrameRange, &frame) != 0) {
        return 1;
    }
    // A whole frame is worth a table of every stored value. Colour is never
    // inverted. Without memory for it the rows are mapped value by value.
    WindowTable table;
    const int storedBits = adjustment->bitsStored >= 1 && adjustment->bitsStored <= 16
                               ? adjustment->bitsStored : 16;
    if (table.Build(*adjustment, target.samplesPerPixel == 1 && rows.inverted, storedBits,
                    adjustment->pixelRepresentation == 1)) {
        rows.table = &table;
    }
    int result = 0;
    for (int y = 0; y < target.height; ++y) {
        if (AbortFlagSet()) {
            result = 15;
            break;
        }
        rows.Write(y, samples + rowSamples * (size_t)y);
    }
    rows.End();
    return result;
}

void FlipRows(FrameSource* source, int index) {
    if (source == nullptr || index < 0 || index >= source->frameCount) return;
    FrameSlot& slot = source->Slots()[index];
    const int64_t stride = DibRowStride(source->width, source->bitsPerPixel);
    const int64_t size = DibImageSize(source->width, source->height, source->bitsPerPixel);
    if (slot.pixels == nullptr || stride < 0 || size < 0 || (uint64_t)size > slot.byteSize) return;
    BYTE* row = static_cast<BYTE*>(ImageAllocate((size_t)stride));
    if (row == nullptr) return;
    for (int top = 0, bottom = source->height - 1; top < bottom; ++top, --bottom) {
        BYTE* a = slot.pixels + (size_t)top * (size_t)stride;
        BYTE* b = slot.pixels + (size_t)bottom * (size_t)stride;
        std::memcpy(row, a, (size_t)stride);
        std::memcpy(a, b, (size_t)stride);
        std::memcpy(b, row, (size_t)stride);
    }
    ImageFree(row);
}
