// The Cleaner page of the Options sheet (dialog 21150): three folders, each
// with the box that has it cleaned (its edit is enabled only while checked;
// every change is stored in the sheet's copy, up to 259 characters), and the
// run at every exit, which warns when it is turned on.
#pragma once

#include <memory>

#include "app/options_sheet.h"

class CleanerPage : public OptionsPage {
public:
    static constexpr int kTemplateId = 21150;
    explicit CleanerPage(SettingsBlock* copy) : OptionsPage(kTemplateId, copy) {}
    LRESULT OnInitDialog() override;

protected:
    bool OnPageCommand(int id, int code) override;

private:
    void EnableFolder(int index);
    bool filling_ = false;  // the edits are being filled, not typed in
};

// Adds the page to a sheet (the utilities' Options hook).
void AddCleanerPage(OptionsSheet* sheet);
