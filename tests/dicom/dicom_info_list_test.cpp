// The element list: each VR's text, what is left out, and a whole file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dicom/dicom_info_list.h"
#include "dicom_test_util.h"

namespace {

// One element as the reader leaves it after dicom_load_value: `length` bytes
// of `bytes` followed by four zero bytes.
struct FormatCase {
    const char* what;
    uint16_t group, element;
    int32_t vr;
    std::string bytes;
    bool listed;
    const char* text;
};

std::string Le16(uint16_t v) {
    return std::string{(char)(v & 0xFF), (char)(v >> 8)};
}
std::string Le32(uint32_t v) {
    return Le16((uint16_t)v) + Le16((uint16_t)(v >> 16));
}
template <class T>
std::string Raw(T v) {
    return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

const FormatCase kFormatCases[] = {
    {"birth date year first", 0x0010, 0x0030, kVrDA, "19640321", true, "21/03/1964"},
    {"date of another length", 0x0010, 0x0030, kVrDA, "1964.03.21", true, "1964.03.21"},
    {"time of six digits", 0x0008, 0x0030, kVrTM, "101530", true, "10:15:30"},
    {"time with a fraction", 0x0008, 0x0030, kVrTM, "101530.123456 ", true, "101530.123456 "},
    {"person name as stored", 0x0010, 0x0010, kVrPN, "DOE^JOHN ", true, "DOE^JOHN "},
    {"several values", 0x0008, 0x0008, kVrCS, "ORIGINAL\\PRIMARY", true, "ORIGINAL\\PRIMARY"},
    {"implicit US through the dictionary", 0x0028, 0x0010, kVrUN, Le16(512), true, "512"},
    {"implicit xs as unsigned", 0x0028, 0x0106, kVrUN, Le16(0xFFFF), true, "65535"},
    {"SS minus one", 0x0028, 0x1041, kVrSS, Le16(0xFFFF), true, "-1"},
    {"largest UL", 0x0020, 0x9057, kVrUL, Le32(0xFFFFFFFF), true, "4294967295"},
    {"SL", 0x0020, 0x9057, kVrSL, Le32(0xFFFFFFFE), true, "-2"},
    {"FD", 0x0018, 0x9073, kVrFD, Raw(1.5), true, "1.500000"},
    {"FL", 0x0018, 0x9073, kVrFL, Raw(0.25f), true, "0.250000"},
    {"FD first of two", 0x0040, 0x9212, kVrFD, Raw(-2.0) + Raw(3.0), true, "-2.000000"},
    {"huge FD is cut", 0x0018, 0x9073, kVrFD, Raw(1e300), true, nullptr},
    {"US shorter than its unit", 0x0028, 0x0010, kVrUS, std::string(1, '\x07'), true, "7"},
    {"SV", 0x0072, 0x0082, kVrSV, Raw((int64_t)-5), true, "-5"},
    {"UV", 0x0072, 0x0083, kVrUV, Raw((uint64_t)1 << 40), true, "1099511627776"},
    {"64 characters cut to 63", 0x0008, 0x1030, kVrLO, std::string(70, 'x'), true, nullptr},
    {"group length heading", 0x0010, 0x0000, kVrUL, Le32(120), true, ""},
    {"zero length", 0x0010, 0x0010, kVrPN, "", true, ""},
    {"vendor row", 0x0009, 0x0010, kVrLO, "GEMS_IDEN_01", false, ""},
    {"hidden standard row", 0x0028, 0x0400, kVrLO, "LABEL", false, ""},
    {"not in the dictionary", 0x0011, 0x0010, kVrLO, "CREATOR", false, ""},
    {"OB", 0x0002, 0x0001, kVrOB, std::string("\0\1", 2), false, ""},
    {"OW", 0x0028, 0x1201, kVrOW, Le16(1), false, ""},
    {"AT", 0x0020, 0x5000, kVrAT, Le32(0x00100010), false, ""},
    {"OF", 0x0064, 0x0009, kVrOF, Raw(1.0f), false, ""},
    {"implicit OW through the dictionary", 0x0028, 0x1201, kVrUN, Le16(1), false, ""},
};

TEST(FormatDicomValue, GivesEachVrItsText) {
    for (const FormatCase& c : kFormatCases) {
        SCOPED_TRACE(c.what);
        std::string buffer = c.bytes + std::string(4, '\0');
        DicomElement element = {};
        element.group = c.group;
        element.element = c.element;
        element.vr = c.vr;
        element.length = (uint32_t)c.bytes.size();
        element.value = c.bytes.empty() ? nullptr : buffer.data();
        char text[kDicomInfoTextSize];
        std::memset(text, 'J', sizeof text);
        const DicomDictEntry* entry = FormatDicomValue(&element, text);
        if (!c.listed) {
            EXPECT_EQ(entry, nullptr);
            continue;
        }
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->group, c.group);
        EXPECT_EQ(entry->element, c.element);
        if (c.text != nullptr) {
            EXPECT_STREQ(text, c.text);
        } else {
            EXPECT_EQ(std::strlen(text), 63u);
        }
    }
}

TEST(FormatDicomValue, SequencesAndItemsHaveNoText) {
    const struct {
        uint16_t group, element;
        uint32_t length;
    } cases[] = {
        {0x0008, 0x1140, kUndefinedLength},  // a sequence
        {0xFFFE, 0xE000, 24},                // an item of a sequence
        {0xFFFE, 0xE0DD, 0},
    };
    for (const auto& c : cases) {
        DicomElement element = {};
        element.group = c.group;
        element.element = c.element;
        element.vr = kVrUN;
        element.length = c.length;
        char text[kDicomInfoTextSize] = "junk";
        const DicomDictEntry* entry = FormatDicomValue(&element, text);
        ASSERT_NE(entry, nullptr);
        EXPECT_STREQ(text, "");
    }
}

class DicomInfoListTest : public DicomFileTest {};

struct Line {
    uint16_t group, element;
    const char* name;
    const char* text;
};

TEST_F(DicomInfoListTest, ListsTheFileInOrderLeavingOutWhatIsNotShown) {
    ByteWriter w;
    w.preambleAndMeta("1.2.840.10008.1.2");                            // meta, implicit data
    w.implicitHeader(0x0009, 0x0010, 12).text("GEMS_IDEN_01");        // vendor: "?"
    w.implicitHeader(0x0010, 0x0000, 4).u32(60);                      // group length
    w.implicitHeader(0x0010, 0x0010, 10).text("DOE^JOHN  ");          // Patient's Name
    w.implicitHeader(0x0010, 0x0030, 8).text("19640321");             // Birth Date
    w.implicitHeader(0x0011, 0x0010, 4).text("ACME");                 // not in the dictionary
    w.implicitHeader(0x0028, 0x0010, 2).u16(512);                     // Rows, US
    w.implicitHeader(0x0028, 0x3000, kUndefinedLength);               // Modality LUT Sequence
    w.implicitHeader(0xFFFE, 0xE000, 12);                             //   item
    w.implicitHeader(0x0028, 0x3002, 4).u16(256).u16(0);              //     LUT Descriptor
    w.implicitHeader(0xFFFE, 0xE0DD, 0);                              // delimiter
    w.implicitHeader(0x7FE0, 0x0010, 8).zeros(8);                     // Pixel Data
    w.implicitHeader(0xFFFC, 0xFFFC, 2).zeros(2);                     // padding
    const Line expected[] = {
        {0x0002, 0x0010, "Transfer Syntax UID", "1.2.840.10008.1.2"},
        {0x0010, 0x0000, "Patient Group", ""},
        {0x0010, 0x0010, "Patient's Name", "DOE^JOHN  "},
        {0x0010, 0x0030, "Patient's Birth Date", "21/03/1964"},
        {0x0028, 0x0010, "Rows", "512"},
        {0x0028, 0x3000, "Modality LUT Sequence", ""},
        {0xFFFE, 0xE000, "Item", ""},
        {0x0028, 0x3002, "LUT Descriptor", "256"},
        {0xFFFE, 0xE0DD, "Sequence Delimitation Item", ""},
    };
    DicomInfoList list;
    EXPECT_TRUE(BuildDicomInfoList(OpenBytes(w.data), &list));
    ASSERT_EQ(list.count, std::size(expected));
    for (size_t i = 0; i < list.count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list.records[i].entry->group, expected[i].group);
        EXPECT_EQ(list.records[i].entry->element, expected[i].element);
        EXPECT_STREQ(list.records[i].entry->name, expected[i].name);
        EXPECT_STREQ(list.records[i].text, expected[i].text);
    }
    DicomInfoListRelease(&list);
    EXPECT_EQ(list.count, 0u);
    // The handle was attached for the list only.
    EXPECT_EQ(DicomStream().kind, kStreamNone);
}

TEST_F(DicomInfoListTest, ANonDicomStreamGivesAnEmptyList) {
    DicomInfoList list;
    EXPECT_TRUE(BuildDicomInfoList(OpenBytes(Bytes(100, 'x')), &list));
    EXPECT_EQ(list.count, 0u);
    DicomInfoListRelease(&list);
}

TEST_F(DicomInfoListTest, AReadErrorEndsTheListWhereItHappened) {
    ByteWriter w;
    w.preambleAndMeta("1.2.840.10008.1.2.1");
    w.explicitHeader(0x0010, 0x0010, "PN", 4).text("DOE ");
    w.explicitHeader(0x0010, 0x0020, "LO", 20).text("CUT");  // the file ends here
    DicomInfoList list;
    EXPECT_TRUE(BuildDicomInfoList(OpenBytes(w.data), &list));
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.records[1].entry->element, 0x0010);
    DicomInfoListRelease(&list);
}

TEST_F(DicomInfoListTest, ARemoteResourceStaysAttachedAndIsRead) {
    ByteWriter w;
    w.preambleAndMeta("1.2.840.10008.1.2.1");
    w.explicitHeader(0x0010, 0x0010, "PN", 4).text("DOE ");
    HANDLE other = OpenBytes(Bytes(200, 'x'));
    MemoryResource remote(w.data);
    AttachMemory(&remote);
    DicomInfoList list;
    // The handle of another file is not attached over the remote resource.
    EXPECT_TRUE(BuildDicomInfoList(other, &list));
    ASSERT_EQ(list.count, 2u);
    EXPECT_STREQ(list.records[1].text, "DOE ");
    EXPECT_EQ(DicomStream().kind, kStreamRemote);
    DicomInfoListRelease(&list);
    DicomStream().detach();
    EXPECT_EQ(remote.releases, 1);
}

}  // namespace
