// The reader and the element list over every DICOM file of python3-pydicom's
// test set, compared with DCMTK's dcmdump: the same elements in the same
// order with the same values and sequence depths; and real files cut at every
// byte offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "dicom/dicom_info_list.h"
#include "dicom_test_util.h"

namespace {

// Files that the reader cannot read to their end, each for its own reason;
// every other file must read without an error.
const std::map<std::string, const char*> kFilesEndingEarly = {
    {"MR_truncated.dcm", "the pixel data is cut short"},
    {"rtplan_truncated.dcm", "the file is cut inside a sequence"},
    {"SC_rgb_jpeg.dcm", "damaged after its first element (dcmdump fails there too)"},
    {"image_dfl.dcm", "a deflated data set, which the reader does not inflate"},
    {"meta_missing_tsyntax.dcm", "no transfer syntax: read as explicit VR, but it is implicit"},
    {"reportsi_with_empty_number_tags.dcm", "ends with an OF element, read with a 2-byte length"},
};

// Files that dcmdump cannot read at all: nothing to compare with.
const std::map<std::string, const char*> kFilesDcmdumpCannotRead = {
    {"no_meta.dcm", "a stray byte before the data set; dcmdump stops at once"},
};

struct DumpElement {
    uint32_t tag;
    std::string vr;
    std::string value;  // as printed, without the brackets of a text value
    bool text;          // printed in brackets
    int depth;          // from the indentation
};

uint32_t Tag(uint16_t group, uint16_t element) {
    return ((uint32_t)group << 16) | element;
}

std::string DecodeXmlMarkup(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t end = s.find(';', i);
        if (end == std::string::npos) {
            out += s[i];
            continue;
        }
        const std::string entity = s.substr(i + 1, end - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (!entity.empty() && entity[0] == '#') out += (char)std::atoi(entity.c_str() + 1);
        else out += "&" + entity + ";";
        i = end;
    }
    return out;
}

// Parses one line "  (gggg,eeee) VR value  # length, vm Name" of dcmdump.
bool ParseDumpLine(const std::string& line, DumpElement* e) {
    const size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || line.compare(indent, 1, "(") != 0) return false;
    if (line.size() < indent + 15 || line[indent + 5] != ',' || line[indent + 10] != ')') {
        return false;
    }
    const size_t hash = line.rfind('#');
    if (hash == std::string::npos || hash < indent + 15) return false;
    e->tag = Tag((uint16_t)std::strtoul(line.substr(indent + 1, 4).c_str(), nullptr, 16),
                 (uint16_t)std::strtoul(line.substr(indent + 6, 4).c_str(), nullptr, 16));
    e->vr = line.substr(indent + 12, 2);
    std::string value = line.substr(indent + 15, hash - indent - 15);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    e->text = value.size() >= 2 && value.front() == '[' && value.back() == ']';
    e->value = e->text ? DecodeXmlMarkup(value.substr(1, value.size() - 2)) : value;
    if (value == "(no value available)") {
        e->value.clear();
        e->text = true;
    }
    e->depth = (int)indent / 4;  // an item indents 2, its elements 4
    return true;
}

// dcmdump of a test file: values printed whole, non-ASCII and control
// characters as XML markup. One dcmdump run dumps every file of the set.
const std::vector<DumpElement>& Dcmdump(const std::string& name) {
    static std::map<std::string, std::vector<DumpElement>> dumps;
    if (dumps.empty()) {
        std::string command = std::string(KESTRAVA_DCMDUMP) + " -q -M +R 64 +L -Un +E +Qn +F";
        for (const std::string& file : PydicomTestFiles()) {
            command += " '" + PydicomTestFile(file) + "'";
        }
        command += " 2>/dev/null";
        std::string output;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char chunk[65536];
            size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
            pclose(pipe);
        }
        const std::string root = std::string(KESTRAVA_PYDICOM_TEST_FILES) + "/";
        std::vector<DumpElement>* current = nullptr;
        size_t start = 0;
        while (start < output.size()) {
            size_t end = output.find('\n', start);
            if (end == std::string::npos) end = output.size();
            const std::string line = output.substr(start, end - start);
            start = end + 1;
            // "# dcmdump (3/90): /path/to/file" begins each file.
            if (line.rfind("# dcmdump (", 0) == 0) {
                const size_t path = line.find("): ");
                if (path != std::string::npos && line.compare(path + 3, root.size(), root) == 0) {
                    current = &dumps[line.substr(path + 3 + root.size())];
                }
                continue;
            }
            DumpElement e;
            if (current != nullptr && ParseDumpLine(line, &e)) current->push_back(e);
        }
    }
    return dumps[name];
}

bool Shown(uint32_t tag) {
    return (tag >> 16) != 0xFFFE && (tag >> 16) < 0x7FE0;
}

std::string TrimEnd(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

std::string FirstValue(const std::string& s) {
    return s.substr(0, s.find('\\'));
}

// Our text of an element against dcmdump's rendering of the same element.
void ExpectSameValue(const DicomInfoRecord& ours, const DumpElement& theirs) {
    const std::string& vr = theirs.vr;
    const std::string text = ours.text;
    SCOPED_TRACE(testing::Message() << std::hex << theirs.tag << " " << vr << " ours \"" << text
                                    << "\" dcmdump \"" << theirs.value << "\"");
    if (ours.entry->element == 0 || theirs.value == "(not loaded)") return;
    static const std::set<std::string> kNotCompared = {"SQ", "UN", "OB", "OW", "AT", "??", "na",
                                                       "ox", "lt", "pi", "OF", "OD", "OL", "OV"};
    if (kNotCompared.count(vr)) return;
    if (theirs.value.empty()) {
        EXPECT_EQ(text, "");
        return;
    }
    if (vr == "US" || vr == "SS" || vr == "xs" || vr == "UL" || vr == "SL" || vr == "up" ||
        vr == "SV" || vr == "UV") {
        // The dictionary's xs is shown unsigned; compare modulo the width.
        const long long a = std::strtoll(text.c_str(), nullptr, 10);
        const long long b = std::strtoll(FirstValue(theirs.value).c_str(), nullptr, 10);
        const bool narrow = vr == "US" || vr == "SS" || vr == "xs";
        EXPECT_EQ((a - b) % (narrow ? 65536 : 4294967296LL), 0);
        return;
    }
    if (vr == "FL" || vr == "FD") {
        const double a = std::strtod(text.c_str(), nullptr);
        const double b = std::strtod(FirstValue(theirs.value).c_str(), nullptr);
        EXPECT_LE(std::fabs(a - b), 1e-6 * std::max(1.0, std::fabs(b)));
        return;
    }
    // Text: the raw value, up to its first NUL, cut to 63 characters;
    // dcmdump drops trailing padding.
    std::string raw = theirs.value.substr(0, theirs.value.find('\0'));
    if (vr == "DA" && raw.size() == 8) {
        raw = raw.substr(6, 2) + "/" + raw.substr(4, 2) + "/" + raw.substr(0, 4);
    } else if (vr == "TM" && raw.size() == 6) {
        raw = raw.substr(0, 2) + ":" + raw.substr(2, 2) + ":" + raw.substr(4, 2);
    }
    EXPECT_EQ(TrimEnd(text), TrimEnd(raw.substr(0, 63)));
}

class PydicomFiles : public DicomFileTest {};

TEST_F(PydicomFiles, ToolsAndFilesArePresent) {
    ASSERT_EQ(std::system((std::string(KESTRAVA_DCMDUMP) + " --version >/dev/null 2>&1").c_str()),
              0)
        << "dcmdump (Debian package dcmtk) is needed";
    ASSERT_GT(PydicomTestFiles().size(), 50u)
        << "the test files of python3-pydicom are needed in " << KESTRAVA_PYDICOM_TEST_FILES;
}

TEST_F(PydicomFiles, ElementListMatchesDcmdumpOnTheElementsBothList) {
    size_t compared = 0;
    for (const std::string& name : PydicomTestFiles()) {
        SCOPED_TRACE(name);
        const std::string path = PydicomTestFile(name);
        DicomInfoList list;
        ASSERT_TRUE(BuildDicomInfoList(OpenHostFile(path), &list));
        if (kFilesDcmdumpCannotRead.count(name)) {
            DicomInfoListRelease(&list);
            continue;
        }
        const std::vector<DumpElement>& dump = Dcmdump(name);

        std::multiset<uint32_t> oursTags, theirTags;
        for (size_t i = 0; i < list.count; ++i) {
            oursTags.insert(Tag(list.records[i].entry->group, list.records[i].entry->element));
        }
        for (const DumpElement& e : dump) theirTags.insert(e.tag);
        std::vector<const DicomInfoRecord*> ours;
        std::vector<const DumpElement*> theirs;
        for (size_t i = 0; i < list.count; ++i) {
            const uint32_t tag = Tag(list.records[i].entry->group, list.records[i].entry->element);
            if (Shown(tag) && theirTags.count(tag)) ours.push_back(&list.records[i]);
        }
        for (const DumpElement& e : dump) {
            if (Shown(e.tag) && oursTags.count(e.tag)) theirs.push_back(&e);
        }
        ASSERT_EQ(ours.size(), theirs.size());
        compared += ours.size();
        for (size_t i = 0; i < ours.size(); ++i) {
            ASSERT_EQ(Tag(ours[i]->entry->group, ours[i]->entry->element), theirs[i]->tag)
                << "element " << i;
            ExpectSameValue(*ours[i], *theirs[i]);
        }
        DicomInfoListRelease(&list);
    }
    EXPECT_GT(compared, 3000u);  // the comparison did see the files
}

TEST_F(PydicomFiles, EveryElementIsMetAtDcmdumpsSequenceDepth) {
    for (const std::string& name : PydicomTestFiles()) {
        SCOPED_TRACE(name);
        const std::string path = PydicomTestFile(name);
        LogCapture log;
        DicomStream().attach_file(OpenHostFile(path));
        DicomStream().seek(0, FILE_BEGIN);
        ASSERT_EQ(dicom_open(), 0);
        std::vector<std::pair<uint32_t, int>> ours;
        while (DicomElement* e = dicom_next_element()) {
            const uint32_t tag = Tag(e->group, e->element);
            if (Shown(tag)) ours.push_back({tag, e->depth});
            if (dicom_skip_value() != 0) break;
        }
        const bool endsEarly = kFilesEndingEarly.count(name) != 0;
        EXPECT_EQ(log.Has(3, "Unexpected end of file"), endsEarly);
        if (!endsEarly) {
            for (const LogLine& line : log.lines) EXPECT_GT(line.severity, 4) << line.text;
        }

        if (kFilesDcmdumpCannotRead.count(name)) continue;
        std::vector<std::pair<uint32_t, int>> theirs;
        for (const DumpElement& e : Dcmdump(name)) {
            if (Shown(e.tag)) theirs.push_back({e.tag, e.depth});
        }
        if (endsEarly) {
            // Up to where the reader stopped (dcmdump may stop sooner).
            const size_t n = std::min(ours.size(), theirs.size());
            ours.resize(n);
            theirs.resize(n);
        }
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            ASSERT_EQ(ours[i].first, theirs[i].first) << "element " << i;
            EXPECT_EQ(ours[i].second, theirs[i].second)
                << "element " << i << " " << std::hex << ours[i].first;
        }
    }
}

// The list as BuildDicomInfoList makes it, with the stream position where
// each listed element's data ends.
struct ListedElement {
    uint32_t tag;
    std::string text;
    int64_t end;
};

std::vector<ListedElement> ListWithEnds() {
    std::vector<ListedElement> listed;
    DicomStream().seek(0, FILE_BEGIN);
    if (dicom_open() != 0) return listed;
    while (DicomElement* e = dicom_next_element()) {
        if (dicom_load_value(e->vr) < 0) break;
        char text[kDicomInfoTextSize];
        if (IsListed(*e) && FormatDicomValue(e, text) != nullptr) {
            listed.push_back({Tag(e->group, e->element), text, DicomStream().tell()});
        }
        dicom_free_value(e->value);
        e->value = nullptr;
    }
    return listed;
}

TEST_F(PydicomFiles, ACutFileListsExactlyTheElementsBeforeTheCut) {
    // Meta group, defined- and undefined-length sequences, a sequence stored
    // as UN, encapsulated fragments, big endian, an implicit directory.
    const char* files[] = {"rtplan.dcm", "UN_sequence.dcm", "SC_rgb_small_odd_jpeg.dcm",
                           "MR_small_bigendian.dcm", "dicomdirtests/DICOMDIR-implicit"};
    for (const char* name : files) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadHostFile(PydicomTestFile(name));
        ASSERT_FALSE(whole.empty());
        DicomStream().attach_file(OpenBytes(whole));
        const std::vector<ListedElement> full = ListWithEnds();
        ASSERT_GT(full.size(), 5u);
        // Every cut through the stream's remote kind (the bytes in memory);
        // every 61st also as a local file.
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            MemoryResource part(Bytes(whole.begin(), whole.begin() + (std::ptrdiff_t)cut));
            DicomInfoList list;
            if (cut % 61 == 0) {
                ASSERT_TRUE(BuildDicomInfoList(OpenBytes(part.data), &list));
            } else {
                AttachMemory(&part);
                ASSERT_TRUE(BuildDicomInfoList(nullptr, &list));
                DicomStream().detach();
            }
            size_t expected = 0;
            if (cut >= 132) {
                while (expected < full.size() && full[expected].end <= (int64_t)cut) ++expected;
            }
            ASSERT_EQ(list.count, expected) << "cut at " << cut;
            for (size_t i = 0; i < list.count; ++i) {
                ASSERT_EQ(Tag(list.records[i].entry->group, list.records[i].entry->element),
                          full[i].tag);
                ASSERT_EQ(list.records[i].text, full[i].text);
            }
            DicomInfoListRelease(&list);
        }
    }
}

TEST_F(PydicomFiles, DamagedBytesNeverCrashOrHang) {
    // Real files with a few bytes overwritten at random places (a fixed seed,
    // so a failure repeats): whatever the reader makes of them, it ends.
    const char* files[] = {"rtplan.dcm", "UN_sequence.dcm", "SC_rgb_small_odd_jpeg.dcm",
                           "MR_small_implicit.dcm", "ExplVR_BigEndNoMeta.dcm"};
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (const char* name : files) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadHostFile(PydicomTestFile(name));
        ASSERT_FALSE(whole.empty());
        for (int round = 0; round < 1500; ++round) {
            MemoryResource damaged(whole);
            const int changes = 1 + (int)(next() % 4);
            for (int i = 0; i < changes; ++i) {
                damaged.data[next() % damaged.data.size()] = (uint8_t)next();
            }
            AttachMemory(&damaged);
            DicomInfoList list;
            ASSERT_TRUE(BuildDicomInfoList(nullptr, &list));
            EXPECT_LE(list.count, whole.size() / 8);  // at most one element per header
            DicomInfoListRelease(&list);
            DicomStream().detach();
        }
    }
}

}  // namespace
