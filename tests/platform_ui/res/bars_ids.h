// Identifiers of the bars test resources.
#pragma once

// Bitmap strips: four 16x16 images each.
#define IDB_BARS_STRIP 4000     // coloured squares on light grey (the transparent colour)
#define IDB_BARS_DISABLED 4001  // yellow squares on magenta, for a disabled image list

// Property pages and their controls.
#define IDD_BARS_PAGE_GENERAL 4100
#define IDD_BARS_PAGE_SLIDES 4101
#define IDD_BARS_PAGE_CAPTION 4102
#define IDC_BARS_SLIDER 4110
#define IDC_BARS_CHECK 4111
#define IDC_BARS_LABEL 4112
#define IDC_BARS_EDIT 4113  // at the bottom of the general page, where the input panel comes up

// Strings.
#define IDS_BARS_TIP 4200
#define IDS_BARS_SHEET 4201
#define IDS_BARS_PAGE_TITLE 4202
