// Identifiers of the dialogs test resources (1000-1999).
#pragma once

// Templates.
#define IDD_DLG_TESTCTL 1000    // DIALOG, "MS Sans Serif" 8, controls of the test class
#define IDD_DLGEX_FONT 1001     // DIALOGEX with weight, italic, charset, help ids and styles
#define IDD_DLG_BUTTONS 1002    // real buttons, an edit and a radio group
#define IDD_DLG_NOFONT 1003     // no FONT statement: the system font's units
#define IDD_DLG_CENTER 1004     // DS_CENTER
#define IDD_DLG_BADCLASS 1005   // a control of a class nobody registered
#define IDD_DLG_NOFAIL 1006     // the same with DS_NOFAILCREATE
#define IDD_DLG_PAGE 1007       // DS_CONTROL child, the way property sheet pages are made
#define IDD_DLG_OWNERDRAW 1008  // an owner-drawn button and a static for colour tests

// Controls.
#define IDC_FIRST 1100
#define IDC_SECOND 1101
#define IDC_THIRD 1102
#define IDC_NOTAB 1103
#define IDC_DISABLED 1104
#define IDC_HIDDEN 1105
#define IDC_EDIT 1110
#define IDC_CHECK 1111
#define IDC_RADIO1 1112
#define IDC_RADIO2 1113
#define IDC_RADIO3 1114
#define IDC_LABEL 1115
#define IDC_APPLY 1116
#define IDC_DRAWN 1117
#define IDC_PAGE_EDIT 1120
#define IDC_PAGE_CHECK 1121

// Strings.
#define IDS_DLG_FIRST 1000
#define IDS_DLG_SECOND 1001
