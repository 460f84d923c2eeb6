// The file chooser's path rules, apart from its window: where a request
// starts (folder and preset name) and what a confirmed name becomes - the
// candidate path with its default extension, or the string of the rule that
// refuses it. Paths are device paths of at most 259 characters; a longer
// candidate is refused, never cut (a cut path can name another file).
#pragma once

#include <windows.h>

#include <string>

constexpr size_t kMaxPathChars = MAX_PATH - 1;

// The folder of a path without its trailing "\" (the root stays "\"), and
// the last component (after the last "\").
std::u16string WithoutTrailingSlash(std::u16string path);
std::u16string ParentFolder(const std::u16string& path);
std::u16string LastComponent(const std::u16string& path);
// `name` inside `folder` (one "\" between them).
std::u16string JoinFolder(const std::u16string& folder, const std::u16string& name);
// The text after the last "." of a name, empty without one.
std::u16string ExtensionOfName(const std::u16string& name);
// Whether `extension` is one of a NUL-separated list ended by an empty
// entry, ignoring case.
bool ExtensionListed(LPCWSTR extensions, const std::u16string& extension);

struct ChooserStart {
    std::u16string folder;      // never ends in "\" except the root
    std::u16string presetName;  // empty when the caller gave none
};

// "\My Documents" (or "\" without it); then the request's path: an existing
// folder is the start, an existing file starts in its folder with its name
// preset, a missing name in an existing folder starts there with the name
// preset; anything else is ignored.
ChooserStart FindStartFolder(LPCWSTR requestPath);

enum class ChoiceVerdict {
    Accept,         // `path` is the answer
    Refuse,         // show string `messageId` and stay
    AskOverwrite,   // `path` exists: accept only when the user agrees
};

struct Choice {
    ChoiceVerdict verdict = ChoiceVerdict::Refuse;
    UINT messageId = 0;
    std::u16string path;
};

// String ids of the refusals.
constexpr UINT kPathNotFoundId = 416;   // "The system cannot find the path specified."
constexpr UINT kFileNotFoundId = 415;   // "The system cannot find the file specified."
constexpr UINT kNoWildcardsId = 472;    // "Wildcard (?,*) not allowed."

// Confirming `name` in `folder` under the request's flags and filter.
Choice ConfirmChoice(DWORD flags, LPCWSTR extensions, const std::u16string& folder, const std::u16string& name);
