// The control gallery: one dialog holding every kind of control the layer
// draws, each in a typical state, on the whole screen. Its picture was
// checked by eye once and is kept in reference/control_gallery.png; any
// change to how a control is drawn shows up as a pixel difference here.
// After an intended change, look at the new picture (kept in the temporary
// folder and named in the failure) and, when it is right, copy it over the
// reference, or run the test with KESTRAVA_UPDATE_REFERENCE=1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "commctrl.h"
#include "gallery_ids.h"
#include "gwes_fixture.h"
#include "platform/display.h"

namespace {

const std::string kReference = std::string(KESTRAVA_UI_TEST_DIR) + "/reference/control_gallery.png";

void FillControls(HWND dialog) {
    auto item = [dialog](int id) { return GetDlgItem(dialog, id); };
    CheckDlgButton(dialog, IDC_GAL_CHECK, BST_CHECKED);
    CheckRadioButton(dialog, IDC_GAL_ONE, IDC_GAL_TWO, IDC_GAL_TWO);
    SetDlgItemTextW(dialog, IDC_GAL_EDIT, u"Text");
    SetDlgItemTextW(dialog, IDC_GAL_READONLY, u"Read-only");
    SetDlgItemTextW(dialog, IDC_GAL_MULTI, u"Lines that wrap at the edge");
    SetDlgItemInt(dialog, IDC_GAL_NUMBER, 123, FALSE);

    for (const WCHAR* text : {u"Axial", u"Coronal", u"Sagittal", u"Oblique"}) {
        SendDlgItemMessageW(dialog, IDC_GAL_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendDlgItemMessageW(dialog, IDC_GAL_LIST, LB_SETCURSEL, 1, 0);
    for (const WCHAR* text : {u"Grayscale", u"HotIron"}) {
        SendDlgItemMessageW(dialog, IDC_GAL_DROPLIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendDlgItemMessageW(dialog, IDC_GAL_DROPDOWN, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendDlgItemMessageW(dialog, IDC_GAL_DROPLIST, CB_SETCURSEL, 1, 0);
    SetDlgItemTextW(dialog, IDC_GAL_DROPDOWN, u"Typed");

    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 30, 0};
    SetScrollInfo(item(IDC_GAL_SCROLL), SB_CTL, &si, TRUE);
    SendDlgItemMessageW(dialog, IDC_GAL_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageW(dialog, IDC_GAL_PROGRESS, PBM_SETPOS, 60, 0);
    SendDlgItemMessageW(dialog, IDC_GAL_TRACK, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    SendDlgItemMessageW(dialog, IDC_GAL_TRACK, TBM_SETTICFREQ, 2, 0);
    SendDlgItemMessageW(dialog, IDC_GAL_TRACK, TBM_SETPOS, TRUE, 4);

    HWND tab = item(IDC_GAL_TAB);
    const WCHAR* tabs[] = {u"General", u"Slides"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW t = {};
        t.mask = TCIF_TEXT;
        t.pszText = const_cast<WCHAR*>(tabs[i]);
        TabCtrl_InsertItem(tab, i, &t);
    }

    HWND list = item(IDC_GAL_LISTVIEW);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const WCHAR* columns[] = {u"Tag", u"Value"};
    for (int c = 0; c < 2; ++c) {
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = c == 0 ? 44 : 52;
        col.pszText = const_cast<WCHAR*>(columns[c]);
        ListView_InsertColumn(list, c, &col);
    }
    const WCHAR* rows[][2] = {{u"Rows", u"512"}, {u"Columns", u"512"}};
    for (int r = 0; r < 2; ++r) {
        LVITEMW it = {};
        it.mask = LVIF_TEXT;
        it.iItem = r;
        it.pszText = const_cast<WCHAR*>(rows[r][0]);
        ListView_InsertItem(list, &it);
        ListView_SetItemText(list, r, 1, const_cast<WCHAR*>(rows[r][1]));
    }
    ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);

    HWND tree = item(IDC_GAL_TREE);
    auto insert = [tree](HTREEITEM parent, const WCHAR* text) {
        TVINSERTSTRUCTW ins = {};
        ins.hParent = parent;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = const_cast<WCHAR*>(text);
        return TreeView_InsertItem(tree, &ins);
    };
    HTREEITEM study = insert(TVI_ROOT, u"Study");
    insert(study, u"Series 1");
    insert(study, u"Series 2");
    insert(insert(TVI_ROOT, u"Album"), u"Slides");
    TreeView_Expand(tree, study, TVE_EXPAND);
}

INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        FillControls(dialog);
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    if (message == WM_DRAWITEM) {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        RECT r = draw->rcItem;
        HBRUSH brush = CreateSolidBrush(RGB(0, 96, 160));
        FillRect(draw->hDC, &r, brush);
        DeleteObject(brush);
        SetBkMode(draw->hDC, TRANSPARENT);
        SetTextColor(draw->hDC, RGB(255, 255, 255));
        DrawTextW(draw->hDC, u"Owner", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return TRUE;
    }
    return FALSE;
}

class ControlGalleryTest : public gwes_test::WindowTest {};

TEST_F(ControlGalleryTest, EveryControlKindLooksAsTheReferencePicture) {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                  ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GALLERY), nullptr,
                                     GalleryProc, 0);
    ASSERT_NE(dialog, nullptr);
    Pump();
    UpdateWindow(dialog);
    Pump();

    const std::string actual = Host("control_gallery.png");
    ASSERT_TRUE(platform::SaveScreenshot(actual));
    const char* update = std::getenv("KESTRAVA_UPDATE_REFERENCE");
    if (update != nullptr && std::string(update) == "1") {
        std::filesystem::create_directories(std::filesystem::path(kReference).parent_path());
        std::filesystem::copy_file(actual, kReference, std::filesystem::copy_options::overwrite_existing);
        GTEST_SKIP() << "reference written: " << kReference;
    }

    int width = 0, height = 0, refWidth = 0, refHeight = 0;
    std::vector<uint8_t> pixels, reference;
    ASSERT_TRUE(platform::LoadScreenshot(actual, &width, &height, &pixels));
    ASSERT_TRUE(platform::LoadScreenshot(kReference, &refWidth, &refHeight, &reference))
        << "no reference picture at " << kReference;
    ASSERT_EQ(width, refWidth);
    ASSERT_EQ(height, refHeight);
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = (size_t(y) * width + x) * 3;
            if (pixels[i] != reference[i] || pixels[i + 1] != reference[i + 1] ||
                pixels[i + 2] != reference[i + 2]) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    if (differing != 0) {
        // Keep the picture for a look after the device root is removed.
        const std::string kept = std::filesystem::temp_directory_path() / "control_gallery.actual.png";
        std::filesystem::copy_file(actual, kept, std::filesystem::copy_options::overwrite_existing);
        ADD_FAILURE() << differing << " pixels differ from the reference, the first at (" << firstX << ", "
                      << firstY << "); the picture drawn now is " << kept;
    }
    DestroyWindow(dialog);
    Pump();
}

}  // namespace
