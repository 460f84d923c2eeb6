// The built-in file type table and extension matching.
#include <gtest/gtest.h>

#include <string>

#include "file_type_table.h"

namespace {

struct RowCase {
    int index;
    std::u16string name;
    std::u16string defaultExtension;
    std::u16string extensions;  // joined with '|'
};

const RowCase kRows[] = {
    {0, u"Window and OS2 Bitmap Format", u"bmp", u"2bp|bmp|img"},
    {1, u"Standard JPEG Format", u"jpg", u"jpg|jpe|jpeg"},
    {2, u"Graphics Interchange Format", u"gif", u"gif"},
    {3, u"Tag Image File Format", u"tif", u"tif|tiff|cfx"},
    {4, u"ZSoft Publisher's Paintbrush", u"pcx", u"pcx"},
    {5, u"KODAC PhotoCD Format", u"pcd", u"pcd"},
    {6, u"Portable Graymap Format", u"raw", u"raw|pgm|ppm"},
    {7, u"MPEG Video", u"mpg", u"mpg|mpeg"},
    {8, u"AVI Video", u"avi", u"avi"},
    {9, u"QuickTime Video", u"mov", u"mov|qt"},
    {10, u"Windows Media Files", u"asf", u"asf|wmv"},
    {11, u"MP3 Sound Files", u"mp3", u"mp3"},
    {12, u"DICOM Format", u"dcm", u"dcm"},
    {13, u"URL Link", u"url", u"url"},
};

TEST(FileTypeTableTest, FourteenRowsAndATerminator) {
    for (const RowCase& row : kRows) {
        const FormatEntry& entry = FileTypeTable[row.index];
        SCOPED_TRACE(row.index);
        EXPECT_EQ(std::u16string(entry.displayName), row.name);
        EXPECT_EQ(std::u16string(entry.defaultExtension), row.defaultExtension);
        std::u16string joined;
        for (LPCWSTR e = entry.extensions; *e; e += std::u16string(e).size() + 1) {
            if (!joined.empty()) joined += u"|";
            joined += e;
        }
        EXPECT_EQ(joined, row.extensions);
        EXPECT_EQ(entry.reserved, 0u);
    }
    EXPECT_EQ(FileTypeTable[kFileTypeCount].extensions, nullptr);
    EXPECT_EQ(FileTypeTable[kFileTypeCount].displayName, nullptr);
}

struct MatchCase {
    std::u16string path;
    int row;  // -1: no row
};

const MatchCase kMatches[] = {
    {u"\\My Documents\\photo.JPG", 1},
    {u"\\My Documents\\photo.jpeg", 1},
    {u"scan.Bmp", 0},
    {u"old.2bp", 0},
    {u"disk.IMG", 0},
    {u"ct.dcm", 12},
    {u"page.TIFF", 3},
    {u"movie.qt", 9},
    {u"link.url", 13},
    {u"archive.tar.gz", -1},       // the extension is "gz"
    {u"\\My Documents\\README", -1},  // no dot
    {u"\\Some.Folder\\file", -1},     // the dot belongs to a folder
    {u"trailing.", -1},
};

TEST(FileTypeTableTest, ExtensionMatchingIgnoresCaseAndTakesTheLastDot) {
    for (const MatchCase& c : kMatches) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(FindFormatRow(FileTypeTable, PathExtension(c.path.c_str())), c.row);
    }
}

TEST(FileTypeTableTest, FirstRowListingTheExtensionWins) {
    const FormatEntry table[] = {
        {u"A", u"a", u"one\0two\0", 0},
        {u"B", u"b", u"TWO\0three\0", 0},
        {nullptr, nullptr, nullptr, 0},
    };
    EXPECT_EQ(FindFormatRow(table, u"two"), 0);
    EXPECT_EQ(FindFormatRow(table, u"three"), 1);
    EXPECT_EQ(FindFormatRow(table, u"four"), -1);
    EXPECT_EQ(FindFormatRow(table, nullptr), -1);
}

}  // namespace
