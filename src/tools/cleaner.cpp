// The cleaner's walk, its checks of the folder texts, its texts and the two
// ways it runs (command 17314 and the exit).
#include "tools/cleaner.h"

#include <algorithm>

#include "album/image_album.h"
#include "album/thumbnail_bar.h"
#include "app/main_frame_messages.h"
#include "app/settings.h"
#include "app/viewer_host.h"
#include "tools/cleaner_log.h"
#include "view/picture_view.h"

namespace {

constexpr int kFolderCount = 3;
// The longest device path, without its terminator.
constexpr size_t kLongestPath = MAX_PATH - 1;
constexpr WCHAR kFindAll[] = u"\\*.*";

// The bits SetFileAttributesW clears before a delete; anything else the
// listing reports (DIRECTORY, TEMPORARY, ...) is not stored on the item.
constexpr DWORD kClearedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

constexpr WCHAR kQuestion[] = u"Are you sure you want to delete ALL files and ALL subfolders in\r";
constexpr WCHAR kNothingChecked[] =
    u"No folders selected to CLEAN. Please tap on File, then Options and select Cleaner. Check the "
    u"folders you want CLEANED.";
constexpr WCHAR kComplete[] = u"Clean complete";

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

WCHAR Fold(WCHAR c) { return c >= u'A' && c <= u'Z' ? WCHAR(c - u'A' + u'a') : c; }

bool SameName(const std::u16string& a, const WCHAR* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return i == a.size() && !b[i];
}

// The components of a device path with "." dropped and ".." applied the way
// the kernel applies them (".." at the root stays there).
std::vector<std::u16string> Components(LPCWSTR text) {
    std::vector<std::u16string> parts;
    std::u16string part;
    for (const WCHAR* p = text;; ++p) {
        if (*p && !IsSeparator(*p)) {
            part += *p;
            continue;
        }
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        part.clear();
        if (!*p) break;
    }
    return parts;
}

void AppendNumber(std::u16string* text, ULONGLONG value) {
    WCHAR digits[24];
    int count = 0;
    do {
        digits[count++] = WCHAR(u'0' + value % 10);
        value /= 10;
    } while (value);
    while (count) *text += digits[--count];
}

// "12 files" / "1 file".
void AppendCount(std::u16string* text, ULONGLONG value, const WCHAR* one, const WCHAR* many) {
    AppendNumber(text, value);
    *text += value == 1 ? one : many;
}

// A path for the report: whole when it fits a device path, else its start
// and its end around "...".
std::u16string ShownPath(const std::u16string& folder, const WCHAR* name) {
    std::u16string path = folder + u"\\" + name;
    if (path.size() <= kLongestPath) return path;
    constexpr size_t kHead = 120, kTail = 100;
    return path.substr(0, kHead) + u"..." + path.substr(path.size() - kTail);
}

// A folder waiting on the walk's stack: listed once, removed after
// everything inside is gone.
struct PendingFolder {
    std::u16string path;
    DWORD attributes = 0;
    size_t parent = 0;        // index of the folder holding it (itself for the top)
    bool listed = false;
    bool failedInside = false;  // something inside stays, so it will too
};

// Deletes one item found in a listing: a file or a link. True when it went.
bool DeleteItem(const std::u16string& path, const WIN32_FIND_DATAW& found, DWORD* error) {
    if (found.dwFileAttributes & kClearedAttributes) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A link to a folder goes as a folder would; neither call follows it.
    const bool folderLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folderLink ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) return true;
    *error = GetLastError();
    return false;
}

}  // namespace

bool CleanReport::Complete() const {
    if (failures) return false;
    for (const CleanedFolder& folder : folders) {
        if (folder.refusal != CleanRefusal::kNone) return false;
    }
    return true;
}

void CleanReport::AddFailure(const std::u16string& item, DWORD error, CleanedFolder* folder) {
    ++failures;
    ++failuresByError[error];
    if (folder) ++folder->failures;
    if (firstFailures.size() < kShownFailures) firstFailures.push_back({item, error});
}

namespace {

// The refusals a folder's name alone decides.
CleanRefusal NameRefusal(const std::vector<std::u16string>& parts) {
    if (parts.empty()) return CleanRefusal::kDeviceRoot;
    if (SameName(parts[0], u"Storage Card") && parts.size() == 1) return CleanRefusal::kMountPoint;
    if (SameName(parts[0], u"Program Files") &&
        (parts.size() == 1 || (parts.size() == 2 && SameName(parts[1], u"Kestrava")))) {
        return CleanRefusal::kMountPoint;
    }
    if (SameName(parts[0], u"Windows") && parts.size() == 1) return CleanRefusal::kWindows;
    return CleanRefusal::kNone;
}

}  // namespace

CleanRefusal CheckCleanerFolder(LPCWSTR text, std::u16string* folder) {
    folder->clear();
    if (!text || !*text) return CleanRefusal::kEmpty;
    const std::vector<std::u16string> parts = Components(text);
    if (const CleanRefusal refusal = NameRefusal(parts); refusal != CleanRefusal::kNone) return refusal;
    std::u16string path;
    for (const std::u16string& part : parts) path += u"\\" + part;
    // The walk adds "\*.*" to every folder it lists.
    if (path.size() + 4 > kLongestPath) return CleanRefusal::kTooLong;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return CleanRefusal::kNotFound;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return CleanRefusal::kLink;
    if (attributes & FILE_ATTRIBUTE_INROM) return CleanRefusal::kReadOnlyMemory;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return CleanRefusal::kNotFound;
    *folder = path;
    return CleanRefusal::kNone;
}

void CleanFolder(const std::u16string& folder, CleanedFolder* result, CleanReport* report) {
    // The walk's own stack: a folder is listed when it first comes to the top
    // (its files go at once, its subfolders are pushed above it) and removed
    // when it comes to the top again, everything inside it being done. The
    // depth of a tree costs memory here, never the thread's stack.
    std::vector<PendingFolder> stack;
    stack.push_back({folder, 0, 0, false, false});
    while (!stack.empty()) {
        const size_t top = stack.size() - 1;
        if (stack[top].listed) {
            PendingFolder done = std::move(stack[top]);
            stack.pop_back();
            if (top == 0) break;  // the named folder itself stays
            if (done.failedInside) {
                stack[done.parent].failedInside = true;
                continue;
            }
            if (done.attributes & kClearedAttributes) SetFileAttributesW(done.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (RemoveDirectoryW(done.path.c_str())) {
                ++result->folders;
            } else {
                report->AddFailure(done.path, GetLastError(), result);
                stack[done.parent].failedInside = true;
            }
            continue;
        }
        stack[top].listed = true;
        const std::u16string path = stack[top].path;
        if (path.size() + 4 > kLongestPath) {
            report->AddFailure(path, kCleanErrorPathTooLong, result);
            stack[stack[top].parent].failedInside = true;
            stack[top].failedInside = true;
            continue;
        }
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((path + kFindAll).c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // An empty folder is no failure.
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
                report->AddFailure(path, error, result);
                stack[top].failedInside = true;
            }
            continue;
        }
        do {
            const std::u16string shown = ShownPath(path, found.cFileName);
            auto fail = [&](DWORD error) {
                report->AddFailure(shown, error, result);
                stack[top].failedInside = true;
            };
            // Never built longer than a path may be: the item stays.
            if (path.size() + 1 + std::char_traits<WCHAR>::length(found.cFileName) > kLongestPath) {
                fail(kCleanErrorPathTooLong);
                continue;
            }
            const std::u16string child = shown;
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_INROM) {
                fail(kCleanErrorReadOnlyMemory);
            } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                DWORD error = 0;
                if (DeleteItem(child, found, &error)) ++result->files;
                else fail(error);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // Mount points show inside "\" and "\Program Files" only,
                // which are refused, but a walk never enters one anyway.
                if (NameRefusal(Components(child.c_str())) == CleanRefusal::kMountPoint) {
                    fail(kCleanErrorMountPoint);
                } else {
                    stack.push_back({child, attributes, top, false, false});
                }
            } else {
                DWORD error = 0;
                const ULONGLONG size = (ULONGLONG(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                if (DeleteItem(child, found, &error)) {
                    ++result->files;
                    result->bytes += size;
                } else {
                    fail(error);
                }
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
}

CleanReport CleanCheckedFolders(const SettingsBlock& settings, bool atExit) {
    CleanReport report;
    for (int i = 0; i < kFolderCount; ++i) {
        if (!settings.cleanerCheck[i]) continue;
        CleanedFolder result;
        result.folder = settings.cleanerFolder[i];
        std::u16string folder;
        result.refusal = CheckCleanerFolder(settings.cleanerFolder[i], &folder);
        if (result.refusal == CleanRefusal::kNone) CleanFolder(folder, &result, &report);
        report.folders.push_back(std::move(result));
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    AppendCleanerLog(CleanerLogEntry(report, atExit, now));
    return report;
}

std::u16string CleanerQuestion(const SettingsBlock& settings) {
    std::u16string text = kQuestion;
    int number = 0;
    for (int i = 0; i < kFolderCount; ++i) {
        if (!settings.cleanerCheck[i]) continue;
        // A refused folder is named in its own message, never asked about.
        std::u16string folder;
        if (CheckCleanerFolder(settings.cleanerFolder[i], &folder) != CleanRefusal::kNone) continue;
        AppendNumber(&text, ++number);
        text += u". \"";
        text += settings.cleanerFolder[i];
        text += u"\"\r";
    }
    return number ? text : std::u16string();
}

std::u16string RefusalReason(CleanRefusal refusal) {
    switch (refusal) {
    case CleanRefusal::kNone: return u"";
    case CleanRefusal::kEmpty: return u"it has no folder name, and would name the whole device";
    case CleanRefusal::kDeviceRoot: return u"it is the whole device";
    case CleanRefusal::kMountPoint: return u"it is a mount point of the device";
    case CleanRefusal::kWindows: return u"it holds the device's settings";
    case CleanRefusal::kReadOnlyMemory: return u"it is a folder of the device itself (read-only memory)";
    case CleanRefusal::kLink: return u"it is a link, and the cleaner never follows links";
    case CleanRefusal::kNotFound: return u"no such folder";
    case CleanRefusal::kTooLong: return u"its path leaves no room for the names inside it";
    }
    return u"";
}

std::u16string FailureReason(DWORD error) {
    switch (error) {
    case kCleanErrorReadOnlyMemory: return u"a folder of the device itself";
    case kCleanErrorMountPoint: return u"a mount point";
    case kCleanErrorPathTooLong: return u"path longer than 259 characters";
    case ERROR_SHARING_VIOLATION: return u"in use";
    case ERROR_ACCESS_DENIED: return u"access denied";
    case ERROR_DIR_NOT_EMPTY: return u"folder not empty";
    case ERROR_WRITE_PROTECT: return u"write-protected";
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: return u"not found";
    case ERROR_FILENAME_EXCED_RANGE: return u"path longer than 259 characters";
    default: {
        std::u16string text = u"error ";
        AppendNumber(&text, error);
        return text;
    }
    }
}

std::u16string RefusalText(const SettingsBlock& settings) {
    std::u16string text;
    for (int i = 0; i < kFolderCount; ++i) {
        if (!settings.cleanerCheck[i]) continue;
        std::u16string folder;
        const CleanRefusal refusal = CheckCleanerFolder(settings.cleanerFolder[i], &folder);
        if (refusal == CleanRefusal::kNone) continue;
        if (!text.empty()) text += u"\r";
        if (refusal == CleanRefusal::kEmpty) {
            text += u"Folder ";
            AppendNumber(&text, ULONGLONG(i + 1));
            text += u" is not cleaned: ";
        } else {
            text += u"\"";
            text += settings.cleanerFolder[i];
            text += u"\" is not cleaned: ";
        }
        text += RefusalReason(refusal);
        text += u".";
    }
    return text;
}

std::u16string ReportText(const CleanReport& report) {
    std::u16string text;
    if (report.Complete()) {
        text = kComplete;
    } else if (report.failures == 0) {
        text = u"Not every folder was cleaned.";
    } else {
        text = u"Could not delete ";
        AppendCount(&text, report.failures, u" item:", u" items:");
        for (const CleanFailure& failure : report.firstFailures) {
            text += u"\r" + failure.item + u": " + FailureReason(failure.error);
        }
        if (report.failures > report.firstFailures.size()) {
            text += u"\rand ";
            AppendNumber(&text, report.failures - report.firstFailures.size());
            text += u" more.";
        }
    }
    text += u"\r";
    int number = 0;
    for (const CleanedFolder& folder : report.folders) {
        text += u"\r";
        AppendNumber(&text, ULONGLONG(++number));
        text += u". \"" + folder.folder + u"\": ";
        if (folder.refusal != CleanRefusal::kNone) {
            text += u"not cleaned, " + RefusalReason(folder.refusal);
            continue;
        }
        AppendCount(&text, folder.files, u" file, ", u" files, ");
        AppendCount(&text, folder.folders, u" folder, ", u" folders, ");
        AppendCount(&text, folder.bytes, u" byte freed", u" bytes freed");
    }
    return text;
}

namespace {

// Drops, under the album lock, the entries whose files the clean removed,
// so that no deleted picture is shown from memory; the view and the strip
// follow.
void DropGoneEntries(ViewerHost* frame) {
    ImageAlbum& album = frame->HostAlbum();
    PictureView* view = frame->View();
    frame->LockAlbum();
    bool dropped = false;
    for (int i = album.Count() - 1; i >= 0; --i) {
        WCHAR path[MAX_PATH];
        if (!album.FullPath(i, false, path)) continue;
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) continue;
        const DWORD error = GetLastError();
        // Only what is gone: an address or a name the device cannot hold stays.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) continue;
        if (view && view->Entry() == album.Entry(i)) view->ShowEntry(nullptr, false);
        album.Remove(i);
        if (album.current > i) --album.current;
        dropped = true;
    }
    if (album.current >= album.Count()) album.current = album.Count() - 1;
    frame->UnlockAlbum();
    if (!dropped) return;
    if (ThumbnailBar* bar = frame->Thumbnails()) {
        bar->RecomputeGrid(true);
        if (bar->Handle()) InvalidateRect(bar->Handle(), nullptr, TRUE);
    }
    if (album.Count() == 0 && view) view->ShowEntry(nullptr, true);
    PostMessageW(frame->HostWindow(), MSG_NAVIGATE, kNavigateStay, 0);
}

}  // namespace

void RunCleaner(ViewerHost* frame) {
    const SettingsBlock& settings = frame->Options();
    const HWND owner = frame->HostWindow();
    bool anyChecked = false;
    for (int i = 0; i < kFolderCount; ++i) anyChecked = anyChecked || settings.cleanerCheck[i];
    if (!anyChecked) {
        MessageBoxW(owner, kNothingChecked, u"Information", MB_OK | MB_ICONINFORMATION);
        return;
    }
    // Folders that will not be cleaned are named before anything is asked.
    const std::u16string refused = RefusalText(settings);
    if (!refused.empty()) MessageBoxW(owner, refused.c_str(), u"Warning", MB_OK | MB_ICONEXCLAMATION);
    const std::u16string question = CleanerQuestion(settings);
    if (question.empty()) return;
    if (MessageBoxW(owner, question.c_str(), u"Warning", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;

    // The loader must not hold or decode a file that is about to go.
    const bool paused = frame->PauseLoader();
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const CleanReport report = CleanCheckedFolders(settings, false);
    DropGoneEntries(frame);
    SetCursor(previous);
    if (paused) frame->ResumeLoader();
    MessageBoxW(owner, ReportText(report).c_str(), u"Finished",
                MB_OK | (report.Complete() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

void CleanOnExit(const SettingsBlock& settings) {
    if (!settings.cleanerAutoOnExit) return;
    bool anyChecked = false;
    for (int i = 0; i < kFolderCount; ++i) anyChecked = anyChecked || settings.cleanerCheck[i];
    if (!anyChecked) return;
    CleanCheckedFolders(settings, true);
}
