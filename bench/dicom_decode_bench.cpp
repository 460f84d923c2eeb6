// Decoding DICOM images to the 8-bit windowed picture: the DICOM handler
// against DCMTK's DicomImage (same window, dcmjpeg and dcmrle decoders) and
// GDCM's ImageReader plus the same window loop. The images (a 512x512 CT, a
// 2048x2500 radiograph uncompressed, lossless JPEG and RLE, a 100-frame
// 512x512 cine) are written at start-up by DCMTK into a temporary device
// root. The ratios of the peers' processor times to ours are printed last.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/oflog/oflog.h>

#include <gdcmImageReader.h>
#include <gdcmTrace.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dicom/dicom_handler.h"
#include "image/file_type_table.h"
#include "image/format_handler.h"
#include "image/frame_source.h"
#include "image/load_error.h"
#include "image/image_library.h"
#include "image/rimage.h"
#include "platform/device.h"
#include "view/display_adjustment.h"

namespace {

// The window, in Hounsfield units (intercept -1024).
constexpr int32_t kCenter = 40;
constexpr int32_t kWidth = 400;
constexpr double kIntercept = -1024.0;

struct Case {
    std::string name;
    std::string host;
    std::u16string device;
    int width;
    int height;
    int frames;
};

std::vector<Case> g_cases;

// A CT-like picture: a disc of smooth tissue with noise on a dark ground,
// 12-bit samples; each frame of a cine shifts the pattern.
std::vector<uint16_t> MakePicture(int width, int height, int frames) {
    std::vector<uint16_t> picture(size_t(width) * height * frames);
    uint32_t state = 1;
    size_t i = 0;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                double dx = (x - width / 2.0) / (width / 2.2), dy = (y - height / 2.0) / (height / 2.2);
                double r = std::sqrt(dx * dx + dy * dy);
                state = state * 1103515245u + 12345u;
                int noise = static_cast<int>((state >> 16) % 41) - 20;
                int v = r < 1.0 ? 1000 + static_cast<int>(300 * std::sin((x + 3 * f) / 37.0) *
                                                          std::cos(y / 53.0)) + noise
                                : 24 + noise / 4;
                picture[i++] = static_cast<uint16_t>(v < 0 ? 0 : v > 4095 ? 4095 : v);
            }
        }
    }
    return picture;
}

// Writes the picture as a DICOM file of the given transfer syntax.
bool WriteImage(const std::string& path, int width, int height, int frames, E_TransferSyntax syntax) {
    std::vector<uint16_t> picture = MakePicture(width, height, frames);
    DcmFileFormat file;
    DcmDataset* ds = file.getDataset();
    char uid[100];
    ds->putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    ds->putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
    ds->putAndInsertString(DCM_Modality, "CT");
    ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    if (frames > 1) ds->putAndInsertString(DCM_NumberOfFrames, std::to_string(frames).c_str());
    ds->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(height));
    ds->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(width));
    ds->putAndInsertUint16(DCM_BitsAllocated, 16);
    ds->putAndInsertUint16(DCM_BitsStored, 16);
    ds->putAndInsertUint16(DCM_HighBit, 15);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
    ds->putAndInsertString(DCM_WindowCenter, "40");
    ds->putAndInsertString(DCM_WindowWidth, "400");
    ds->putAndInsertString(DCM_RescaleIntercept, "-1024");
    ds->putAndInsertString(DCM_RescaleSlope, "1");
    ds->putAndInsertUint16Array(DCM_PixelData, picture.data(), static_cast<unsigned long>(picture.size()));
    DJ_RPLossless lossless(1, 0);
    const DcmRepresentationParameter* parameters = syntax == EXS_JPEGProcess14SV1 ? &lossless : nullptr;
    if (syntax != EXS_LittleEndianExplicit && ds->chooseRepresentation(syntax, parameters).bad()) {
        return false;
    }
    return file.saveFile(path.c_str(), syntax).good();
}

// Ours: the handler loads frame 0 with the window; further frames through
// the frame source the handler hangs on the image.
bool DecodeKestrava(const Case& c, std::vector<uint8_t>* out) {
    HANDLE file = CreateFileW(c.device.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::unique_ptr<FormatHandler> handler(CreateFormatHandler(kFormatDicom));
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.center = kCenter;
    a.width = kWidth;
    handler->Image().adjustment = &a;
    bool ok = handler->Load(file, 0) == kLoadOk;
    RImage& image = handler->Image();
    if (ok) {
        const size_t size = image.header->biSizeImage;
        out->assign(image.pixels, image.pixels + size);
        FrameSource* source = image.frameSource;
        // Room for the further frames of a cine only.
        std::vector<uint8_t> pixels(c.frames > 1 ? size : 0);
        for (int frame = 1; ok && frame < c.frames; ++frame) {
            source->Slots()[frame].pixels = pixels.data();
            ok = source->fetch(file, source, &a, frame) == 0;
            source->Slots()[frame].pixels = nullptr;
        }
    }
    handler.reset();
    CloseHandle(file);
    return ok;
}

bool DecodeDcmtk(const Case& c, std::vector<uint8_t>* out) {
    DicomImage image(c.host.c_str(), 0, 0, 0);
    if (image.getStatus() != EIS_Normal) return false;
    if (!image.setWindow(kCenter, kWidth)) return false;
    for (int frame = 0; frame < c.frames; ++frame) {
        const void* data = image.getOutputData(8, static_cast<unsigned long>(frame));
        if (data == nullptr) return false;
        if (frame == 0) {
            const uint8_t* bytes = static_cast<const uint8_t*>(data);
            out->assign(bytes, bytes + size_t(c.width) * c.height);
        }
    }
    return true;
}

// GDCM decodes the samples; the window is the same arithmetic as ours, in
// stored units (intercept taken off the bounds).
bool DecodeGdcm(const Case& c, std::vector<uint8_t>* out) {
    gdcm::ImageReader reader;
    reader.SetFileName(c.host.c_str());
    if (!reader.Read()) return false;
    const gdcm::Image& image = reader.GetImage();
    std::vector<uint16_t> samples(image.GetBufferLength() / 2);
    if (!image.GetBuffer(reinterpret_cast<char*>(samples.data()))) return false;
    const int32_t low = kCenter - kWidth / 2 - static_cast<int32_t>(kIntercept);
    const int32_t high = kCenter + kWidth / 2 - static_cast<int32_t>(kIntercept);
    const float scale = 256.0f / kWidth;
    std::vector<uint8_t> picture(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const int32_t v = samples[i];
        picture[i] = v < low ? 0 : v >= high ? 255 : static_cast<uint8_t>((float)(v - low) * scale);
    }
    out->assign(picture.begin(), picture.begin() + std::ptrdiff_t(c.width) * c.height);
    return true;
}

typedef bool (*DecodeFn)(const Case&, std::vector<uint8_t>*);

void BM_Decode(benchmark::State& state, DecodeFn decode, const Case* c) {
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!decode(*c, &out)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * c->frames);
}

// Our rows are bottom first and padded to 4 bytes; the peers' top first.
std::vector<uint8_t> TopDown(const std::vector<uint8_t>& ours, int width, int height) {
    const int stride = (width + 3) & ~3;
    std::vector<uint8_t> out;
    for (int y = height - 1; y >= 0; --y) {
        out.insert(out.end(), ours.begin() + std::ptrdiff_t(y) * stride,
                   ours.begin() + std::ptrdiff_t(y) * stride + width);
    }
    return out;
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    char root[] = "/tmp/kestrava-decode-bench-XXXXXX";
    if (mkdtemp(root) == nullptr || !platform::InitDevice(root)) {
        std::fprintf(stderr, "dicom_decode_bench: cannot create a device root\n");
        return 1;
    }
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
    gdcm::Trace::SetWarning(false);
    DJEncoderRegistration::registerCodecs();
    DcmRLEEncoderRegistration::registerCodecs();
    DJDecoderRegistration::registerCodecs();
    DcmRLEDecoderRegistration::registerCodecs();
    InstallDicomHandler();
    InstallDisplayAdjustment();

    struct FixtureImage {
        const char* name;
        int width, height, frames;
        E_TransferSyntax syntax;
    };
    const FixtureImage images[] = {
        {"CT512", 512, 512, 1, EXS_LittleEndianExplicit},
        {"CR2048x2500", 2048, 2500, 1, EXS_LittleEndianExplicit},
        {"CR2048x2500-LosslessJPEG", 2048, 2500, 1, EXS_JPEGProcess14SV1},
        {"CR2048x2500-RLE", 2048, 2500, 1, EXS_RLELossless},
        {"Cine512x100", 512, 512, 100, EXS_LittleEndianExplicit},
    };
    for (const FixtureImage& s : images) {
        Case c{s.name, std::string(root) + "/My Documents/" + s.name + ".dcm", {}, s.width, s.height,
               s.frames};
        if (!WriteImage(c.host, s.width, s.height, s.frames, s.syntax)) {
            std::fprintf(stderr, "dicom_decode_bench: DCMTK cannot write %s\n", s.name);
            return 1;
        }
        c.device = platform::HostToDevicePath(c.host);
        g_cases.push_back(c);
    }
    // Every decoder must give the same frame 0 before it is timed.
    for (const Case& c : g_cases) {
        std::vector<uint8_t> ours, dcmtk, gdcm;
        if (!DecodeKestrava(c, &ours) || !DecodeDcmtk(c, &dcmtk) || !DecodeGdcm(c, &gdcm)) {
            std::fprintf(stderr, "dicom_decode_bench: a decoder fails on %s\n", c.name.c_str());
            return 1;
        }
        ours = TopDown(ours, c.width, c.height);
        size_t differDcmtk = 0, differGdcm = 0;
        for (size_t i = 0; i < ours.size() && i < dcmtk.size(); ++i) differDcmtk += ours[i] != dcmtk[i];
        for (size_t i = 0; i < ours.size() && i < gdcm.size(); ++i) differGdcm += ours[i] != gdcm[i];
        std::printf("%s: %zu pixels differ from DCMTK (its own rounding), %zu from GDCM\n",
                    c.name.c_str(), differDcmtk, differGdcm);
        if (differGdcm != 0) return 1;
    }

    const std::pair<const char*, DecodeFn> decoders[] = {
        {"Kestrava", DecodeKestrava}, {"DCMTK", DecodeDcmtk}, {"GDCM", DecodeGdcm}};
    for (const Case& c : g_cases) {
        for (const auto& d : decoders) {
            benchmark::RegisterBenchmark(("Decode/" + c.name + "/" + d.first).c_str(), BM_Decode,
                                         d.second, &c)
                ->Unit(benchmark::kMillisecond);
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nProcessor time of the peer / ours (above 1: we are faster)\n");
    for (const Case& c : g_cases) {
        const double ours = reporter.times["Decode/" + c.name + "/Kestrava"];
        if (ours <= 0) continue;
        std::printf("%-28s DCMTK %5.2f  GDCM %5.2f\n", c.name.c_str(),
                    reporter.times["Decode/" + c.name + "/DCMTK"] / ours,
                    reporter.times["Decode/" + c.name + "/GDCM"] / ours);
    }
    std::filesystem::remove_all(root);
    return 0;
}
