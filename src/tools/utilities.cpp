#include "tools/utilities.h"

#include "app/main_frame.h"
#include "app/utility_hooks.h"

void InstallUtilities() {
    UtilityHooks hooks;
    SetUtilityHooks(hooks);
}
