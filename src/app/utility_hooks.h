// The utilities (src/tools) sit above the application shell: the main frame
// reaches them through these hooks, which the program installs before the
// viewer starts. A command whose hook is empty stays greyed.
#pragma once

#include <windows.h>

class OptionsSheet;
class ViewerHost;
struct SettingsBlock;

struct UtilityHooks {
    void (*showSystemInfo)(HWND owner) = nullptr;
    // Command 17314: asks, empties the checked cleaner folders and reports.
    void (*runCleaner)(ViewerHost* frame) = nullptr;
    // The last step of the shutdown: the cleaner's run at exit, which itself
    // looks at "CleanerAutoOnExit" and the checked folders.
    void (*cleanOnExit)(const SettingsBlock& settings) = nullptr;
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
