// The utilities (src/tools) sit above the application shell: the main frame
// reaches them through these hooks, which the program installs before the
// viewer starts. A command whose hook is empty stays greyed.
#pragma once

#include <windows.h>

class OptionsSheet;

struct UtilityHooks {
    void (*showSystemInfo)(HWND owner) = nullptr;
    // Adds the utilities' pages (Associations, Cleaner) to an Options sheet.
    void (*addOptionsPages)(OptionsSheet* sheet) = nullptr;
    // The "Output to VGA" commands (Margi, Voyager, PocketPC display); true
    // when the command was one of them.
    bool (*externalOutputCommand)(UINT id) = nullptr;
    // Both external outputs black and closed (at exit).
    void (*releaseExternalOutputs)() = nullptr;
};

void SetUtilityHooks(const UtilityHooks& hooks);
const UtilityHooks& CurrentUtilityHooks();
