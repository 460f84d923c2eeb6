// Reading and writing the settings block.
#include "app/settings.h"

#include "app/settings_store.h"
#include "platform/memory_watch.h"

namespace {

constexpr WCHAR kDefaultFileName[] = u"\\My Documents\\*.*";
constexpr LPCWSTR kCleanerDefaults[3] = {u"\\My Documents", u"\\Temp",
                                         u"\\Windows\\Temporary Internet Files"};
constexpr LPCWSTR kCleanerFolderNames[3] = {u"CleanerFolder1", u"CleanerFolder2",
                                            u"CleanerFolder3"};
constexpr LPCWSTR kCleanerCheckNames[3] = {u"CleanerCheck1", u"CleanerCheck2", u"CleanerCheck3"};

DWORD g_httpPreload = 1000;

// The numbers of the "Options" key with their defaults, in table order.
struct NumberValue {
    LPCWSTR name;
    DWORD SettingsBlock::*field;
    DWORD initial;
};
constexpr NumberValue kNumbers[] = {
    {u"BkgColor", &SettingsBlock::bkgColor, 0},
    {u"NotLoadInBkg", &SettingsBlock::notLoadInBkg, 0},
    {u"NotCacheImage", &SettingsBlock::notCacheImage, 0},
    {u"iPaqOptimization", &SettingsBlock::iPaqOptimization, 0},
    {u"LoadInReducedSize", &SettingsBlock::loadInReducedSize, 0},
    {u"AutoZoomToFit", &SettingsBlock::autoZoomToFit, 1},
    {u"SlideRepeat", &SettingsBlock::slideRepeat, 0},
    {u"SlideInFullScreen", &SettingsBlock::slideInFullScreen, 1},
    {u"WndOnStartSlides", &SettingsBlock::wndOnStartSlides, 1},
    {u"SlideDelay", &SettingsBlock::slideDelay, 5},
    {u"SlideDirection", &SettingsBlock::slideDirection, 0},
    {u"PrevPosition", &SettingsBlock::prevPosition, 0},
    {u"PrevHideBar", &SettingsBlock::prevHideBar, 0},
    {u"PrevVertScroller", &SettingsBlock::prevVertScroller, 1},
    {u"PrevFileName", &SettingsBlock::prevFileName, 1},
    {u"PrevSynchronice", &SettingsBlock::prevSynchronice, 1},
    {u"LandscapeMode", &SettingsBlock::landscapeMode, 0},
    {u"ShowSplashScreen", &SettingsBlock::showSplashScreen, 1},
    {u"HTTPPreload", &SettingsBlock::httpPreload, 1000},
    {u"CleanerAutoOnExit", &SettingsBlock::cleanerAutoOnExit, 0},
};

void ValueName(LPWSTR out, LPCWSTR stem, int number) { wsprintfW(out, u"%s%d", stem, number); }

}  // namespace

DWORD ClampHttpPreload(DWORD milliseconds) {
    if (milliseconds < kHttpPreloadMin) return kHttpPreloadMin;
    if (milliseconds > kHttpPreloadMax) return kHttpPreloadMax;
    return milliseconds;
}

DWORD HttpPreload() { return g_httpPreload; }
void SetHttpPreload(DWORD milliseconds) { g_httpPreload = milliseconds; }

DWORD LoadImageMemoryBudget() {
    DWORD kilobytes = 0;
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    if (store.Open(u"Options", false)) store.ReadNumber(u"ImageMemoryBudget", &kilobytes);
    return kilobytes;
}

void ApplyImageMemoryBudget() {
    platform::SetImageMemoryBudget(static_cast<uint64_t>(LoadImageMemoryBudget()) << 10);
}

void LoadFileName(LPWSTR buffer, DWORD capacity) {
    if (!buffer || capacity == 0) return;
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    // No name stored opens the default folder; a stored one that cannot be
    // read stays empty and is reported once.
    const bool open = store.Open(u"Options", false);
    if (!open || (!store.ReadString(u"FileName", buffer, capacity) && !store.HasValue(u"FileName"))) {
        lstrcpynW(buffer, kDefaultFileName, capacity);
    }
}

void StoreFileName(LPCWSTR path) {
    if (!path || !path[0]) return;
    LPCWSTR dot = nullptr;
    for (LPCWSTR p = path; *p; ++p) {
        if (*p == u'.') dot = p;
    }
    // Link files are opened, never reopened at start-up.
    if (dot && lstrcmpW(dot, u".url") == 0) return;
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    if (store.Open(u"Options", true)) store.WriteString(u"FileName", path);
}

LPCWSTR DefaultFileName() { return kDefaultFileName; }

void ResetFileName() {
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    if (store.Open(u"Options", true)) store.WriteString(u"FileName", kDefaultFileName);
}

void LoadSettings(SettingsBlock* block, RecentAddresses* recent) {
    ZeroMemory(block, sizeof(*block));
    ZeroMemory(recent, sizeof(*recent));
    for (const NumberValue& value : kNumbers) block->*value.field = value.initial;
    for (int i = 0; i < 3; ++i) lstrcpynW(block->cleanerFolder[i], kCleanerDefaults[i], MAX_PATH);

    LoadFileName(block->currentFile, MAX_PATH);
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"Options", false)) {
            for (const NumberValue& value : kNumbers) store.ReadNumber(value.name, &(block->*value.field));
            for (int i = 0; i < 3; ++i) store.ReadNumber(kCleanerCheckNames[i], &block->cleanerCheck[i]);
            for (int i = 0; i < 3; ++i) {
                if (store.ReadString(kCleanerFolderNames[i], block->cleanerFolder[i], MAX_PATH)) continue;
                // A stored folder too long for a path (or not a text) is no
                // folder: the cleaner refuses it. The default in its place
                // would have the cleaner empty a folder nobody chose.
                if (store.HasValue(kCleanerFolderNames[i])) {
                    block->cleanerFolder[i][0] = 0;
                } else {
                    lstrcpynW(block->cleanerFolder[i], kCleanerDefaults[i], MAX_PATH);
                }
            }
        }
    }
    if (block->landscapeMode > 2) block->landscapeMode = 0;
    block->loadInReducedSize = 0;
    block->httpPreload = ClampHttpPreload(block->httpPreload);
    SetHttpPreload(block->httpPreload);

    WCHAR name[16];
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"RecentDicomServers", false)) {
            for (int i = 0; i < kRecentAddressCount; ++i) {
                ValueName(name, u"Server", i + 1);
                store.ReadString(name, recent->servers[i], MAX_PATH);
            }
        }
    }
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"RecentUrls", false)) {
            for (int i = 0; i < kRecentAddressCount; ++i) {
                ValueName(name, u"Url", i + 1);
                store.ReadString(name, recent->urls[i], MAX_PATH);
            }
        }
    }
}

void SaveSettings(const SettingsBlock& block, const RecentAddresses& recent) {
    StoreFileName(block.currentFile);
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"Options", true)) {
            for (const NumberValue& value : kNumbers) store.WriteNumber(value.name, block.*value.field);
            for (int i = 0; i < 3; ++i) store.WriteNumber(kCleanerCheckNames[i], block.cleanerCheck[i]);
            for (int i = 0; i < 3; ++i) store.WriteString(kCleanerFolderNames[i], block.cleanerFolder[i]);
        }
    }
    WCHAR name[16];
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"RecentDicomServers", true)) {
            for (int i = 0; i < kRecentAddressCount; ++i) {
                ValueName(name, u"Server", i + 1);
                store.WriteString(name, recent.servers[i]);
            }
        }
    }
    {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (store.Open(u"RecentUrls", true)) {
            for (int i = 0; i < kRecentAddressCount; ++i) {
                ValueName(name, u"Url", i + 1);
                store.WriteString(name, recent.urls[i]);
            }
        }
    }
}
