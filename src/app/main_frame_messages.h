// The main window's private messages. Other windows and threads reach the
// main frame only by posting (or sending) these to it.
#pragma once

#include <windows.h>

constexpr UINT MSG_SHOW_MAIN_LAYOUT = 32939;  // leave the splash or the full thumbnails
constexpr UINT MSG_SHOW_SPLASH = 32940;
constexpr UINT MSG_SWITCH_MENU_BAR = 32961;   // wParam: the menu-bar kind
constexpr UINT MSG_ROTATE = 32963;            // wParam: degrees, -1 rotate to fit
constexpr UINT MSG_NAVIGATE = 32964;          // wParam: the navigation code
constexpr UINT MSG_OPEN_STORED_FILE = 32965;  // open the stored "FileName"
constexpr UINT MSG_UPDATE_TOOLBAR = 32966;
// The system's low-memory notice (the platform posts it to top-level windows).
constexpr UINT MSG_LOW_MEMORY = WM_HIBERNATE;

// Navigation codes: the low four bits select, 0x80 wraps at the ends.
constexpr WPARAM kNavigateNext = 0;
constexpr WPARAM kNavigatePrevious = 1;
constexpr WPARAM kNavigateRandom = 2;
constexpr WPARAM kNavigateStay = 3;
constexpr WPARAM kNavigateFirst = 4;
constexpr WPARAM kNavigateLast = 5;
constexpr WPARAM kNavigateWrap = 0x80;
