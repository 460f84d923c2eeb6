// Property sheets (controls/property_sheet.cpp): a modal dialog of pages
// behind a tab control, each page a child dialog made from a template. The
// sheet talks to its pages with WM_NOTIFY and PSHNOTIFY (PSN_*); pages talk
// to the sheet with PSM_* messages. PropertySheetW returns 1 after OK, 0
// after Cancel and -1 when the sheet cannot be made (the window handle for
// PSH_MODELESS). commctrl.h includes this header.
#pragma once

#include "windows.h"

struct _PSP;
typedef struct _PSP* HPROPSHEETPAGE;
struct _PROPSHEETPAGEW;

typedef UINT(CALLBACK* LPFNPSPCALLBACKW)(HWND hwnd, UINT message, struct _PROPSHEETPAGEW* page);
typedef int(CALLBACK* PFNPROPSHEETCALLBACK)(HWND hwnd, UINT message, LPARAM lParam);

// Page flags.
#define PSP_DEFAULT 0x00000000
#define PSP_DLGINDIRECT 0x00000001
#define PSP_USEHICON 0x00000002
#define PSP_USEICONID 0x00000004
#define PSP_USETITLE 0x00000008
#define PSP_RTLREADING 0x00000010
#define PSP_HASHELP 0x00000020
#define PSP_USEREFPARENT 0x00000040
#define PSP_USECALLBACK 0x00000080
#define PSP_PREMATURE 0x00000400  // created with the sheet, not when first shown

// Page callback messages.
#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

typedef struct _PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        LPCDLGTEMPLATE pResource;
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKW pfnCallback;
    UINT* pcRefParent;
} PROPSHEETPAGEW, *LPPROPSHEETPAGEW, PROPSHEETPAGE, *LPPROPSHEETPAGE;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGE;

// Sheet flags. PSH_MAXIMIZE is the Windows CE full-screen sheet.
#define PSH_DEFAULT 0x00000000
#define PSH_PROPTITLE 0x00000001
#define PSH_USEHICON 0x00000002
#define PSH_USEICONID 0x00000004
#define PSH_PROPSHEETPAGE 0x00000008
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_USEPSTARTPAGE 0x00000040
#define PSH_USECALLBACK 0x00000100
#define PSH_HASHELP 0x00000200
#define PSH_MODELESS 0x00000400
#define PSH_MAXIMIZE 0x00002000

// Sheet callback messages. PSCB_GETVERSION, PSCB_GETTITLE and
// PSCB_GETLINKTEXT are the Windows CE ones.
#define PSCB_INITIALIZED 1
#define PSCB_PRECREATE 2
#define PSCB_GETVERSION 3
#define PSCB_GETTITLE 4
#define PSCB_GETLINKTEXT 5
#define COMCTL32_VERSION 0x020c

typedef struct _PROPSHEETHEADERW {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        LPCPROPSHEETPAGEW ppsp;
        HPROPSHEETPAGE* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
} PROPSHEETHEADERW, *LPPROPSHEETHEADERW, PROPSHEETHEADER, *LPPROPSHEETHEADER;
typedef const PROPSHEETHEADERW* LPCPROPSHEETHEADERW;
typedef const PROPSHEETHEADERW* LPCPROPSHEETHEADER;

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);
#define CreatePropertySheetPage CreatePropertySheetPageW
#define PropertySheet PropertySheetW

// Notifications to pages (WM_NOTIFY, lParam a PSHNOTIFY). A page answers by
// leaving its result at DWLP_MSGRESULT.
#define PSN_FIRST (0U - 200U)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_HELP (PSN_FIRST - 5)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

typedef struct _PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam;
} PSHNOTIFY, *LPPSHNOTIFY;

// Messages to the sheet.
#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_REMOVEPAGE (WM_USER + 102)
#define PSM_ADDPAGE (WM_USER + 103)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_QUERYSIBLINGS (WM_USER + 108)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_APPLY (WM_USER + 110)
#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_SETCURSELID (WM_USER + 114)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_ISDIALOGMESSAGE (WM_USER + 117)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_SETTITLEW (WM_USER + 120)
#define PSM_SETTITLE PSM_SETTITLEW

#define PSBTN_BACK 0
#define PSBTN_NEXT 1
#define PSBTN_FINISH 2
#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5
#define PSBTN_HELP 6

// The SDK's PropSheet_ macros, as inline functions.
inline BOOL PropSheet_SetCurSel(HWND hwnd, HPROPSHEETPAGE page, int index) {
    return (BOOL)SendMessageW(hwnd, PSM_SETCURSEL, (WPARAM)index, (LPARAM)page);
}
inline void PropSheet_Changed(HWND hwnd, HWND page) { SendMessageW(hwnd, PSM_CHANGED, (WPARAM)page, 0); }
inline void PropSheet_UnChanged(HWND hwnd, HWND page) { SendMessageW(hwnd, PSM_UNCHANGED, (WPARAM)page, 0); }
inline void PropSheet_PressButton(HWND hwnd, int button) { PostMessageW(hwnd, PSM_PRESSBUTTON, (WPARAM)button, 0); }
inline HWND PropSheet_GetCurrentPageHwnd(HWND hwnd) {
    return (HWND)SendMessageW(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0);
}
inline HWND PropSheet_GetTabControl(HWND hwnd) { return (HWND)SendMessageW(hwnd, PSM_GETTABCONTROL, 0, 0); }
inline BOOL PropSheet_Apply(HWND hwnd) { return (BOOL)SendMessageW(hwnd, PSM_APPLY, 0, 0); }
inline LRESULT PropSheet_QuerySiblings(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(hwnd, PSM_QUERYSIBLINGS, wParam, lParam);
}
inline void PropSheet_SetTitle(HWND hwnd, DWORD style, LPCWSTR text) {
    SendMessageW(hwnd, PSM_SETTITLEW, (WPARAM)style, (LPARAM)text);
}
