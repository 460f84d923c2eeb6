// Decoding one 2048 x 2500 16-bit lossless JPEG frame (selection value 1 and
// 7) with our decoder, DCMTK's IJG-based 16-bit decompressor and GDCM. The
// frame is made at start-up by DCMTK's encoder from a synthetic CT-like
// picture; every decoder must reproduce it exactly before it is timed. The
// ratios of the peers' processor times to ours are printed at the end.
#include "dicom/lossless_jpeg.h"

#include <benchmark/benchmark.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmjpeg/djcparam.h>
#include <dcmtk/dcmjpeg/djdijg16.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>

#include <gdcmImageReader.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kWidth = 2048;
constexpr uint32_t kHeight = 2500;

struct Frame {
    std::vector<uint8_t> jpeg;  // the frame, from SOI
    std::string dicomPath;      // the same frame in a DICOM file, for GDCM
};

std::vector<uint16_t> g_picture;
Frame g_frames[8]; // by selection value

// A CT-like picture: a bright disc of smooth tissue with noise on a dark
// background, samples in 12 bits as most CT stores them.
void MakePicture() {
    g_picture.resize(size_t{kWidth} * kHeight);
    uint32_t state = 1;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            double dx = (x - kWidth / 2.0) / (kWidth / 2.2), dy = (y - kHeight / 2.0) / (kHeight / 2.2);
            double r = std::sqrt(dx * dx + dy * dy);
            state = state * 1103515245u + 12345u;
            int noise = static_cast<int>((state >> 16) % 41) - 20;
            int v = r < 1.0 ? 1000 + static_cast<int>(300 * std::sin(x / 37.0) * std::cos(y / 53.0)) + noise
                            : 24 + noise / 4;
            g_picture[size_t{y} * kWidth + x] = static_cast<uint16_t>(v < 0 ? 0 : v > 4095 ? 4095 : v);
        }
    }
}

bool EncodeFrame(int selectionValue, Frame* frame) {
    DcmFileFormat file;
    DcmDataset* ds = file.getDataset();
    char uid[100];
    ds->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    ds->putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
    ds->putAndInsertString(DCM_Modality, "OT");
    ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    ds->putAndInsertUint16(DCM_Rows, kHeight);
    ds->putAndInsertUint16(DCM_Columns, kWidth);
    ds->putAndInsertUint16(DCM_BitsAllocated, 16);
    ds->putAndInsertUint16(DCM_BitsStored, 16);
    ds->putAndInsertUint16(DCM_HighBit, 15);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
    ds->putAndInsertUint16Array(DCM_PixelData, g_picture.data(), static_cast<unsigned long>(g_picture.size()));
    E_TransferSyntax syntax = selectionValue == 1 ? EXS_JPEGProcess14SV1 : EXS_JPEGProcess14;
    DJ_RPLossless parameters(selectionValue, 0);
    if (ds->chooseRepresentation(syntax, &parameters).bad())
        return false;
    DcmElement* element = nullptr;
    if (ds->findAndGetElement(DCM_PixelData, element).bad())
        return false;
    const DcmRepresentationParameter* used = &parameters;
    DcmPixelSequence* sequence = nullptr;
    if (static_cast<DcmPixelData*>(element)->getEncapsulatedRepresentation(syntax, used, sequence).bad())
        return false;
    DcmPixelItem* item = nullptr;
    Uint8* bytes = nullptr;
    if (sequence->getItem(item, 1).bad() || item->getUint8Array(bytes).bad() || !bytes)
        return false;
    frame->jpeg.assign(bytes, bytes + item->getLength());
    // The fragment may carry a pad byte after EOI; the decoders ignore it.
    frame->dicomPath = "/tmp/kestrava-lossless-bench-" + std::to_string(getpid()) + "-sv" +
                       std::to_string(selectionValue) + ".dcm";
    return file.saveFile(frame->dicomPath.c_str(), syntax).good();
}

bool DecodeOurs(const Frame& frame, uint16_t* out) {
    LosslessDestination dest;
    dest.pixels = reinterpret_cast<uint8_t*>(out);
    dest.size = size_t{kWidth} * kHeight * 2;
    dest.width = kWidth;
    dest.height = kHeight;
    dest.samplesPerPixel = 1;
    dest.form = LosslessSampleForm::kFull16;
    return DecodeLossless(frame.jpeg.data(), frame.jpeg.size(), dest) == kLosslessOk;
}

bool DecodeDcmtk(Frame& frame, uint16_t* out) {
    DJCodecParameter parameters(ECC_lossyYCbCr, EDC_never, EUC_never, EPC_default);
    DJDecompressIJG16Bit decoder(parameters, OFFalse);
    if (decoder.init().bad())
        return false;
    return decoder
        .decode(frame.jpeg.data(), static_cast<Uint32>(frame.jpeg.size()), reinterpret_cast<Uint8*>(out),
                kWidth * kHeight * 2, OFFalse)
        .good();
}

bool DecodeGdcm(const gdcm::Image& image, uint16_t* out) {
    return image.GetBuffer(reinterpret_cast<char*>(out));
}

void Check(const char* who, bool ok, const std::vector<uint16_t>& out) {
    if (!ok || out != g_picture) {
        std::fprintf(stderr, "lossless_jpeg_bench: %s does not reproduce the picture\n", who);
        std::exit(1);
    }
}

void BM_Kestrava(benchmark::State& state) {
    Frame& frame = g_frames[state.range(0)];
    std::vector<uint16_t> out(g_picture.size());
    Check("Kestrava", DecodeOurs(frame, out.data()), out);
    for (auto _ : state) {
        DecodeOurs(frame, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size() * 2));
}

void BM_Dcmtk(benchmark::State& state) {
    Frame& frame = g_frames[state.range(0)];
    std::vector<uint16_t> out(g_picture.size());
    Check("DCMTK", DecodeDcmtk(frame, out.data()), out);
    for (auto _ : state) {
        DecodeDcmtk(frame, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size() * 2));
}

void BM_Gdcm(benchmark::State& state) {
    Frame& frame = g_frames[state.range(0)];
    gdcm::ImageReader reader;
    reader.SetFileName(frame.dicomPath.c_str());
    if (!reader.Read()) {
        state.SkipWithError("GDCM cannot read the file");
        return;
    }
    const gdcm::Image& image = reader.GetImage();
    std::vector<uint16_t> out(g_picture.size());
    Check("GDCM", DecodeGdcm(image, out.data()), out);
    for (auto _ : state) {
        DecodeGdcm(image, out.data()); // GetBuffer decodes the fragment each time
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size() * 2));
}

BENCHMARK(BM_Kestrava)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dcmtk)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gdcm)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond);

// Prints as usual and remembers each run's processor time per iteration for the
// ratios: the decoders are single-threaded, and on a shared machine the wall
// clock mostly measures the other jobs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MakePicture();
    DJEncoderRegistration::registerCodecs();
    for (int sv : {1, 7}) {
        if (!EncodeFrame(sv, &g_frames[sv])) {
            std::fprintf(stderr, "lossless_jpeg_bench: DCMTK could not encode the frame\n");
            return 1;
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int sv : {1, 7}) {
        std::string suffix = "/" + std::to_string(sv);
        auto ours = reporter.times.find("BM_Kestrava" + suffix);
        if (ours == reporter.times.end() || ours->second <= 0)
            continue;
        for (const char* peer : {"BM_Dcmtk", "BM_Gdcm"}) {
            auto it = reporter.times.find(peer + suffix);
            if (it != reporter.times.end())
                std::printf("selection value %d: %s / Kestrava = %.2f\n", sv, peer + 3,
                            it->second / ours->second);
        }
    }
    for (int sv : {1, 7})
        std::remove(g_frames[sv].dicomPath.c_str());
    DJEncoderRegistration::cleanup();
    benchmark::Shutdown();
    return 0;
}
