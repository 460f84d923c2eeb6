#include "tools/utilities.h"

#include <memory>

#include "app/file_chooser.h"
#include "app/main_frame.h"
#include "app/options_sheet.h"
#include "app/utility_hooks.h"
#include "tools/associations_page.h"
#include "tools/cleaner.h"
#include "tools/cleaner_page.h"
#include "tools/file_dialog.h"
#include "tools/system_info.h"
#include "tools/vga_output.h"

namespace {

// The utilities' pages of the Options sheet, in the sheet's order.
void AddOptionsPages(OptionsSheet* sheet) {
    sheet->AddPage(std::make_unique<AssociationsPage>(sheet->Copy()));
    AddCleanerPage(sheet);
}

}  // namespace

void InstallUtilities() {
    UtilityHooks hooks;
    hooks.showSystemInfo = ShowSystemInfo;
    hooks.runCleaner = RunCleaner;
    hooks.cleanOnExit = CleanOnExit;
    hooks.addOptionsPages = AddOptionsPages;
    hooks.externalOutputCommand = RunExternalOutputCommand;
    hooks.releaseExternalOutputs = ReleaseExternalOutputs;
    SetUtilityHooks(hooks);
    SetFileChooser(ShowFileDialog);
}
