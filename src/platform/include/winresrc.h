// The constants a resource script needs (styles, menu flags), as the SDK's
// winresrc.h gives them. Only plain numbers and macros: llvm-rc preprocesses
// scripts with clang but cannot read C++ declarations, so scripts include this
// header instead of <windows.h>.
#pragma once

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L

#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_SETFOREGROUND 0x200L
#define DS_CENTER 0x0800L

#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_GROUPBOX 0x00000007L

#define ES_LEFT 0x0000L
#define ES_AUTOHSCROLL 0x0080L
#define ES_NUMBER 0x2000L

#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L

#define IDOK 1
#define IDCANCEL 2
#define IDC_STATIC (-1)
