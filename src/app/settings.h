// The settings block of the main frame and the values kept in the registry
// for it: read once when the frame is built, written at exit and after the
// Options sheet's OK. Defaults, clamps and the rules of each value live in
// LoadSettings/SaveSettings; a damaged or foreign registry only ever brings
// the defaults back.
#pragma once

#include <windows.h>

// The block, in this order; the Options sheet edits a copy of it.
struct SettingsBlock {
    WCHAR currentFile[MAX_PATH];
    DWORD bkgColor;           // 0x00BBGGRR
    DWORD notLoadInBkg;
    DWORD notCacheImage;
    DWORD loadInReducedSize;  // always 0 after a load
    DWORD iPaqOptimization;
    DWORD prevHideBar;
    DWORD prevVertScroller;
    DWORD prevFileName;
    DWORD prevSynchronice;
    DWORD autoZoomToFit;
    DWORD slideRepeat;
    DWORD slideInFullScreen;
    DWORD wndOnStartSlides;
    DWORD slideDelay;         // seconds
    DWORD slideDirection;     // 0 forward, 1 reverse, 2 random
    DWORD prevPosition;       // 0 top, 1 left, 2 bottom, 3 right
    DWORD landscapeMode;      // 0 portrait, 1 landscape, 2 auto
    DWORD httpPreload;        // milliseconds, 100-10000
    WCHAR cleanerFolder[3][MAX_PATH];
    DWORD cleanerCheck[3];
    DWORD cleanerAutoOnExit;
    DWORD showSplashScreen;
};

// The recently used query/retrieve servers and addresses, four each.
constexpr int kRecentAddressCount = 4;
struct RecentAddresses {
    WCHAR servers[kRecentAddressCount][MAX_PATH];
    WCHAR urls[kRecentAddressCount][MAX_PATH];
};

constexpr DWORD kHttpPreloadMin = 100;
constexpr DWORD kHttpPreloadMax = 10000;
DWORD ClampHttpPreload(DWORD milliseconds);

// The process-wide playback preload of the HTTP source, in milliseconds.
DWORD HttpPreload();
void SetHttpPreload(DWORD milliseconds);

// Every field to its default, then the stored values over them.
void LoadSettings(SettingsBlock* block, RecentAddresses* recent);
// The block and the lists; empty strings and a ".url" file are skipped.
void SaveSettings(const SettingsBlock& block, const RecentAddresses& recent);

// The budget of decoded-image memory, "Options\ImageMemoryBudget" in KiB
// (0 when missing or zero: the platform's default, a quarter of the physical
// memory). Only an administrator writes it; SaveSettings leaves it alone.
DWORD LoadImageMemoryBudget();
// Hands the stored budget to the platform's low-memory watch, which tells
// the frame to drop its cache as decoded images come near it.
void ApplyImageMemoryBudget();

// The file opened at start-up: "\My Documents\*.*" unless the "Options" key
// exists, then the stored "FileName" (empty when missing).
void LoadFileName(LPWSTR buffer, DWORD capacity);
// Stores "FileName" unless the path is empty or ends with ".url".
void StoreFileName(LPCWSTR path);
// Stores the default "\My Documents\*.*" as "FileName", for a start-up file
// that could not be opened: the next start opens the default folder.
void ResetFileName();
// The default start-up file.
LPCWSTR DefaultFileName();
