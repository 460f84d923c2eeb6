// The Options sheet's pages and the comparison that follows its OK.
#include "app/options_sheet.h"

#include "app/colour_palette.h"
#include "app/utility_hooks.h"
#include "res/resource.h"

namespace {

constexpr UINT kLandscapeStrings[] = {IDS_OPT_PORTRAIT, IDS_OPT_LANDSCAPE, IDS_OPT_AUTO_LANDSCAPE};
constexpr UINT kDirectionStrings[] = {IDS_OPT_SLIDE_FORWARD, IDS_OPT_SLIDE_REVERSE,
                                      IDS_OPT_SLIDE_RANDOM};
constexpr UINT kPositionStrings[] = {IDS_OPT_THUMBS_TOP, IDS_OPT_THUMBS_LEFT, IDS_OPT_THUMBS_BOTTOM,
                                     IDS_OPT_THUMBS_RIGHT};

// The check boxes of each page and the value each one edits.
struct CheckValue {
    int id;
    DWORD SettingsBlock::*field;
};
constexpr CheckValue kGeneralChecks[] = {
    {IDC_AUTO_ZOOM_TO_FIT, &SettingsBlock::autoZoomToFit},
    {IDC_NOT_LOAD_IN_BKG, &SettingsBlock::notLoadInBkg},
    {IDC_NOT_CACHE_IMAGE, &SettingsBlock::notCacheImage},
    {IDC_IPAQ_OPTIMIZATION, &SettingsBlock::iPaqOptimization},
    {IDC_LOAD_REDUCED_SIZE, &SettingsBlock::loadInReducedSize},
};
constexpr CheckValue kSlidesChecks[] = {
    {IDC_SLIDE_REPEAT, &SettingsBlock::slideRepeat},
    {IDC_SLIDE_FULL_SCREEN, &SettingsBlock::slideInFullScreen},
    {IDC_WND_ON_START_SLIDES, &SettingsBlock::wndOnStartSlides},
};
constexpr CheckValue kThumbnailsChecks[] = {
    {IDC_HIDE_THUMBNAILS, &SettingsBlock::prevHideBar},
    {IDC_VERT_SCROLLER, &SettingsBlock::prevVertScroller},
    {IDC_SHOW_FILE_NAME, &SettingsBlock::prevFileName},
    {IDC_SYNC_ICON, &SettingsBlock::prevSynchronice},
    {IDC_SHOW_SPLASH, &SettingsBlock::showSplashScreen},
};

template <size_t N>
const CheckValue* FindCheck(const CheckValue (&table)[N], int id) {
    for (const CheckValue& check : table) {
        if (check.id == id) return &check;
    }
    return nullptr;
}

constexpr int kHeadings[] = {IDC_OPTIONS_HEADING1, IDC_OPTIONS_HEADING2, IDC_OPTIONS_HEADING3};

}  // namespace

OptionsChanges CompareSettings(const SettingsBlock& before, const SettingsBlock& after) {
    OptionsChanges changes;
    changes.accepted = true;
    changes.reloadImages = before.iPaqOptimization != after.iPaqOptimization ||
                           before.loadInReducedSize != after.loadInReducedSize;
    changes.background = before.bkgColor != after.bkgColor;
    changes.landscape = before.landscapeMode != after.landscapeMode;
    changes.thumbnails = before.prevPosition != after.prevPosition ||
                         before.prevVertScroller != after.prevVertScroller ||
                         before.prevFileName != after.prevFileName ||
                         before.prevHideBar != after.prevHideBar;
    return changes;
}

// ---- OptionsPage ----

LRESULT OptionsPage::OnInitDialog() {
    DialogBase::OnInitDialog();
    for (int id : kHeadings) {
        if (GetDlgItem(hwnd_, id)) MakeBold(id);
    }
    return 1;
}

bool OptionsPage::OnCommand(WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam), code = HIWORD(wParam);
    // The sheet's OK and Cancel: the page stays until the sheet closes it.
    if (id == IDOK) {
        OnApply();
        return true;
    }
    if (id == IDCANCEL) return true;
    return OnPageCommand(id, code);
}

void OptionsPage::ShowCheck(int id, DWORD value) {
    CheckDlgButton(hwnd_, id, value ? BST_CHECKED : BST_UNCHECKED);
}

DWORD OptionsPage::Checked(int id) const {
    return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED ? 1 : 0;
}

void OptionsPage::FillCombo(int id, const UINT* strings, int count, DWORD value) {
    HWND combo = GetDlgItem(hwnd_, id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) {
        WCHAR text[64];
        LoadResString(strings[i], instance_, text, 64);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(combo, CB_SETCURSEL, value < static_cast<DWORD>(count) ? value : 0, 0);
}

// ---- General ----

GeneralPage::GeneralPage(SettingsBlock* copy)
    : OptionsPage(kTemplateId, copy), colour_(copy->bkgColor) {}

LRESULT GeneralPage::OnInitDialog() {
    OptionsPage::OnInitDialog();
    for (const CheckValue& check : kGeneralChecks) ShowCheck(check.id, copy_->*check.field);
    FillCombo(IDC_LANDSCAPE_MODE, kLandscapeStrings, 3, copy_->landscapeMode);
    return 1;
}

bool GeneralPage::OnPageCommand(int id, int code) {
    if (const CheckValue* check = FindCheck(kGeneralChecks, id)) {
        if (code == BN_CLICKED) copy_->*check->field = Checked(id);
        return true;
    }
    if (id == IDC_LANDSCAPE_MODE) {
        if (code == CBN_SELCHANGE) {
            LRESULT selected = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
            if (selected >= 0 && selected <= 2) copy_->landscapeMode = static_cast<DWORD>(selected);
        }
        return true;
    }
    if (id == IDC_BKG_COLOR && code == BN_CLICKED) {
        HWND button = GetDlgItem(hwnd_, id);
        if (ColourPalette::Pick(hwnd_, button, true, &colour_)) {
            // The picked colour shows at once; it reaches the copy with OK.
            InvalidateRect(button, nullptr, FALSE);
            UpdateWindow(button);
        }
        return true;
    }
    return false;
}

void GeneralPage::OnApply() {
    copy_->bkgColor = colour_;
}

LRESULT GeneralPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam == IDC_BKG_COLOR) {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        HBRUSH brush = CreateSolidBrush(colour_);
        HGDIOBJ oldBrush = SelectObject(item->hDC, brush);
        HGDIOBJ oldPen = SelectObject(item->hDC, GetStockObject(BLACK_PEN));
        const RECT& r = item->rcItem;
        Rectangle(item->hDC, r.left, r.top, r.right, r.bottom);
        SelectObject(item->hDC, oldPen);
        SelectObject(item->hDC, oldBrush);
        DeleteObject(brush);
        if (item->itemState & ODS_FOCUS) {
            RECT focus = {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
            DrawFocusRect(item->hDC, &focus);
        }
        return 1;
    }
    return OptionsPage::WindowProc(message, wParam, lParam);
}

// ---- Slides ----

LRESULT SlidesPage::OnInitDialog() {
    OptionsPage::OnInitDialog();
    filling_ = true;
    FillCombo(IDC_SLIDE_DIRECTION, kDirectionStrings, 3, copy_->slideDirection);
    SetDlgItemInt(hwnd_, IDC_SLIDE_DELAY, copy_->slideDelay, FALSE);
    SetDlgItemInt(hwnd_, IDC_HTTP_PRELOAD, copy_->httpPreload, FALSE);
    for (const CheckValue& check : kSlidesChecks) ShowCheck(check.id, copy_->*check.field);
    filling_ = false;
    return 1;
}

bool SlidesPage::OnPageCommand(int id, int code) {
    if (const CheckValue* check = FindCheck(kSlidesChecks, id)) {
        if (code == BN_CLICKED) copy_->*check->field = Checked(id);
        return true;
    }
    switch (id) {
        case IDC_SLIDE_DIRECTION:
            if (code == CBN_SELCHANGE) {
                LRESULT selected = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
                if (selected >= 0 && selected <= 2)
                    copy_->slideDirection = static_cast<DWORD>(selected);
            }
            return true;
        case IDC_SLIDE_DELAY:
            if (code == EN_CHANGE && !filling_) {
                // A delay of 0 would stop the show on the first picture.
                UINT delay = GetDlgItemInt(hwnd_, id, nullptr, FALSE);
                copy_->slideDelay = delay ? delay : 1;
            }
            return true;
        case IDC_HTTP_PRELOAD:
            if (code == EN_CHANGE && !filling_) {
                // The running download takes the new preload at once, even if
                // the sheet is cancelled afterwards.
                DWORD preload = ClampHttpPreload(GetDlgItemInt(hwnd_, id, nullptr, FALSE));
                copy_->httpPreload = preload;
                SetHttpPreload(preload);
            }
            return true;
        default:
            return false;
    }
}

// ---- Thumbnails ----

LRESULT ThumbnailsPage::OnInitDialog() {
    OptionsPage::OnInitDialog();
    for (const CheckValue& check : kThumbnailsChecks) ShowCheck(check.id, copy_->*check.field);
    FillCombo(IDC_THUMB_POSITION, kPositionStrings, 4, copy_->prevPosition);
    EnableThumbnailChoices();
    return 1;
}

void ThumbnailsPage::EnableThumbnailChoices() {
    BOOL shown = Checked(IDC_HIDE_THUMBNAILS) ? FALSE : TRUE;
    for (int id : {IDC_VERT_SCROLLER, IDC_SHOW_FILE_NAME, IDC_SYNC_ICON, IDC_THUMB_POSITION}) {
        EnableWindow(GetDlgItem(hwnd_, id), shown);
    }
}

bool ThumbnailsPage::OnPageCommand(int id, int code) {
    if (const CheckValue* check = FindCheck(kThumbnailsChecks, id)) {
        if (code == BN_CLICKED) {
            copy_->*check->field = Checked(id);
            if (id == IDC_HIDE_THUMBNAILS) EnableThumbnailChoices();
        }
        return true;
    }
    if (id == IDC_THUMB_POSITION) {
        if (code == CBN_SELCHANGE) {
            LRESULT selected = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
            if (selected >= 0 && selected <= 3) copy_->prevPosition = static_cast<DWORD>(selected);
        }
        return true;
    }
    return false;
}

// ---- The sheet ----

OptionsSheet::OptionsSheet(HWND owner, SettingsBlock* settings, const RecentAddresses* recent)
    : owner_(owner), settings_(settings), recent_(recent), copy_(*settings) {}

void OptionsSheet::AddPage(std::unique_ptr<OptionsPage> page) {
    if (page) extra_.push_back(std::move(page));
}

OptionsChanges OptionsSheet::Run(unsigned pages) {
    copy_ = *settings_;
    GeneralPage general(&copy_);
    SlidesPage slides(&copy_);
    ThumbnailsPage thumbnails(&copy_);
    PropertySheetSpec sheet;
    sheet.captionId = kCaptionId;
    sheet.parent = owner_;
    sheet.instance = AppInstance();
    if (pages & kGeneral) sheet.pages.push_back({GeneralPage::kTemplateId, &general});
    if (pages & kSlides) sheet.pages.push_back({SlidesPage::kTemplateId, &slides});
    if (pages & kThumbnails) sheet.pages.push_back({ThumbnailsPage::kTemplateId, &thumbnails});
    // Then the pages of other subsystems (Associations, Cleaner).
    for (auto& page : extra_) sheet.pages.push_back({page->TemplateId(), page.get()});
    if (!RunPropertySheet(sheet)) return OptionsChanges{};

    OptionsChanges changes = CompareSettings(*settings_, copy_);
    *settings_ = copy_;
    RecentAddresses none = {};
    SaveSettings(*settings_, recent_ ? *recent_ : none);
    return changes;
}

OptionsChanges RunOptionsSheet(HWND owner, SettingsBlock* settings, const RecentAddresses* recent) {
    OptionsSheet sheet(owner, settings, recent);
    // The utilities' pages (Associations, Cleaner), when the program has them.
    if (CurrentUtilityHooks().addOptionsPages) CurrentUtilityHooks().addOptionsPages(&sheet);
    return sheet.Run(OptionsSheet::kAll);
}

OptionsChanges RunSlideOptions(HWND owner, SettingsBlock* settings, const RecentAddresses* recent) {
    OptionsSheet sheet(owner, settings, recent);
    return sheet.Run(OptionsSheet::kSlides);
}
