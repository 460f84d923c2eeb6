// The "Patient Info" sheet read back from the real sheet on the headless
// screen: for each fixture the nine Patient fields and the All rows (the
// indented name and the value, in file order), with patient data hidden and
// shown, the search field, the refusal of other files and files that cannot
// be opened. The row texts are checked once more without the sheet for the
// character sets.
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <utility>
#include <vector>

#include "album/image_album.h"
#include "app/shell_helpers.h"
#include "dialog_fixture.h"
#include "res/resource.h"
#include "view/dicom_info_sheet.h"

namespace {

using namespace dialog_test;

constexpr const char16_t* kSheetCaption = u"Patient Info";

struct Row {
    std::u16string name;  // as the list shows it, indentation included
    std::u16string value;
};

// What the sheet shows for one file.
struct SheetCase {
    const char* file;
    // Name, Sex, Issuer, ID, Birth Date, History, Address, Region, Country.
    std::vector<std::u16string> patient;
    std::vector<Row> rows;              // appear in this order (others between)
    std::vector<std::u16string> absentTags;
    bool empty = false;                 // no rows at all
};

const std::u16string kLongAddress = u"1 Long Street, Flat 22, Some Town, Some County, Some Country, 1";

const SheetCase kCases[] = {
    {"info_explicit.dcm",
     {u"DOE^JOHN  ", u"M ", u"", u"ID42", u"02/01/1970", u"None", kLongAddress, u"", u""},
     {{u"   Specific Character Set", u"ISO_IR 100"},
      {u"   Study Date", u"15/03/2024"},
      {u"   Study Time", u"101530.123456 "},
      {u"   Acquisition Time", u"10:15:30"},
      {u"   Simple Frame List", u"4294967295"},
      {u"Patient Group", u""},
      {u"   Patient's Name", u"DOE^JOHN  "},
      {u"   Patient's Birth Date", u"02/01/1970"},
      {u"   Other Patient IDs Sequence", u""},
      {u"   Item", u""},
      {u"   Patient's ID", u"OTHER7"},
      {u"   Issuer of Patient ID", u"HOSP2 "},
      {u"   Patient's Address", kLongAddress},
      {u"   Pixel Intensity Relationship Sign", u"-1"}},
     {u"(0009,0010)", u"(0002,0001)", u"(7FE0,0010)"}},
    {"info_dcmtk.dcm",
     {u"DOE^JOHN", u"M ", u"", u"ID42", u"02/01/1970", u"None", kLongAddress, u"WEST", u"NORWAY"},
     {{u"   Patient's Name", u"DOE^JOHN"}, {u"   Country of Residence", u"NORWAY"},
      {u"   Region of Residence", u"WEST"}},
     {u"(0009,0010)"}},
    {"info_implicit.dcm",
     {u"ROE^JANE", u"", u"TOP ", u"", u"", u"", u"", u"", u""},
     {{u"   Issuer of Patient ID", u"TOP "}, {u"   Issuer of Patient ID", u"NESTED"},
      {u"   Rows", u"512"}, {u"   Columns", u"2"}},
     {}},
    {"info_utf8.dcm",
     {u"M\u00FCller^J\u00FCrgen ", u"", u"", u"", u"", u"", std::u16string(62, u'A'), u"",
      u"Bad\uFFFD\uFFFDName "},
     {{u"   Patient's Name", u"M\u00FCller^J\u00FCrgen "},
      {u"   Country of Residence", u"Bad\uFFFD\uFFFDName "}},
     {}},
    {"info_truncated.dcm",
     {u"DOE^JOHN  ", u"", u"", u"ID42", u"", u"", u"", u"", u""},
     {{u"   Patient's Name", u"DOE^JOHN  "}, {u"   Patient's ID", u"ID42"}},
     {u"(0010,0030)"}},
    {"info_text.dcm", {u"", u"", u"", u"", u"", u"", u"", u"", u""}, {}, {}, true},
};

HWND Sheet() { return FindWindowW(nullptr, kSheetCaption); }
HWND Page() {
    HWND sheet = Sheet();
    return sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
}
std::u16string Text(HWND dialog, int id) {
    WCHAR text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

struct ListRow {
    std::u16string name, value, tag;
};
std::vector<ListRow> ReadList(HWND page) {
    std::vector<ListRow> rows;
    HWND list = GetDlgItem(page, IDC_DICOM_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        std::u16string* columns[] = {&row.name, &row.value, &row.tag};
        for (int c = 0; c < 3; ++c) {
            WCHAR text[256] = {};
            ListView_GetItemText(list, i, c, text, 256);
            *columns[c] = text;
        }
        rows.push_back(row);
    }
    return rows;
}

class DicomInfoSheetTest : public DialogTest {
protected:
    // Opens the sheet for a fixture; `steps` run while it is up, then the
    // sheet is closed with OK.
    bool Show(const std::u16string& path, std::vector<Step> steps) {
        ImageAlbum album;
        album.Append(path.c_str());
        album.current = 0;
        steps.insert(steps.begin(), [] { return Page() != nullptr && IsWindowVisible(Page()); });
        steps.push_back([] {
            PropSheet_PressButton(Sheet(), PSBTN_OK);
            return true;
        });
        return Drive(steps, [&] { return ShowDicomInfo(&album, 0, owner_); });
    }
    static Step ShowPage(int index) {
        return [index] {
            PropSheet_SetCurSel(Sheet(), nullptr, index);
            return true;
        };
    }
    static Step WaitForList() {
        return [] { return Page() && GetDlgItem(Page(), IDC_DICOM_LIST) != nullptr; };
    }
};

TEST_F(DicomInfoSheetTest, EachFixtureShowsItsPatientFieldsAndRows) {
    for (const SheetCase& c : kCases) {
        SCOPED_TRACE(c.file);
        std::vector<std::u16string> fields;
        std::vector<ListRow> rows;
        EXPECT_TRUE(Show(Fixtures().Device(c.file),
                         {Check([&] {
                              for (const PatientField& f : kPatientFields) {
                                  fields.push_back(Text(Page(), f.controlId));
                              }
                          }),
                          ShowPage(1), WaitForList(), Check([&] { rows = ReadList(Page()); })}));
        EXPECT_EQ(fields, c.patient);
        if (c.empty) {
            EXPECT_TRUE(rows.empty());
        }
        size_t at = 0;
        for (const Row& expected : c.rows) {
            while (at < rows.size() &&
                   !(rows[at].name == expected.name && rows[at].value == expected.value)) {
                ++at;
            }
            EXPECT_LT(at, rows.size()) << "row not found in order: "
                                       << platform::Utf16ToUtf8(expected.name) << " = "
                                       << platform::Utf16ToUtf8(expected.value);
            if (at < rows.size()) ++at;
        }
        for (const std::u16string& tag : c.absentTags) {
            for (const ListRow& row : rows) EXPECT_NE(row.tag, tag);
        }
    }
}

TEST_F(DicomInfoSheetTest, HidingPatientDataCoversTheIdentifyingValuesAndIsKept) {
    SetHidePatientData(false);
    std::vector<std::u16string> before, after;
    std::vector<ListRow> rows;
    Show(Fixtures().Device("info_explicit.dcm"),
         {Check([&] {
              for (const PatientField& f : kPatientFields) before.push_back(Text(Page(), f.controlId));
              EXPECT_EQ(IsDlgButtonChecked(Page(), IDC_PATIENT_HIDE), BST_UNCHECKED);
              CheckDlgButton(Page(), IDC_PATIENT_HIDE, BST_CHECKED);
              SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_PATIENT_HIDE, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(Page(), IDC_PATIENT_HIDE)));
              for (const PatientField& f : kPatientFields) after.push_back(Text(Page(), f.controlId));
          }),
          ShowPage(1), WaitForList(), Check([&] { rows = ReadList(Page()); })});
    EXPECT_EQ(before[0], u"DOE^JOHN  ");
    const std::vector<std::u16string> hidden = {u"(hidden)", u"(hidden)", u"", u"(hidden)",
                                                u"(hidden)", u"(hidden)", u"(hidden)", u"", u""};
    EXPECT_EQ(after, hidden);
    for (const ListRow& row : rows) {
        if (row.tag == u"(0010,0010)" || row.tag == u"(0010,0020)" || row.tag == u"(0010,0030)" ||
            row.tag == u"(0010,0021)") {
            EXPECT_EQ(row.value, u"(hidden)") << platform::Utf16ToUtf8(row.name);
        }
        if (row.tag == u"(0008,0020)") {
            EXPECT_EQ(row.value, u"15/03/2024");
        }
    }
    EXPECT_TRUE(HidePatientData());
    // The next opening starts hidden.
    std::u16string name;
    Show(Fixtures().Device("info_explicit.dcm"), {Check([&] {
             name = Text(Page(), IDC_PATIENT_NAME);
             EXPECT_EQ(IsDlgButtonChecked(Page(), IDC_PATIENT_HIDE), BST_CHECKED);
         })});
    EXPECT_EQ(name, u"(hidden)");
    SetHidePatientData(false);
}

TEST_F(DicomInfoSheetTest, TheSearchFieldKeepsRowsByNameTagOrValueInAnyCase) {
    struct Search {
        const char16_t* text;
        std::vector<std::u16string> tags;  // the rows left, in order
    };
    const Search searches[] = {
        {u"birth", {u"(0010,0030)"}},
        {u"(0010,0021)", {u"(0010,0021)"}},
        {u"hosp2", {u"(0010,0021)"}},
        {u"4294967295", {u"(0008,1161)"}},
        {u"no such text", {}},
    };
    for (const Search& s : searches) {
        SCOPED_TRACE(platform::Utf16ToUtf8(s.text));
        std::vector<ListRow> rows;
        Show(Fixtures().Device("info_explicit.dcm"),
             {ShowPage(1), WaitForList(), Check([&] {
                  SetDlgItemTextW(Page(), IDC_DICOM_FILTER, s.text);
                  SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_DICOM_FILTER, EN_CHANGE),
                               reinterpret_cast<LPARAM>(GetDlgItem(Page(), IDC_DICOM_FILTER)));
                  rows = ReadList(Page());
              })});
        std::vector<std::u16string> tags;
        for (const ListRow& row : rows) tags.push_back(row.tag);
        EXPECT_EQ(tags, s.tags);
    }
}

TEST_F(DicomInfoSheetTest, OtherFilesGetTheMessageAndUnopenableFilesNothing) {
    ImageAlbum album;
    album.Append(Fixtures().Device("photo.jpg").c_str());
    album.current = 0;
    std::u16string shown;
    const bool result = Drive(
        {WaitForWindow(u"ERROR"), Check([&] {
             EnumChildWindows(
                 FindWindowW(nullptr, u"ERROR"),
                 [](HWND child, LPARAM p) {
                     WCHAR text[256] = {};
                     GetWindowTextW(child, text, 256);
                     *reinterpret_cast<std::u16string*>(p) += text;
                     return TRUE;
                 },
                 reinterpret_cast<LPARAM>(&shown));
         }),
         End(u"ERROR", IDOK)},
        [&] { return ShowDicomInfo(&album, 0, owner_); });
    EXPECT_FALSE(result);
    EXPECT_NE(shown.find(u"Only DICOM format contain patient information."), std::u16string::npos)
        << platform::Utf16ToUtf8(shown);

    ImageAlbum missing;
    missing.Append(Fixtures().Device("no_such_file.dcm").c_str());
    missing.current = 0;
    EXPECT_FALSE(Drive({}, [&] { return ShowDicomInfo(&missing, 0, owner_); }));
    EXPECT_EQ(Sheet(), nullptr);
}

// The row texts without the sheet: character sets and the 64-byte records.
TEST(DicomInfoTextTest, TextsConvertByTheirCharacterSet) {
    struct Case {
        const char* bytes;
        bool utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"DOE^JOHN ", false, u"DOE^JOHN "},
        {"M\xfcller", false, u"M\u00FCller"},                 // Windows-1252
        {"\x80uro", false, u"\u20ACuro"},                      // 0x80 is the euro sign there
        {"M\xc3\xbcller", true, u"M\u00FCller"},
        {"Bad\xff\xfe", true, u"Bad\uFFFD\uFFFD"},
        {"\xc3", true, u"\uFFFD"},                             // a cut sequence
        {"\xe2\x82", true, u"\uFFFD\uFFFD"},
        {"\xc0\xaf", true, u"\uFFFD\uFFFD"},                   // an overlong form
        {"\xf0\x9f\x98\x80", true, u"\U0001F600"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DicomTextToWide(c.bytes, c.utf8), c.expected) << c.bytes;
    }
    struct Trim {
        std::string in, out;
    };
    const Trim trims[] = {
        {std::string(62, 'A') + "\xc3", std::string(62, 'A')},
        {std::string(61, 'A') + "\xe2\x82", std::string(61, 'A')},
        {std::string(60, 'A') + "\xe2\x82\xac", std::string(60, 'A') + "\xe2\x82\xac"},
        {std::string(63, 'A'), std::string(63, 'A')},
    };
    for (const Trim& t : trims) {
        std::string text = t.in;
        TrimToUtf8Boundary(text.data());
        EXPECT_EQ(std::string(text.c_str()), t.out);
    }
}

}  // namespace
