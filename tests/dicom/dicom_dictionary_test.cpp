// The constant tables and their three lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dicom/dicom_dictionary.h"
#include "dicom_test_util.h"

namespace {

uint32_t Key(const DicomDictEntry& row) {
    return ((uint32_t)row.group << 16) | row.element;
}

struct TellingRow {
    uint16_t group, element;
    const char* vr;
    const char* name;
};

// Rows the information list and the reader depend on, as they must read.
const TellingRow kTellingRows[] = {
    {0x0000, 0x0000, "UL", "Group Length"},
    {0x0002, 0x0000, "UL", "Meta Element Group"},
    {0x0002, 0x0010, "UI", "Transfer Syntax UID"},
    {0x0009, 0x0010, "xs", "?"},
    {0x0010, 0x0000, "UL", "Patient Group"},
    {0x0010, 0x0010, "PN", "Patient's Name"},
    {0x0010, 0x0020, "LO", "Patient's ID"},
    {0x0010, 0x21B0, "LT", "Additional Patient History"},
    {0x0019, 0x0033, "UN", "ECG 2 Offset 2"},
    {0x0028, 0x0000, "UL", "Image Presentation Group"},
    {0x0028, 0x0004, "CS", "Photometric Interpretation"},
    {0x0028, 0x0010, "US", "Rows"},
    {0x0028, 0x0106, "xs", "Smallest Image Pixel Value"},
    {0x0028, 0x1050, "DS", "Window Center"},
    {0x0028, 0x1055, "LO", "Window Center & Width Explanation"},
    {0x0028, 0x1201, "OW", "Red Palette Color Lookup Table Data"},
    {0x7000, 0x0004, "ST", "TextAnnotation"},
    {0x7001, 0x0010, "LO", "Dummy"},
    {0x7FE0, 0x0000, "UL", "Pixel Data Group"},
    {0x7FE0, 0x0010, "xs", "Pixel Data"},
    {0xFFFC, 0xFFFC, "OB", "Data Set Trailing Padding"},
    {0xFFFE, 0xE000, "xs", "Item"},
    {0xFFFE, 0xE00D, "xs", "Item Delimitation Item"},
    {0xFFFE, 0xE0DD, "xs", "Sequence Delimitation Item"},
    {0xFFFF, 0xFFFF, "xs", ""},
};

TEST(DicomDictionary, TellingRowsReadAsTheProgramShowsThem) {
    for (const TellingRow& want : kTellingRows) {
        SCOPED_TRACE(testing::Message() << std::hex << want.group << "," << want.element);
        const DicomDictEntry* row = dicom_find_entry(want.group, want.element);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->group, want.group);
        EXPECT_EQ(row->element, want.element);
        EXPECT_STREQ(row->vr, want.vr);
        EXPECT_STREQ(row->name, want.name);
    }
}

TEST(DicomDictionary, IsSortedAndEndsWithTheSentinel) {
    ASSERT_GT(kDicomDictionaryRows, 1);
    for (int i = 1; i < kDicomDictionaryRows; ++i) {
        ASSERT_LE(Key(DicomDictionary[i - 1]), Key(DicomDictionary[i])) << "row " << i;
        // Only the sentinel may repeat (it pads the row count).
        if (Key(DicomDictionary[i - 1]) == Key(DicomDictionary[i])) {
            ASSERT_EQ(Key(DicomDictionary[i]), 0xFFFFFFFFu) << "row " << i;
        }
    }
    const DicomDictEntry& last = DicomDictionary[kDicomDictionaryRows - 1];
    EXPECT_EQ(Key(last), 0xFFFFFFFFu);
    EXPECT_STREQ(last.vr, "xs");
    EXPECT_STREQ(last.name, "");
}

TEST(DicomDictionary, EveryRowHasTwoLetterVrAndIsFoundByTheProbeSequence) {
    for (int i = 0; i < kDicomDictionaryRows; ++i) {
        const DicomDictEntry& row = DicomDictionary[i];
        ASSERT_EQ(std::strlen(row.vr), 2u) << "row " << i;
        const DicomDictEntry* found = dicom_find_entry(row.group, row.element);
        ASSERT_NE(found, nullptr) << "row " << i;
        EXPECT_EQ(Key(*found), Key(row)) << "row " << i;
    }
}

TEST(DicomDictionary, MissesAreNotFound) {
    // Between neighbouring rows, below the first and around the top of the
    // key space: every key that is not a row misses.
    for (int i = 1; i < kDicomDictionaryRows; ++i) {
        const uint32_t low = Key(DicomDictionary[i - 1]);
        const uint32_t high = Key(DicomDictionary[i]);
        if (high - low < 2) continue;
        for (uint32_t key : {low + 1, high - 1, low + (high - low) / 2}) {
            EXPECT_EQ(dicom_find_entry((uint16_t)(key >> 16), (uint16_t)key), nullptr)
                << std::hex << key;
        }
    }
    EXPECT_EQ(dicom_find_entry(0x0011, 0x0010), nullptr);
    EXPECT_EQ(dicom_find_entry(0xFFFF, 0xFFFE), nullptr);
}

TEST(DicomDictionary, VendorGroupsAreKnownButHidden) {
    const DicomDictEntry* creator = dicom_find_entry(0x0043, 0x0010);
    ASSERT_NE(creator, nullptr);
    EXPECT_STREQ(creator->name, "?");
    const DicomDictEntry* element = dicom_find_entry(0x0019, 0x1002);  // GE acquisition group
    ASSERT_NE(element, nullptr);
    EXPECT_STREQ(element->name, "?");
    for (uint16_t e = 0x0400; e <= 0x0403; ++e) {
        ASSERT_NE(dicom_find_entry(0x0028, e), nullptr);
        EXPECT_STREQ(dicom_find_entry(0x0028, e)->name, "?");
    }
    for (uint16_t g : {0x0003, 0x0005, 0x0006}) {
        ASSERT_NE(dicom_find_entry(g, 0x0000), nullptr);
        EXPECT_STREQ(dicom_find_entry(g, 0x0000)->name, "?");
    }
}

TEST(DicomDictionary, RepeatingGroupsAreNamedInEveryInstance) {
    for (uint16_t g = 0x6000; g <= 0x601E; g += 2) {
        const DicomDictEntry* rows = dicom_find_entry(g, 0x0010);
        ASSERT_NE(rows, nullptr) << std::hex << g;
        EXPECT_STREQ(rows->name, "Overlay Rows");
        ASSERT_NE(dicom_find_entry(g, 0x0000), nullptr);
        EXPECT_STREQ(dicom_find_entry(g, 0x0000)->name, "Overlay Group");
    }
    EXPECT_EQ(dicom_find_entry(0x6001, 0x0010), nullptr);  // odd: private
    ASSERT_NE(dicom_find_entry(0x7F00, 0x0010), nullptr);
    EXPECT_STREQ(dicom_find_entry(0x7F00, 0x0010)->name, "Variable Pixel Data");
}

TEST(DicomDictionary, DictEntryVrGivesTheCode) {
    EXPECT_EQ(DictEntryVr(*dicom_find_entry(0x0028, 0x0010)), kVrUS);
    EXPECT_EQ(DictEntryVr(*dicom_find_entry(0x7FE0, 0x0010)), kVrXs);
    EXPECT_EQ(MakeVrCode('P', 'N'), 0x504E);
}

struct PrivateCase {
    uint16_t group, element;
    int32_t vr;
    const char* keyword;
};

const PrivateCase kPrivateCases[] = {
    {0x0008, 0x1140, kVrSQ, "ReferencedImageSequence"},
    {0x0004, 0x1220, kVrSQ, "DirectoryRecordSequence"},
    {0x0028, 0x3000, kVrSQ, "ModalityLUTSequence"},
    {0x0040, 0xA730, kVrSQ, "ContentSequence"},
    {0x5400, 0x0100, kVrSQ, "WaveformSequence"},
    {0x0040, 0x059A, kVrSQ, "SpecimenTypeCodeSequence"},
    {0xFFFA, 0xFFFA, kVrSQ, "DigitalSignaturesSequence"},
    {0x5012, 0x2600, kVrSQ, "CurveReferencedOverlaySequence"},
    {0x50FE, 0x2600, kVrSQ, "CurveReferencedOverlaySequence"},
    {0x5011, 0x2600, kVrUN, "Unknown"},  // odd group
    {0x5012, 0x2601, kVrUN, "Unknown"},
    {0x0028, 0x0010, kVrUN, "Unknown"},
    {0x7FE0, 0x0010, kVrUN, "Unknown"},
    {0xFFFE, 0xE000, kVrUN, "Unknown"},
    {0x0000, 0x0000, kVrUN, "Unknown"},
    {0xFFFF, 0xFFFF, kVrUN, "Unknown"},
};

TEST(DicomPrivate, GivesSequencesTheirVr) {
    for (const PrivateCase& c : kPrivateCases) {
        const DicomTag tag = {c.group, c.element};
        const VrRangeRule* rule = dicom_private(VrRangeTable, &tag);
        ASSERT_NE(rule, nullptr);
        EXPECT_EQ((int32_t)rule->vr, c.vr) << std::hex << c.group << "," << c.element;
        EXPECT_STREQ(rule->keyword, c.keyword);
    }
}

// The built-in table is searched through its order; the answer must be the
// row that a plain first-match scan finds.
const VrRangeRule* LinearScan(uint16_t group, uint16_t element) {
    for (const VrRangeRule* rule = VrRangeTable;; ++rule) {
        if (rule->group_low == 0xFFFF) return rule;
        auto parityOk = [](uint16_t v, uint32_t p) { return p == kParityAny || (v & 1u) == p; };
        if (rule->group_low <= group && group <= rule->group_high &&
            parityOk(group, rule->group_parity) && rule->element_low <= element &&
            element <= rule->element_high && parityOk(element, rule->element_parity)) {
            return rule;
        }
    }
}

TEST(DicomPrivate, BuiltInTableAnswersAsTheFirstMatchingRow) {
    for (int i = 0; i < kVrRangeTableRows; ++i) {
        const VrRangeRule& row = VrRangeTable[i];
        for (uint32_t delta : {0u, 1u, 2u}) {
            const uint16_t group = row.group_low;
            const uint16_t element = (uint16_t)(row.element_low + delta);
            const DicomTag tag = {group, element};
            EXPECT_EQ(dicom_private(VrRangeTable, &tag), LinearScan(group, element))
                << std::hex << group << "," << element;
        }
    }
    EXPECT_EQ(VrRangeTable[kVrRangeTableRows - 1].group_low, 0xFFFF);
    EXPECT_EQ((int32_t)VrRangeTable[kVrRangeTableRows - 1].vr, kVrUN);
}

TEST(DicomPrivate, ScansAnotherTableFromItsFirstRow) {
    const VrRangeRule table[] = {
        {0x0010, 0x0010, kParityAny, 0x0000, 0xFFFF, kParityOdd, kVrUS, "OddInPatient"},
        {0x0010, 0x0010, kParityAny, 0x0000, 0xFFFF, kParityAny, kVrSQ, "AnyInPatient"},
        {0xFFFF, 0xFFFF, kParityAny, 0x0000, 0xFFFF, kParityAny, kVrUN, "Unknown"},
    };
    const DicomTag odd = {0x0010, 0x0011};
    const DicomTag even = {0x0010, 0x0010};
    const DicomTag other = {0x0012, 0x0010};
    EXPECT_STREQ(dicom_private(table, &odd)->keyword, "OddInPatient");
    EXPECT_STREQ(dicom_private(table, &even)->keyword, "AnyInPatient");
    EXPECT_STREQ(dicom_private(table, &other)->keyword, "Unknown");
}

TEST(DicomPrivate, MissingArgumentsAreErrors) {
    LogCapture log;
    const DicomTag tag = {0x0008, 0x1140};
    EXPECT_EQ(dicom_private(nullptr, &tag), nullptr);
    EXPECT_TRUE(log.Has(3, "No dictionary given"));
    EXPECT_EQ(dicom_private(VrRangeTable, nullptr), nullptr);
    EXPECT_TRUE(log.Has(3, "No element given"));
    EXPECT_EQ(log.traces, 2);  // "dicom_private()" on every call
}

TEST(DicomTransferSyntax, MapsEachUidExactly) {
    const struct {
        const char* uid;
        TransferSyntaxCode code;
    } cases[] = {
        {"1.2.840.10008.1.2", ImplicitVrLittleEndian},
        {"1.2.840.10008.1.2.1", ExplicitVrLittleEndian},
        {"1.2.840.10008.1.2.2", ExplicitVrBigEndian},
        {"1.2.840.10008.1.2.4.50", JpegProcess},
        {"1.2.840.10008.1.2.4.57", JpegProcess},
        {"1.2.840.10008.1.2.4.66", JpegProcess},
        {"1.2.840.10008.1.2.4.70", JpegLossless},
        {"1.2.840.10008.1.2.5", RleLossless},
        {"1.2.840.10008.1.2.4.90", UnknownSyntax},
        {"1.2.840.10008.1.2.4.67", UnknownSyntax},
        {"1.2.840.10008.1.2.1 ", UnknownSyntax},  // padding must be gone first
        {"1.2.840.10008.1.2.1\0", ExplicitVrLittleEndian},  // NUL padding ends the text
        {"1.2.840.10008.1.2.1.99", UnknownSyntax},
        {"", UnknownSyntax},
    };
    for (const auto& c : cases) EXPECT_EQ(dicom_transfer_syntax(c.uid), c.code) << c.uid;
    EXPECT_EQ(dicom_transfer_syntax(nullptr), UnknownSyntax);
    EXPECT_EQ(kTransferSyntaxRows, 22);
}

}  // namespace
