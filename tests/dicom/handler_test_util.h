// Helpers of the DICOM handler tests: a builder of small image data sets
// (explicit or implicit VR, either byte order, any pixel data element), the
// fixtures of make_handler_fixtures.py made once per script version, an
// image library with the DICOM handler and the display adjustment
// installed, and access to a decoded picture in picture order.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "dicom/dicom_handler.h"
#include "dicom/dicom_image_info.h"
#include "dicom_test_util.h"
#include "image/format_handler.h"
#include "image/image_file.h"
#include "image/image_library.h"
#include "view/display_adjustment.h"

namespace handler_test {

namespace fs = std::filesystem;

constexpr const char* kImplicitLittle = "1.2.840.10008.1.2";
constexpr const char* kExplicitLittle = "1.2.840.10008.1.2.1";
constexpr const char* kExplicitBig = "1.2.840.10008.1.2.2";
constexpr const char* kJpegBaseline = "1.2.840.10008.1.2.4.50";
constexpr const char* kRle = "1.2.840.10008.1.2.5";

// One data set element of a fixture.
struct Element {
    uint16_t group;
    uint16_t element;
    std::string vr;
    enum Kind { kText, kWords, kRaw } kind;
    std::string text;
    std::vector<uint16_t> words;
    Bytes raw;
    bool undefinedLength = false;
};

// A small image data set. Elements are written in the order they are added
// (callers add them in tag order); numbers follow the byte order of the
// transfer syntax.
class ImageBuilder {
public:
    explicit ImageBuilder(std::string syntax = kExplicitLittle) : syntax_(std::move(syntax)) {}

    ImageBuilder& Us(uint16_t element, std::initializer_list<uint16_t> values,
                     uint16_t group = 0x0028) {
        elements_.push_back({group, element, "US", Element::kWords, "", values, {}});
        return *this;
    }
    ImageBuilder& Text(uint16_t group, uint16_t element, const std::string& vr, std::string value) {
        if (value.size() % 2) value.push_back(' ');
        elements_.push_back({group, element, vr, Element::kText, value, {}, {}});
        return *this;
    }
    ImageBuilder& Raw(uint16_t group, uint16_t element, const std::string& vr, Bytes value,
                      bool undefinedLength = false) {
        Element e{group, element, vr, Element::kRaw, "", {}, std::move(value)};
        e.undefinedLength = undefinedLength;
        elements_.push_back(std::move(e));
        return *this;
    }
    ImageBuilder& Words(uint16_t group, uint16_t element, const std::string& vr,
                        std::vector<uint16_t> words) {
        elements_.push_back({group, element, vr, Element::kWords, "", std::move(words), {}});
        return *this;
    }

    // The usual grey-image attributes, in tag order up to (0028,0103).
    ImageBuilder& Grey(uint16_t rows, uint16_t columns, uint16_t bits, uint16_t stored,
                       bool isSigned = false, const std::string& photometric = "MONOCHROME2",
                       int frames = 1, uint16_t samples = 1) {
        Us(0x0002, {samples});
        Text(0x0028, 0x0004, "CS", photometric);
        if (frames != 1) Text(0x0028, 0x0008, "IS", std::to_string(frames));
        Us(0x0010, {rows});
        Us(0x0011, {columns});
        Us(0x0100, {bits});
        Us(0x0101, {stored});
        Us(0x0102, {(uint16_t)(stored ? stored - 1 : 0)});
        Us(0x0103, {(uint16_t)(isSigned ? 1 : 0)});
        return *this;
    }

    Bytes Build() const {
        ByteWriter w;
        w.preambleAndMeta(syntax_);
        const bool implicit = syntax_ == kImplicitLittle;
        w.bigEndian = syntax_ == kExplicitBig;
        for (const Element& e : elements_) {
            Bytes value;
            if (e.kind == Element::kText) {
                value.assign(e.text.begin(), e.text.end());
            } else if (e.kind == Element::kWords) {
                for (uint16_t v : e.words) {
                    if (w.bigEndian) {
                        value.push_back((uint8_t)(v >> 8));
                        value.push_back((uint8_t)v);
                    } else {
                        value.push_back((uint8_t)v);
                        value.push_back((uint8_t)(v >> 8));
                    }
                }
            } else {
                value = e.raw;
            }
            const uint32_t length = e.undefinedLength ? 0xFFFFFFFFu : (uint32_t)value.size();
            if (implicit) {
                w.implicitHeader(e.group, e.element, length);
            } else {
                w.explicitHeader(e.group, e.element, e.vr.c_str(), length);
            }
            w.data.insert(w.data.end(), value.begin(), value.end());
        }
        return w.data;
    }

private:
    std::string syntax_;
    std::vector<Element> elements_;
};

// Little-endian 16-bit samples as bytes.
inline Bytes Le16(const std::vector<uint16_t>& samples) {
    Bytes out;
    for (uint16_t v : samples) {
        out.push_back((uint8_t)v);
        out.push_back((uint8_t)(v >> 8));
    }
    return out;
}

// An item (FFFE,E000) with its value, as encapsulated pixel data holds them.
inline Bytes Item(const Bytes& value) {
    ByteWriter w;
    w.implicitHeader(0xFFFE, 0xE000, (uint32_t)value.size());
    w.data.insert(w.data.end(), value.begin(), value.end());
    return w.data;
}

inline Bytes SequenceDelimiter() {
    ByteWriter w;
    w.implicitHeader(0xFFFE, 0xE0DD, 0);
    return w.data;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A decoded picture in picture order: rows top first, width x bytes per
// pixel each, without padding. 8-bit pictures give their indices.
inline Bytes PictureBytes(const RImage& image) {
    Bytes out;
    if (image.header == nullptr || image.pixels == nullptr) return out;
    const int width = image.header->biWidth;
    const int height = image.header->biHeight;
    const int bytes = image.header->biBitCount / 8;
    const int stride = RowStride(image);
    for (int y = height - 1; y >= 0; --y) {
        const BYTE* row = image.pixels + (size_t)y * stride;
        out.insert(out.end(), row, row + (size_t)width * bytes);
    }
    return out;
}

// The first difference beyond `tolerance`, or "" when the pictures agree.
inline std::string Difference(const Bytes& actual, const Bytes& expected, int width, int depth,
                              int tolerance) {
    if (actual.size() != expected.size()) {
        return "size " + std::to_string(actual.size()) + " instead of " +
               std::to_string(expected.size());
    }
    for (size_t i = 0; i < actual.size(); ++i) {
        if (std::abs((int)actual[i] - (int)expected[i]) > tolerance) {
            const size_t pixel = i / depth;
            std::ostringstream text;
            text << "pixel (" << pixel % width << ", " << pixel / width << ") byte " << i % depth
                 << ": " << (int)actual[i] << " instead of " << (int)expected[i];
            return text.str();
        }
    }
    return "";
}

// One line of the fixtures' manifest.
struct Fixture {
    std::string name;
    int width = 0;
    int height = 0;
    int depth = 0;  // bytes per pixel of the expected pictures
    int tolerance = 0;
    std::vector<int> frames;
};

// The fixtures of make_handler_fixtures.py, made once per script version
// and shared by the test processes: into a private folder first, then
// renamed into place, so that a concurrent run never sees half a folder.
class Fixtures {
public:
    static Fixtures& Get() {
        static Fixtures fixtures;
        return fixtures;
    }
    const std::string& Error() const { return error_; }
    const std::vector<Fixture>& All() const { return rows_; }
    const Fixture* Find(const std::string& name) const {
        for (const Fixture& f : rows_) {
            if (f.name == name) return &f;
        }
        return nullptr;
    }
    std::string Path(const std::string& name) const { return (dir_ / (name + ".dcm")).string(); }
    Bytes Expected(const std::string& name, int frame) const {
        return ReadHostFile((dir_ / (name + "." + std::to_string(frame) + ".expected")).string());
    }

private:
    Fixtures() {
        const fs::path script = fs::path(__FILE__).parent_path() / "make_handler_fixtures.py";
        const Bytes text = ReadHostFile(script.string());
        std::ostringstream name;
        name << "kestrava-handler-fixtures-" << std::hex
             << std::hash<std::string>()(std::string(text.begin(), text.end()));
        dir_ = fs::temp_directory_path() / name.str();
        if (!fs::exists(dir_ / "manifest.tsv")) {
            fs::path work = dir_;
            work += ".tmp" + std::to_string(getpid());
            fs::remove_all(work);
            const std::string command =
                "/usr/bin/python3 '" + script.string() + "' '" + work.string() + "'";
            const int status = std::system(command.c_str());
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                error_ = "make_handler_fixtures.py failed";
                fs::remove_all(work);
                return;
            }
            std::error_code ec;
            fs::rename(work, dir_, ec);
            if (ec) fs::remove_all(work);  // another process got there first
        }
        std::ifstream manifest(dir_ / "manifest.tsv");
        std::string line;
        while (std::getline(manifest, line)) {
            std::istringstream in(line);
            Fixture f;
            std::string frames;
            if (!(in >> f.name >> f.width >> f.height >> f.depth >> f.tolerance >> frames)) continue;
            std::istringstream list(frames);
            for (std::string item; std::getline(list, item, ',');) f.frames.push_back(std::stoi(item));
            rows_.push_back(f);
        }
        if (rows_.empty()) error_ = "no fixtures in " + dir_.string();
    }

    fs::path dir_;
    std::string error_;
    std::vector<Fixture> rows_;
};

// A device root per test with an image library whose DICOM row has the
// handler, and the display adjustment's hooks installed.
class HandlerTest : public DicomFileTest {
protected:
    void SetUp() override {
        DicomFileTest::SetUp();
        fs::create_directories(Host("Plugins"));
        library_.BuildLibraryFrom(u"\\Plugins");
        PublishImageLibrary(&library_);
        InstallDicomHandler();
        InstallDisplayAdjustment();
        InitAdjustment(&adjustment_);
        ClearAbortFlag();
    }
    void TearDown() override {
        handler_.reset();
        file_image_.Unload();
        library_.TeardownLibrary();
        PublishImageLibrary(nullptr);
        DicomFileTest::TearDown();
    }

    // Loads bytes through the handler itself, with the test's adjustment
    // (or none); the image stays in the handler.
    LoadError LoadBytes(const Bytes& bytes, bool withAdjustment = true) {
        HANDLE file = OpenBytes(bytes);
        return LoadHandle(file, withAdjustment);
    }
    LoadError LoadHost(const std::string& hostPath, bool withAdjustment = true) {
        HANDLE file = OpenHostFile(hostPath);
        return LoadHandle(file, withAdjustment);
    }
    LoadError LoadHandle(HANDLE file, bool withAdjustment) {
        handler_ = std::make_unique<DicomHandler>();
        handler_->Image().adjustment = withAdjustment ? &adjustment_ : nullptr;
        return handler_->Load(file, 0);
    }
    RImage& Image() { return handler_->Image(); }

    // Loads a device path through the image library into file_image_.
    bool LoadThroughLibrary(const std::u16string& path) {
        file_image_.Unload();
        file_image_.InitImageFile();
        file_image_.image.adjustment = &adjustment_;
        return file_image_.LoadFromPath(path.c_str(), 0);
    }
    // Writes bytes to "\My Documents\NAME" and returns its device path.
    std::u16string Put(const Bytes& bytes, const std::string& name = "image.dcm") {
        std::ofstream out(Host("My Documents/" + name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        return u"\\My Documents\\" + platform::Utf8ToUtf16(name);
    }
    // Fetches a frame of file_image_ through the image library.
    int LoadFrame(const std::u16string& path, int index) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        const int result = file_image_.LoadFrame(file, index, 0, 0);
        CloseHandle(file);
        return result;
    }

    ImageLibrary library_;
    DisplayAdjustment adjustment_;
    std::unique_ptr<DicomHandler> handler_;
    ImageFile file_image_;
};

}  // namespace handler_test
