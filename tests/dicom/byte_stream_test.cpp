// The byte stream: nothing attached, a local file through the read window,
// and a remote resource.
#include <gtest/gtest.h>

#include <cstring>

#include "dicom/byte_stream.h"
#include "dicom_test_util.h"

namespace {

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = (uint8_t)(i * 7 + (i >> 8));
    return bytes;
}

TEST(ByteStreamNone, EveryOperationFails) {
    ByteStream stream;
    uint8_t buffer[4];
    DWORD got = 99;
    EXPECT_EQ(stream.kind, kStreamNone);
    EXPECT_FALSE(stream.read(buffer, 4, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream.failed, 1);
    EXPECT_EQ(stream.seek(0, FILE_BEGIN), -1);
    EXPECT_EQ(stream.tell(), -1);
    EXPECT_TRUE(stream.at_end());
    EXPECT_TRUE(stream.has_failed());
    stream.detach();
    EXPECT_EQ(stream.failed, 0);
    EXPECT_TRUE(stream.has_failed());  // still nothing to read from
}

class ByteStreamFile : public DicomFileTest {};

TEST_F(ByteStreamFile, ReadsAcrossTheWindowInPiecesOfAnySize) {
    const Bytes data = Pattern(70000);
    ByteStream stream;
    stream.attach_file(OpenBytes(data));
    // Small reads, one that crosses a window edge, one larger than the
    // window, and one that runs into the end.
    const DWORD sizes[] = {1, 3, 16380, 7, 20000, 2, 16384, 5000, 40000};
    size_t position = 0;
    for (DWORD size : sizes) {
        Bytes buffer(size, 0xAA);
        DWORD got = 0;
        ASSERT_TRUE(stream.read(buffer.data(), size, &got));
        const size_t expected = std::min<size_t>(size, data.size() - position);
        ASSERT_EQ(got, expected) << "at " << position;
        EXPECT_EQ(0, std::memcmp(buffer.data(), data.data() + position, got)) << "at " << position;
        position += got;
        EXPECT_EQ(stream.tell(), (int64_t)position);
    }
    EXPECT_TRUE(stream.at_end());
    EXPECT_FALSE(stream.has_failed());  // a short read at the end is no failure
    DWORD got = 1;
    uint8_t byte;
    EXPECT_TRUE(stream.read(&byte, 1, &got));
    EXPECT_EQ(got, 0u);
    stream.detach();
}

TEST_F(ByteStreamFile, SeeksFromEachOriginInsideAndOutsideTheWindow) {
    const Bytes data = Pattern(50000);
    ByteStream stream;
    stream.attach_file(OpenBytes(data));
    EXPECT_EQ(stream.size(), 50000);
    const struct {
        int64_t offset;
        int whence;
        int64_t expected;
    } moves[] = {
        {10, FILE_BEGIN, 10},        // inside the first window (loaded below)
        {-5, FILE_CURRENT, 6},       // after reading one byte: back inside the window
        {30000, FILE_BEGIN, 30000},  // outside the window
        {-100, FILE_END, 49900},
        {0, FILE_END, 50000},        // the end itself
        {60000, FILE_BEGIN, 60000},  // past the end: allowed, reads deliver nothing
        {3, FILE_BEGIN, 3},
    };
    uint8_t byte;
    DWORD got;
    ASSERT_TRUE(stream.read(&byte, 1, &got));  // loads the first window
    for (const auto& move : moves) {
        SCOPED_TRACE(move.expected);
        ASSERT_EQ(stream.seek(move.offset, move.whence), move.expected);
        EXPECT_EQ(stream.tell(), move.expected);
        ASSERT_TRUE(stream.read(&byte, 1, &got));
        if (move.expected < (int64_t)data.size()) {
            ASSERT_EQ(got, 1u);
            EXPECT_EQ(byte, data[(size_t)move.expected]);
        } else {
            EXPECT_EQ(got, 0u);
        }
    }
    EXPECT_FALSE(stream.has_failed());
    EXPECT_EQ(stream.seek(-1, FILE_BEGIN), -1);
    EXPECT_TRUE(stream.has_failed());
    EXPECT_EQ(stream.seek(5, 7), -1);  // no such origin
    stream.attach_file(file_);  // attaching clears the flag
    EXPECT_FALSE(stream.has_failed());
    stream.detach();
}

TEST_F(ByteStreamFile, StartsWhereTheHandleStandsAndLeavesItWhereTheStreamStood) {
    const Bytes data = Pattern(1000);
    HANDLE file = OpenBytes(data);
    ASSERT_EQ(SetFilePointer(file, 100, nullptr, FILE_BEGIN), 100u);
    ByteStream stream;
    stream.attach_file(file);
    EXPECT_EQ(stream.tell(), 100);
    uint8_t bytes[10];
    DWORD got;
    ASSERT_TRUE(stream.read(bytes, 10, &got));
    EXPECT_EQ(bytes[0], data[100]);
    stream.detach();  // the window read ahead to the end; the handle goes back
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 110u);
    EXPECT_EQ(stream.kind, kStreamNone);
    EXPECT_EQ(stream.handle, nullptr);
}

TEST_F(ByteStreamFile, AFailingReadSetsTheFlag) {
    const Bytes data = Pattern(100);
    HANDLE file = OpenBytes(data);
    ByteStream stream;
    stream.attach_file(file);
    CloseFile();  // the handle is gone under the stream
    uint8_t bytes[4];
    DWORD got = 7;
    EXPECT_FALSE(stream.read(bytes, 4, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(stream.has_failed());
    EXPECT_EQ(stream.size(), -1);
    stream.detach();
}

MemoryResource* g_resource = nullptr;

RemoteResource* OpenMemoryResource(const char* url) {
    return std::strcmp(url, "http://server/a.dcm") == 0 ? g_resource : nullptr;
}

TEST(ByteStreamRemote, ReadsThroughTheHttpSourceAndReleasesIt) {
    MemoryResource resource(Pattern(300));
    g_resource = &resource;
    ByteStream stream;
    EXPECT_FALSE(stream.attach_url("http://server/a.dcm"));  // no HTTP source yet
    EXPECT_EQ(stream.kind, kStreamNone);
    SetRemoteOpener(OpenMemoryResource);
    EXPECT_FALSE(stream.attach_url("http://server/missing.dcm"));
    ASSERT_TRUE(stream.attach_url("http://server/a.dcm"));
    EXPECT_EQ(stream.kind, kStreamRemote);
    uint8_t bytes[8];
    DWORD got;
    ASSERT_TRUE(stream.read(bytes, 8, &got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(bytes[7], resource.data[7]);
    EXPECT_EQ(stream.seek(-10, FILE_END), 290);
    EXPECT_EQ(stream.tell(), 290);
    ASSERT_TRUE(stream.read(bytes, 8, &got));
    EXPECT_FALSE(stream.at_end());
    ASSERT_TRUE(stream.read(bytes, 8, &got));
    EXPECT_EQ(got, 2u);
    EXPECT_TRUE(stream.at_end());
    EXPECT_FALSE(stream.has_failed());
    resource.failReads = true;
    EXPECT_FALSE(stream.read(bytes, 1, &got));
    EXPECT_TRUE(stream.has_failed());
    stream.detach();
    EXPECT_EQ(resource.releases, 1);
    EXPECT_EQ(stream.kind, kStreamNone);
    SetRemoteOpener(nullptr);
    g_resource = nullptr;
}

}  // namespace
