#include "tools/utilities.h"

#include "app/main_frame.h"
#include "app/utility_hooks.h"
#include "tools/cleaner.h"
#include "tools/cleaner_page.h"
#include "tools/system_info.h"

namespace {

// The utilities' pages of the Options sheet, in the sheet's order.
void AddOptionsPages(OptionsSheet* sheet) {
    AddCleanerPage(sheet);
}

}  // namespace

void InstallUtilities() {
    UtilityHooks hooks;
    hooks.showSystemInfo = ShowSystemInfo;
    hooks.runCleaner = RunCleaner;
    hooks.cleanOnExit = CleanOnExit;
    hooks.addOptionsPages = AddOptionsPages;
    SetUtilityHooks(hooks);
}
