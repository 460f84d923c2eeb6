// The Associations page of the Options sheet: a viewer, the formats it may
// take (albums and each row of the image library, plug-ins included) and
// the Associate button that gives the checked formats to that viewer.
// Nothing on the page is a setting: it acts at once.
#pragma once

#include <string>
#include <vector>

#include "app/options_sheet.h"

class AssociationsPage : public OptionsPage {
public:
    static constexpr int kTemplateId = 21100;
    explicit AssociationsPage(SettingsBlock* copy) : OptionsPage(kTemplateId, copy) {}
    LRESULT OnInitDialog() override;

    // The report of one Associate: what was given and what could not be.
    static std::u16string AssociationReport(int viewer, const std::vector<std::u16string>& given,
                                            const std::vector<std::u16string>& refused,
                                            HINSTANCE instance);

protected:
    bool OnPageCommand(int id, int code) override;

private:
    void EnableForViewer();
    void EnableAssociate();
    void Associate();
    int Viewer() const;
};
