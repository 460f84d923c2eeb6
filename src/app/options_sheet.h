// The Options sheet (command 17020): a full-screen property sheet of pages
// that edit a copy of the settings block; OK puts the copy back, saves every
// setting and reports which changes the main window must act on. The slide
// show opens the same sheet with its Slides page only. Main thread only.
// The Associations and Cleaner pages join through OptionsSheet::AddPage.
#pragma once

#include <memory>
#include <vector>

#include "app/dialog_base.h"
#include "app/settings.h"
#include "app/shell_helpers.h"

// What an OK changed that reaches beyond the settings block. The caller acts
// on it:
//   reloadImages: iPaqOptimization or LoadInReducedSize changed -> drop every
//                 decoded image (the current one too), show "Loading..." and
//                 post MSG_NAVIGATE 3;
//   background:   BkgColor changed -> set the view's background;
//   landscape:    LandscapeMode changed -> rewrite every album entry
//                 (rotate-to-fit off; 0 -> rotation 0, 1 -> 90, 2 ->
//                 rotate-to-fit on, rotation 0) and lay out the view.
// After any OK (accepted) the thumbnail placement is applied again.
struct OptionsChanges {
    bool accepted = false;  // the sheet closed with OK; settings were saved
    bool reloadImages = false;
    bool background = false;
    bool landscape = false;
    bool thumbnails = false;  // position, scroller, names or hiding of the bar
};

// The differences between the block before and after the sheet.
OptionsChanges CompareSettings(const SettingsBlock& before, const SettingsBlock& after);

// One page of the sheet: a dialog that edits the sheet's copy as the user
// clicks. The sheet's OK reaches a page that was shown as command IDOK,
// Cancel as IDCANCEL; neither ends the page.
class OptionsPage : public DialogBase {
public:
    OptionsPage(int templateId, SettingsBlock* copy)
        : DialogBase(templateId, nullptr), copy_(copy) {}
    int TemplateId() const { return templateId_; }
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnInitDialog() override;

protected:
    // A page's own commands; true when handled.
    virtual bool OnPageCommand(int id, int code) = 0;
    virtual void OnApply() {}
    // Check box `id` shows / stores a 0 or 1 value.
    void ShowCheck(int id, DWORD value);
    DWORD Checked(int id) const;
    // Fills combo box `id` with the `count` resource strings and selects
    // item `value` (the first when out of range).
    void FillCombo(int id, const UINT* strings, int count, DWORD value);

    SettingsBlock* copy_;
};

class GeneralPage : public OptionsPage {
public:
    static constexpr int kTemplateId = 21101;
    explicit GeneralPage(SettingsBlock* copy);
    LRESULT OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    COLORREF Colour() const { return colour_; }

protected:
    bool OnPageCommand(int id, int code) override;
    void OnApply() override;  // the chosen colour goes into the copy

private:
    COLORREF colour_;
};

class SlidesPage : public OptionsPage {
public:
    static constexpr int kTemplateId = 21105;
    explicit SlidesPage(SettingsBlock* copy) : OptionsPage(kTemplateId, copy) {}
    LRESULT OnInitDialog() override;

protected:
    bool OnPageCommand(int id, int code) override;

private:
    bool filling_ = false;  // the edits are being filled, not typed in
};

class ThumbnailsPage : public OptionsPage {
public:
    static constexpr int kTemplateId = 21102;
    explicit ThumbnailsPage(SettingsBlock* copy) : OptionsPage(kTemplateId, copy) {}
    LRESULT OnInitDialog() override;

protected:
    bool OnPageCommand(int id, int code) override;

private:
    void EnableThumbnailChoices();
};

class OptionsSheet {
public:
    static constexpr UINT kCaptionId = 21337;  // "Options"
    enum Pages : unsigned { kGeneral = 1, kSlides = 2, kThumbnails = 4, kAll = 7 };

    // `recent`: the server and address lists saved with the settings (none:
    // they are left as stored).
    OptionsSheet(HWND owner, SettingsBlock* settings, const RecentAddresses* recent);
    OptionsSheet(const OptionsSheet&) = delete;
    OptionsSheet& operator=(const OptionsSheet&) = delete;

    // The copy every page edits.
    SettingsBlock* Copy() { return &copy_; }
    // A further page after the built-in ones (Associations 21100, Cleaner
    // 21150), in the order added; it edits Copy() and the sheet keeps it.
    void AddPage(std::unique_ptr<OptionsPage> page);

    // Runs the sheet with the built-in `pages` and every added page. On OK
    // the copy replaces the settings and everything is saved.
    OptionsChanges Run(unsigned pages = kAll);

private:
    HWND owner_;
    SettingsBlock* settings_;
    const RecentAddresses* recent_;
    SettingsBlock copy_;
    std::vector<std::unique_ptr<OptionsPage>> extra_;
};

// The whole sheet (command 17020).
OptionsChanges RunOptionsSheet(HWND owner, SettingsBlock* settings, const RecentAddresses* recent);
// The sheet with its Slides page only (before a slide show starts).
OptionsChanges RunSlideOptions(HWND owner, SettingsBlock* settings, const RecentAddresses* recent);
