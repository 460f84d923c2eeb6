// The utilities of the main window: the file chooser, system information,
// the cleaner, file associations and the external display outputs. Installing
// them gives the main frame their hooks (app/utility_hooks.h) and the chooser.
#pragma once

void InstallUtilities();
