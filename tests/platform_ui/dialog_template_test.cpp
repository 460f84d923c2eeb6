// Dialog templates as llvm-rc writes them into the test executable's .res
// (DIALOG and DIALOGEX statements, string tables beside them), read by the
// dialog manager's parser; truncated and malformed templates fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialogs_ids.h"
#include "gwes/dialog_template.h"
#include "windows.h"

namespace {

using gwes::DialogTemplate;
using gwes::ParseDialogTemplate;
using gwes::TemplateError;

std::vector<BYTE> ResourceBytes(int id) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC r = FindResourceW(self, MAKEINTRESOURCEW(id), RT_DIALOG);
    if (!r) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, r)));
    return std::vector<BYTE>(data, data + SizeofResource(self, r));
}

struct ItemRow {
    DWORD id;
    const char16_t* className;  // null: an ordinal
    WORD classOrdinal;
    const char16_t* title;      // null: an ordinal
    WORD titleOrdinal;
    short x, y, cx, cy;
    DWORD styleBits;  // bits that must be set
};

void ExpectItems(const DialogTemplate& t, const std::vector<ItemRow>& rows) {
    ASSERT_EQ(t.items.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const gwes::DialogItem& item = t.items[i];
        const ItemRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << "item " << i);
        EXPECT_EQ(item.id, row.id);
        if (row.className) {
            EXPECT_EQ(item.className.text, row.className);
        } else {
            EXPECT_EQ(item.className.ordinal, row.classOrdinal);
        }
        if (row.title) {
            EXPECT_EQ(item.title.text, row.title);
        } else {
            EXPECT_EQ(item.title.ordinal, row.titleOrdinal);
        }
        EXPECT_EQ(item.x, row.x);
        EXPECT_EQ(item.y, row.y);
        EXPECT_EQ(item.cx, row.cx);
        EXPECT_EQ(item.cy, row.cy);
        EXPECT_EQ(item.style & row.styleBits, row.styleBits);
        EXPECT_EQ(item.style & WS_CHILD, static_cast<DWORD>(WS_CHILD));
        EXPECT_EQ(item.creationData, nullptr);
    }
}

TEST(DialogTemplate, DialogStatementFromTheResourceFile) {
    std::vector<BYTE> bytes = ResourceBytes(IDD_DLG_TESTCTL);
    ASSERT_FALSE(bytes.empty());
    DialogTemplate t;
    ASSERT_EQ(ParseDialogTemplate(bytes.data(), bytes.size(), &t), TemplateError::kOk);
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT),
              static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT));
    EXPECT_EQ(t.x, 4);
    EXPECT_EQ(t.y, 24);
    EXPECT_EQ(t.cx, 120);
    EXPECT_EQ(t.cy, 90);
    EXPECT_TRUE(t.menu.Empty());
    EXPECT_TRUE(t.className.Empty());
    EXPECT_EQ(t.title, u"Test controls");
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.faceName, u"MS Sans Serif");
    ExpectItems(t, {
                       {IDC_FIRST, u"TestCtl", 0, u"First", 0, 4, 4, 50, 12, WS_TABSTOP | WS_GROUP | WS_VISIBLE},
                       {IDC_SECOND, u"TestCtl", 0, u"Second", 0, 4, 20, 50, 12, WS_TABSTOP},
                       {IDC_NOTAB, u"TestCtl", 0, u"No tab", 0, 4, 36, 50, 12, 0},
                       {IDC_DISABLED, u"TestCtl", 0, u"Disabled", 0, 4, 52, 50, 12, WS_DISABLED},
                       {IDC_HIDDEN, u"TestCtl", 0, u"Hidden", 0, 62, 4, 50, 12, WS_TABSTOP},
                       {IDC_THIRD, u"TestCtl", 0, u"Third", 0, 62, 20, 50, 12, WS_GROUP},
                   });
    EXPECT_EQ(t.items[4].style & WS_VISIBLE, 0u);
}

TEST(DialogTemplate, DialogExStatementFromTheResourceFile) {
    std::vector<BYTE> bytes = ResourceBytes(IDD_DLGEX_FONT);
    ASSERT_FALSE(bytes.empty());
    DialogTemplate t;
    ASSERT_EQ(ParseDialogTemplate(bytes.data(), bytes.size(), &t), TemplateError::kOk);
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.helpId, 77u);
    EXPECT_EQ(t.exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_EQ(t.title, u"Extended");
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.weight, 700);
    EXPECT_EQ(t.italic, 1);
    EXPECT_EQ(t.charSet, 1);
    EXPECT_EQ(t.faceName, u"Tahoma");
    ExpectItems(t, {
                       {IDC_FIRST, u"TestCtl", 0, u"x", 0, 1, 2, 30, 10, WS_TABSTOP},
                       {IDC_SECOND, nullptr, 0x0082, nullptr, 200, 40, 2, 0, 0, SS_ICON},
                       {static_cast<DWORD>(IDC_STATIC), u"TestCtl", 0, u"", 0, 5, 6, 7, 8, 0},
                   });
    EXPECT_EQ(t.items[0].exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(t.items[0].helpId, 55u);
}

TEST(DialogTemplate, StandardClassOrdinals) {
    const struct {
        WORD ordinal;
        const char16_t* name;
    } rows[] = {{0x80, u"Button"}, {0x81, u"Edit"},      {0x82, u"Static"},
                {0x83, u"ListBox"}, {0x84, u"ScrollBar"}, {0x85, u"ComboBox"}};
    for (const auto& row : rows) EXPECT_EQ(std::u16string(gwes::StandardClassName(row.ordinal)), row.name);
    EXPECT_EQ(gwes::StandardClassName(0x86), nullptr);
    EXPECT_EQ(gwes::StandardClassName(0x7F), nullptr);

    // The buttons' template uses the ordinals for its LTEXT, EDITTEXT and buttons.
    std::vector<BYTE> bytes = ResourceBytes(IDD_DLG_BUTTONS);
    DialogTemplate t;
    ASSERT_EQ(ParseDialogTemplate(bytes.data(), bytes.size(), &t), TemplateError::kOk);
    ASSERT_EQ(t.items.size(), 9u);
    EXPECT_EQ(t.items[0].className.ordinal, 0x82);
    EXPECT_EQ(t.items[1].className.ordinal, 0x81);
    EXPECT_EQ(t.items[7].className.ordinal, 0x80);
    EXPECT_EQ(t.items[7].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

// Every shorter piece of a real template is refused, and the parser reads
// nothing beyond the piece (each piece sits in a buffer of its exact size).
TEST(DialogTemplate, EveryTruncationFails) {
    for (int id : {IDD_DLG_TESTCTL, IDD_DLGEX_FONT, IDD_DLG_BUTTONS}) {
        std::vector<BYTE> bytes = ResourceBytes(id);
        ASSERT_FALSE(bytes.empty());
        // The resource is padded to a DWORD; the template proper ends at its
        // last item's creation-data word.
        size_t end = bytes.size();
        DialogTemplate whole;
        ASSERT_EQ(ParseDialogTemplate(bytes.data(), end, &whole), TemplateError::kOk);
        while (end > 0) {
            DialogTemplate t;
            if (ParseDialogTemplate(bytes.data(), end - 1, &t) != TemplateError::kOk) break;
            --end;
        }
        for (size_t n = 0; n < end; ++n) {
            std::unique_ptr<BYTE[]> piece(new BYTE[n ? n : 1]);
            std::memcpy(piece.get(), bytes.data(), n);
            DialogTemplate t;
            EXPECT_NE(ParseDialogTemplate(piece.get(), n, &t), TemplateError::kOk) << "template " << id
                                                                                     << " cut to " << n;
        }
    }
}

// Hand-made templates: WORDs, little-endian, each field commented.
std::vector<WORD> ExTemplateWithCreationData() {
    return {
        1, 0xFFFF,               // version, signature
        0, 0,                    // help id
        0, 0,                    // extended style
        0x0000, 0x8000,          // style: WS_POPUP
        1,                       // one item
        0, 0, 50, 30,            // x, y, cx, cy
        0,                       // no menu
        0xFFFF, 0x0123,          // class atom 0x123
        'T', 0,                  // title "T"
        // item, at a DWORD boundary (offset 36)
        0, 0,                    // help id
        0, 0,                    // extended style
        0x0000, 0x5000,          // style: WS_CHILD | WS_VISIBLE
        1, 2, 3, 4,              // x, y, cx, cy
        42, 0,                   // id 42
        'C', 0,                  // class "C"
        0xFFFF, 0x0007,          // title: ordinal 7
        4,                       // four bytes of creation data
        0xBEEF, 0xCAFE,
    };
}

TEST(DialogTemplate, HandMadeExtendedTemplate) {
    std::vector<WORD> words = ExTemplateWithCreationData();
    DialogTemplate t;
    ASSERT_EQ(ParseDialogTemplate(words.data(), words.size() * 2, &t), TemplateError::kOk);
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.style, 0x80000000u);
    EXPECT_EQ(t.className.ordinal, 0x123);
    EXPECT_EQ(t.title, u"T");
    EXPECT_FALSE(t.hasFont);
    ASSERT_EQ(t.items.size(), 1u);
    const gwes::DialogItem& item = t.items[0];
    EXPECT_EQ(item.id, 42u);
    EXPECT_EQ(item.className.text, u"C");
    EXPECT_EQ(item.title.ordinal, 7);
    EXPECT_EQ(item.creationSize, 4);
    ASSERT_NE(item.creationData, nullptr);
    WORD size, first;
    std::memcpy(&size, item.creationData, 2);
    std::memcpy(&first, item.creationData + 2, 2);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(first, 0xBEEF);
}

TEST(DialogTemplate, MalformedTemplatesFailWithTheirCode) {
    struct Row {
        const char* what;
        std::vector<WORD> words;
        TemplateError expected;
    };
    std::vector<WORD> badVersion = ExTemplateWithCreationData();
    badVersion[0] = 2;
    std::vector<WORD> openTitle = ExTemplateWithCreationData();
    openTitle.resize(17);  // "T" with no terminator and nothing after it
    std::vector<WORD> creationPastEnd = ExTemplateWithCreationData();
    creationPastEnd[creationPastEnd.size() - 3] = 200;  // 200 bytes promised, 4 there
    std::vector<WORD> manyItems = ExTemplateWithCreationData();
    manyItems[8] = 0xFFFF;
    std::vector<WORD> unterminatedFace = {
        0x0040, 0x8000,  // style: WS_POPUP | DS_SETFONT
        0, 0,            // extended style
        0,               // no items
        0, 0, 10, 10,    // x, y, cx, cy
        0, 0, 0,         // no menu, class or title
        8, 'A', 'B',     // point size, face "AB" without its terminator
    };
    const Row rows[] = {
        {"version 2", badVersion, TemplateError::kBadVersion},
        {"title without terminator", openTitle, TemplateError::kBadString},
        {"creation data past the end", creationPastEnd, TemplateError::kTruncated},
        {"65535 items in a few bytes", manyItems, TemplateError::kTruncated},
        {"face name without terminator", unterminatedFace, TemplateError::kBadString},
        {"empty", {}, TemplateError::kTruncated},
    };
    for (const Row& row : rows) {
        std::unique_ptr<WORD[]> copy(new WORD[row.words.size() + 1]);
        if (!row.words.empty()) std::memcpy(copy.get(), row.words.data(), row.words.size() * 2);
        DialogTemplate t;
        EXPECT_EQ(ParseDialogTemplate(copy.get(), row.words.size() * 2, &t), row.expected) << row.what;
        EXPECT_NE(std::string(gwes::TemplateErrorText(row.expected)), "");
    }
}

// The string table that sits in the same script as the dialogs.
TEST(DialogTemplate, StringsBesideTheDialogs) {
    HMODULE self = GetModuleHandleW(nullptr);
    WCHAR text[64];
    ASSERT_GT(LoadStringW(self, IDS_DLG_FIRST, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"Dialog strings");
    ASSERT_GT(LoadStringW(self, IDS_DLG_SECOND, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"Second \"quoted\" string");
}

}  // namespace
