// The Pocket PC shell (aygshell): the navigation bar along the top (the
// active window's title, start icon, a dialog's OK button, input-panel
// button), menu bars along the bottom, full screen, the input panel, dialog
// initialisation, tap and hold. The bars never take the activation and belong
// to the thread that first asked the shell for something visible. Scripts
// include this header for SHMENUBAR and NOMENU; the rest is behind RC_INVOKED.
#pragma once

#include "sipapi.h"

// A menu-bar record: SHMENUBAR (an RCDATA resource) holding the menu's id, the
// button count, then per button seven words: image index (I_IMAGENONE for a
// text button), command id, state (TBSTATE_*), style (TBSTYLE_*), string id
// (0: the popup's own text), 0, and the popup's index in the menu (NOMENU for
// a plain button).
#define SHMENUBAR RCDATA
#define NOMENU 0xFFFF
// commctrl.h's I_IMAGENONE (-2) as the record's word: the resource compiler
// takes only plain numbers in RCDATA (no signs, no expressions).
#if defined(RC_INVOKED) && !defined(I_IMAGENONE)
#define I_IMAGENONE 0xFFFE
#endif

// Strings the shell itself has, for menu-bar buttons.
#define IDS_SHNEW 1
#define IDS_SHEDIT 2
#define IDS_SHTOOLS 3
#define IDS_SHVIEW 4
#define IDS_SHFILE 5
#define IDS_SHGO 6
#define IDS_SHFAVORITES 7
#define IDS_SHOPEN 8
#define IDS_SHMENU 9

#ifndef RC_INVOKED
#include "commctrl.h"
#include "shellapi.h"
#include "windows.h"

// ---- Menu bar ------------------------------------------------------------------------
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010  // nToolBarId is an HMENU: one button per popup of it

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;   // gets WM_INITMENUPOPUP, WM_COMMAND and the toolbar's WM_NOTIFY
    DWORD dwFlags;
    UINT nToolBarId;   // the SHMENUBAR record (or the HMENU)
    HINSTANCE hInstRes;
    int nBmpId;        // bitmap strip of the record's image buttons (0: none)
    int cBmpImages;
    HWND hwndMB;       // out: the menu bar
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Creates the menu bar along the bottom of the screen, owned by hwndParent.
// It answers the toolbar messages (TB_*) for all its buttons, menu buttons
// first, and the SHCMBM_* messages below. A tap on a menu button sends
// WM_INITMENUPOPUP to hwndParent and opens the popup above the bar; the
// chosen command is posted to hwndParent as WM_COMMAND.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The menu bar owned by a window, or NULL.
HWND SHFindMenuBar(HWND window);

#define SHCMBM_SETSUBMENU (WM_USER + 400)  // wParam button id, lParam HMENU; returns the old one
#define SHCMBM_GETSUBMENU (WM_USER + 401)  // lParam button id; returns the button's popup
#define SHCMBM_GETMENU (WM_USER + 402)     // returns the menu the bar was made from
#define SHCMBM_OVERRIDEKEY (WM_USER + 403)
#define SHCMBM_SETBKCOLOR (WM_USER + 406)  // lParam COLORREF
#define SHMBOF_NODEFAULT 0x00000001
#define SHMBOF_NOTIFY 0x00000002

#define SHGetMenu(hwndMB) ((HMENU)SendMessageW((hwndMB), SHCMBM_GETMENU, 0, 0))
#define SHGetSubMenu(hwndMB, id) ((HMENU)SendMessageW((hwndMB), SHCMBM_GETSUBMENU, 0, (LPARAM)(id)))
#define SHSetSubMenu(hwndMB, id, menu) \
    ((HMENU)SendMessageW((hwndMB), SHCMBM_SETSUBMENU, (WPARAM)(id), (LPARAM)(menu)))

// ---- Full screen and the navigation bar -----------------------------------------------
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

// Shows or hides the navigation bar (the task bar), its input-panel button
// and its start icon. Hiding the task bar gives the whole screen to the work
// area, so a window can cover it. FALSE for a window that does not exist.
BOOL SHFullScreen(HWND requester, DWORD state);

#define SHDB_SHOW 0x0001
#define SHDB_HIDE 0x0002
#define SHDB_SHOWCANCEL 0x0004
// The OK ("ok") or cancel ("x") button in the navigation bar while the window
// is the active one; a tap sends it WM_COMMAND IDOK or IDCANCEL.
BOOL SHDoneButton(HWND requester, DWORD state);

// ---- The input panel --------------------------------------------------------------------
#ifndef SPI_SETSIPINFO
#define SPI_SETSIPINFO 224
#endif
#define SPI_GETSIPINFO 225

// SPI_GETSIPINFO fills a SIPINFO; SPI_SETSIPINFO raises or lowers the panel
// by its SIPF_ON flag. Each move sends WM_SETTINGCHANGE (SPI_SETSIPINFO) to
// the top-level windows.
BOOL SHSipInfo(UINT action, UINT param, PVOID data, UINT winIni);
// SIP_UP raises the panel; SIP_DOWN and SIP_FORCEDOWN lower it.
BOOL SHSipPreference(HWND window, SIPSTATE state);

// ---- Dialogs ------------------------------------------------------------------------------
typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001

#define SHIDIF_DONEBUTTON 0x0001           // "ok" in the navigation bar sends IDOK
#define SHIDIF_SIZEDLG 0x0002              // the visible desktop above the input panel
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004    // below the navigation bar, above the menu bar
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010  // down to the bottom of the screen
#define SHIDIF_EMPTYMENU 0x0020            // an empty menu bar of its own
#define SHIDIF_WANTSCROLLBAR 0x0040
#define SHIDIF_CANCELBUTTON 0x0080         // "x" in the navigation bar sends IDCANCEL

BOOL SHInitDialog(PSHINITDLGINFO info);

// ---- Keeping a window fitted to the input panel ------------------------------------------
typedef struct {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

#define SHA_INPUTDIALOG 0x00000001

// On deactivation remembers whether the panel was up; on activation puts it
// back the way the window left it.
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
// On WM_SETTINGCHANGE (SPI_SETSIPINFO) fits the window to the visible desktop.
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// ---- Tap and hold ----------------------------------------------------------------------------
typedef struct tagSHRGI {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown;  // client coordinates of hwndClient
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

#define GN_CONTEXTMENU 1000
#define SHRG_RETURNCMD 0x00000001
#define SHRG_NOTIFYPARENT 0x00000002
#define SHRG_LONGDELAY 0x00000008
#define SHRG_NOANIMATION 0x00000010

typedef struct tagNMRGINFO {
    NMHDR hdr;
    POINT ptAction;
    DWORD dwItemSpec;
} NMRGINFO, *PNMRGINFO;

// Waits while the pen stays down near ptDown: held long enough it is a
// tap-and-hold (GN_CONTEXTMENU, returned or sent to the parent as WM_NOTIFY);
// lifted or moved away first it is not (0).
DWORD SHRecognizeGesture(SHRGINFO* info);

// ---- Pictures ----------------------------------------------------------------------------------
// A BMP file as a DIB section, or NULL.
HBITMAP SHLoadDIBitmap(LPCWSTR fileName);
#endif
