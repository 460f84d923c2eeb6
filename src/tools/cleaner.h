// The cleaner: empties up to three folders the user chose, on request
// (command 17314, after a question) or at every exit (without one). It stays
// inside the folders it names: it never follows a link (a link is removed
// itself, its target stays), never descends into a mount point or a folder
// in read-only memory, refuses folder texts that name the device, a mount
// point, "\Windows" or read-only memory, walks with its own stack and never
// builds a path longer than a device path may be (such an item stays and is
// reported). Every run is summed up in "\Windows\Cleaner.log" (cleaner_log.h)
// without the names of what it deleted. Main thread only.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class ViewerHost;
struct SettingsBlock;

// Why a folder text is not cleaned at all.
enum class CleanRefusal {
    kNone,            // cleaned
    kEmpty,           // no text: it would name the whole device
    kDeviceRoot,      // "\"
    kMountPoint,      // "\Storage Card", "\Program Files", the program's folder
    kWindows,         // "\Windows", where the settings live
    kReadOnlyMemory,  // a folder of the device itself (FILE_ATTRIBUTE_INROM)
    kLink,            // a link: its target is not the folder named
    kNotFound,        // nothing, or no folder, of that name
    kTooLong,         // no room left for the names inside it
};

// Errors of items the cleaner leaves on purpose, beside the Win32 codes of
// failed calls (bit 29: the application's own codes).
constexpr DWORD kCleanErrorReadOnlyMemory = 0x20000001;
constexpr DWORD kCleanErrorMountPoint = 0x20000002;
constexpr DWORD kCleanErrorPathTooLong = 0x20000003;

// An item the cleaner could not delete: its device path (cut with "..." when
// it would be longer than a path may be) and why.
struct CleanFailure {
    std::u16string item;
    DWORD error = 0;
};

// What cleaning one folder did.
struct CleanedFolder {
    std::u16string folder;  // as the settings hold it
    CleanRefusal refusal = CleanRefusal::kNone;
    DWORD files = 0;    // files and links deleted
    DWORD folders = 0;  // subfolders removed
    ULONGLONG bytes = 0;
    DWORD failures = 0;
};

// What a whole run did.
struct CleanReport {
    static constexpr size_t kShownFailures = 5;
    std::vector<CleanedFolder> folders;
    std::vector<CleanFailure> firstFailures;  // at most kShownFailures
    DWORD failures = 0;                       // of every folder
    std::map<DWORD, DWORD> failuresByError;   // error -> count

    // Nothing failed and no folder was refused.
    bool Complete() const;
    void AddFailure(const std::u16string& item, DWORD error, CleanedFolder* folder);
};

// Checks a folder text; on kNone *folder holds it normalised ("\A\B":
// separators unified, "." and ".." applied, no trailing "\"), the form the
// walk uses.
CleanRefusal CheckCleanerFolder(LPCWSTR text, std::u16string* folder);

// Deletes everything inside `folder` (normalised, already checked) and keeps
// the folder itself; adds what it did to `result` and `report`.
void CleanFolder(const std::u16string& folder, CleanedFolder* result, CleanReport* report);

// Cleans the checked folders of `settings` (refused ones are reported as
// such) and appends the run to the log.
CleanReport CleanCheckedFolders(const SettingsBlock& settings, bool atExit);

// The texts the user sees.
// The question of command 17314, the checked folders that are not refused
// numbered from 1; empty when there is none.
std::u16string CleanerQuestion(const SettingsBlock& settings);
// One line per refused folder naming it and the reason; empty when none.
std::u16string RefusalText(const SettingsBlock& settings);
// "Clean complete" or the failures, then a line per folder.
std::u16string ReportText(const CleanReport& report);
// The reason of a failure or a refusal, in a few words.
std::u16string FailureReason(DWORD error);
std::u16string RefusalReason(CleanRefusal refusal);

// Command 17314: asks, cleans, drops the album's entries whose files went
// and shows the report.
void RunCleaner(ViewerHost* frame);
// Last step of the shutdown: with "CleanerAutoOnExit" set, cleans the checked
// folders without asking; the log is the only report.
void CleanOnExit(const SettingsBlock& settings);
