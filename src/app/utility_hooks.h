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
};

void SetUtilityHooks(const UtilityHooks& hooks);
const UtilityHooks& CurrentUtilityHooks();
