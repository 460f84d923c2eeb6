// The DICOM handler's working records: DicomImageInfo (the image attributes
// of one scan; a single static instance, cleared by each scan and owning its
// three LUT data values until ReleaseImageAttributes), and DicomSourceData,
// the handler's own part of a DICOM FrameSource: it lives in the same block,
// behind the frameCount slots, so that ReleaseImage frees it with the source.
// Every frame decoder of a DICOM source reads the sample format from there.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "image/frame_source.h"
#include "image/rimage.h"
#include "view/display_adjustment.h"

// Photometric index of DicomImageInfo::photometric (and the adjustment's).
enum : uint32_t {
    kPhotometricMonochrome2 = 0,
    kPhotometricMonochrome1 = 1,
    kPhotometricPalette = 2,
    kPhotometricRgb = 3,
    kPhotometricHsv = 4,
    kPhotometricArgb = 5,
    kPhotometricCmyk = 6,
    kPhotometricUnknown = 7,
};

// Luminance-chrominance data, kept apart from the index (which stays 7 for
// it): the uncompressed decoder turns it into RGB.
enum : uint8_t {
    kYbrNone = 0,
    kYbrFull = 1,     // three samples per pixel
    kYbrFull422 = 2,  // per pair of pixels: Y0 Y1 Cb Cr
};

struct LutDescriptor {
    uint16_t entries;      // 0 stands for 65536
    uint16_t bitsPerEntry;
    uint16_t firstMapped;
    uint16_t* data;        // the LUT data value, owned by the info
    uint32_t dataBytes;    // bytes of data
};

struct DicomImageInfo {
    uint32_t photometric;
    int32_t frameCount;
    int32_t smallest;
    int32_t largest;
    uint16_t columns;
    uint16_t rows;
    uint16_t samplesPerPixel;
    uint16_t bitsAllocated;
    uint16_t bitsStored;
    uint16_t highBit;
    uint16_t pixelRepresentation;
    uint16_t planarConfiguration;
    float windowCenter;
    float windowWidth;
    float rescaleIntercept;
    float rescaleSlope;
    LutDescriptor lut[3];  // red, green, blue
    // Beyond the attributes: what the frame decoders need to know later.
    uint8_t ybr;             // kYbr*
    int32_t syntax;          // the reader's TransferSyntaxCode at the pixel data
    int32_t pixelVr;         // VR of the pixel data element (after the OB fix)
    uint32_t pixelLength;    // its length as read
};

// Scans the data set of the reader's stream (opened by dicom_open) up to
// the pixel data header. The info, with the stream just behind that header,
// or null (end of data, a read failure, uncompressed data of undefined
// length, or the abort flag).
DicomImageInfo* ScanImageAttributes();
// Frees the LUT data values and clears the info.
void ReleaseImageAttributes();
// The colour table of an 8-bit PALETTE COLOR image whose three LUTs have the
// same number of entries, at most 256: entry count, or 0 (no palette).
int BuildLutPalette(const DicomImageInfo& info, RGBQUAD entries[256]);
// Builds the FrameSource of the scanned pixel data (the stream stands just
// behind its header) and hangs it on `image`; fills image.adjustment (when
// given) from the info. LoadError: 0, 1 out of memory, 8 bad data.
LoadError BuildFrameSource(RImage* image, DicomImageInfo* info);

// One palette LUT as the decoders use it: `count` entries of 8-bit colour
// (16-bit LUT entries keep their high byte) starting at `first`, the first
// mapped sample value.
struct ColourLut {
    uint32_t count;
    int32_t first;
    uint32_t tableOffset;  // byte offset of the entries from the DicomSourceData
};

// The byte order and layout of the samples of a DICOM source.
struct DicomSourceData {
    uint32_t magic;
    int32_t syntax;         // TransferSyntaxCode
    uint8_t bigEndian;      // samples of more than 8 bits are big-endian
    uint8_t ybr;            // kYbr*
    uint8_t lutColour;      // grey samples through the three ColourLuts into 24 bits
    uint8_t reserved;
    uint64_t frameBytes;    // bytes of one uncompressed frame (0 for compressed data)
    uint64_t frameBits;     // bits of one uncompressed frame (1-bit frames need not
                            // start on a byte)
    uint64_t dataStart;     // stream position of the pixel data value
    ColourLut lut[3];       // red, green, blue
    // The frame's sample format and window as BuildFrameSource set them up:
    // decoders called without an adjustment record use a copy of it.
    DisplayAdjustment fileAdjustment;
};

constexpr uint32_t kDicomSourceMagic = 0x4D434944;  // "DICM"

// The DICOM part of a source made by BuildFrameSource, or null when the
// source is not one (its fetch is none of the four DICOM decoders, or the
// block carries no DICOM part).
DicomSourceData* DicomSourceOf(FrameSource* source);
// The 8-bit colour entries of LUT `channel` (count bytes).
inline const BYTE* LutEntries(const DicomSourceData& data, int channel) {
    return reinterpret_cast<const BYTE*>(&data) + data.lut[channel].tableOffset;
}
