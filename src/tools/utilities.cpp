#include "tools/utilities.h"

#include <memory>

#include "app/file_chooser.h"
#include "app/main_frame.h"
#include "app/options_sheet.h"
#include "app/utility_hooks.h"
#include "tools/associations_page.h"
#include "tools/file_dialog.h"
#include "tools/vga_output.h"

namespace {

// The sheet's pages after the shell's own, in their order.
void AddOptionsPages(OptionsSheet* sheet) {
    sheet->AddPage(std::make_unique<AssociationsPage>(sheet->Copy()));
}

}  // namespace

void InstallUtilities() {
    UtilityHooks hooks;
    hooks.addOptionsPages = AddOptionsPages;
    hooks.externalOutputCommand = RunExternalOutputCommand;
    hooks.releaseExternalOutputs = ReleaseExternalOutputs;
    SetUtilityHooks(hooks);
    SetFileChooser(ShowFileDialog);
}
