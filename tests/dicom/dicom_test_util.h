// Helpers of the DICOM tests: a fresh device root per test, byte fixtures
// written to a device file and attached to the reader's stream, a capture of
// the reader's diagnostics, and the pydicom test files.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "device_fixture.h"
#include "dicom/byte_stream.h"
#include "dicom/dicom_log.h"
#include "dicom/dicom_reader.h"
#include "platform/device.h"
#include "platform/wstr.h"

using Bytes = std::vector<uint8_t>;

// Appends pieces to a byte fixture: raw bytes, little- or big-endian numbers
// and text, so that each field of a fixture sits on its own commented line.
class ByteWriter {
public:
    ByteWriter& raw(std::initializer_list<uint8_t> bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ByteWriter& u16(uint16_t v) {
        return bigEndian ? raw({(uint8_t)(v >> 8), (uint8_t)v}) : raw({(uint8_t)v, (uint8_t)(v >> 8)});
    }
    ByteWriter& u32(uint32_t v) {
        return bigEndian ? raw({(uint8_t)(v >> 24), (uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v})
                         : raw({(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)});
    }
    ByteWriter& text(const std::string& s) {
        data.insert(data.end(), s.begin(), s.end());
        return *this;
    }
    ByteWriter& zeros(size_t n) {
        data.insert(data.end(), n, 0);
        return *this;
    }
    // Tag, VR letters and length of an explicit-VR element; OB, OW, SQ, UN
    // and UT get the two reserved bytes and a 4-byte length.
    ByteWriter& explicitHeader(uint16_t group, uint16_t element, const char* vr, uint32_t length) {
        u16(group).u16(element).text(std::string(vr, 2));
        const std::string v(vr, 2);
        if (v == "OB" || v == "OW" || v == "SQ" || v == "UN" || v == "UT") return u16(0).u32(length);
        return u16((uint16_t)length);
    }
    // Tag and 4-byte length of an implicit-VR element or an item tag.
    ByteWriter& implicitHeader(uint16_t group, uint16_t element, uint32_t length) {
        return u16(group).u16(element).u32(length);
    }
    // The 128-byte preamble, "DICM", and a meta group with the transfer
    // syntax (none when empty).
    ByteWriter& preambleAndMeta(const std::string& transferSyntax) {
        const bool wasBig = bigEndian;
        bigEndian = false;
        zeros(128).text("DICM");
        explicitHeader(0x0002, 0x0001, "OB", 2).raw({0x00, 0x01});
        if (!transferSyntax.empty()) {
            std::string uid = transferSyntax;
            if (uid.size() % 2) uid.push_back('\0');
            explicitHeader(0x0002, 0x0010, "UI", (uint32_t)uid.size()).text(uid);
        }
        bigEndian = wasBig;
        return *this;
    }

    Bytes data;
    bool bigEndian = false;
};

struct LogLine {
    int severity;
    std::string text;
};

// Collects the reader's diagnostics (without the traces) while alive.
class LogCapture {
public:
    LogCapture() { SetDicomLogSink(&LogCapture::Sink, this); }
    ~LogCapture() { SetDicomLogSink(nullptr, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool Has(int severity, const std::string& text) const {
        for (const LogLine& line : lines) {
            if (line.severity == severity && line.text == text) return true;
        }
        return false;
    }
    int Count(int severity, const std::string& text) const {
        int n = 0;
        for (const LogLine& line : lines) n += line.severity == severity && line.text == text;
        return n;
    }

    std::vector<LogLine> lines;
    int traces = 0;

private:
    static void Sink(int severity, const char* text, void* context) {
        auto* self = static_cast<LogCapture*>(context);
        if (severity == 7) {
            ++self->traces;
        } else {
            self->lines.push_back({severity, text});
        }
    }
};

// A remote resource over bytes in memory, as the HTTP source would mirror a
// file; counts its releases.
class MemoryResource : public RemoteResource {
public:
    explicit MemoryResource(Bytes bytes) : data(std::move(bytes)) {}
    bool Read(void* buffer, DWORD count, DWORD* got) override {
        if (failReads) return false;
        const size_t left = position < (int64_t)data.size() ? data.size() - (size_t)position : 0;
        *got = (DWORD)std::min<size_t>(count, left);
        if (*got > 0) std::memcpy(buffer, data.data() + position, *got);
        position += *got;
        return true;
    }
    int64_t Seek(int64_t offset, int whence) override {
        const int64_t base = whence == 0 ? 0 : whence == 1 ? position : (int64_t)data.size();
        if (base + offset < 0) return -1;
        return position = base + offset;
    }
    int64_t Tell() override { return position; }
    int64_t Size() override { return (int64_t)data.size(); }
    void Release() override { ++releases; }

    Bytes data;
    int64_t position = 0;
    int releases = 0;
    bool failReads = false;
};

// Attaches `resource` to the reader's stream as the remote kind (through a
// one-shot opener) and rewinds it.
inline void AttachMemory(MemoryResource* resource) {
    static MemoryResource* pending;
    pending = resource;
    SetRemoteOpener([](const char*) -> RemoteResource* { return pending; });
    resource->position = 0;
    DicomStream().attach_url("memory:");
    SetRemoteOpener(nullptr);
}

// A device root per test; Attach writes bytes to a device file, opens it and
// attaches it to the reader's stream at position 0.
class DicomFileTest : public DeviceTest {
protected:
    void TearDown() override {
        DicomStream().detach();
        CloseFile();
        DeviceTest::TearDown();
    }

    void CloseFile() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    // Writes `bytes` to "\My Documents\<name>" and opens it for reading.
    HANDLE OpenBytes(const Bytes& bytes, const std::string& name = "fixture.dcm") {
        DicomStream().detach();
        CloseFile();
        {
            std::ofstream out(Host("My Documents/" + name), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        }
        const std::u16string path = u"\\My Documents\\" + platform::Utf8ToUtf16(name);
        file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        EXPECT_NE(file_, INVALID_HANDLE_VALUE);
        return file_;
    }

    // OpenBytes, attached to the reader's stream at 0.
    void Attach(const Bytes& bytes) {
        HANDLE file = OpenBytes(bytes);
        DicomStream().attach_file(file);
        DicomStream().seek(0, FILE_BEGIN);
    }

    // Opens a host file (a test file of pydicom) through its device path.
    HANDLE OpenHostFile(const std::string& hostPath) {
        DicomStream().detach();
        CloseFile();
        const std::u16string path = platform::HostToDevicePath(hostPath);
        file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        EXPECT_NE(file_, INVALID_HANDLE_VALUE) << hostPath;
        return file_;
    }

    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// The DICOM files of python3-pydicom's test set, relative to its folder,
// sorted: every file below it except the notes and data of other kinds.
inline std::vector<std::string> PydicomTestFiles() {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code error;
    const fs::path root = KESTRAVA_PYDICOM_TEST_FILES;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file()) continue;
        const std::string name = it->path().filename().string();
        const std::string ext = it->path().extension().string();
        if (ext == ".txt" || ext == ".json" || ext == ".dump" || ext == ".gz" || name == "README") {
            continue;
        }
        files.push_back(fs::relative(it->path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string PydicomTestFile(const std::string& relative) {
    return std::string(KESTRAVA_PYDICOM_TEST_FILES) + "/" + relative;
}

inline Bytes ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
