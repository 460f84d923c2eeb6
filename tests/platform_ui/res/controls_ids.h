// Identifiers of the controls test resources (2000-2999).
#pragma once

// Templates.
#define IDD_CONTROLS 2000  // one of each standard control, named by the template's class ordinals

// Controls.
#define IDC_CTL_GROUP 2100
#define IDC_CTL_RADIO1 2101
#define IDC_CTL_RADIO2 2102
#define IDC_CTL_CHECK 2103
#define IDC_CTL_LABEL 2104
#define IDC_CTL_EDIT 2105
#define IDC_CTL_LIST 2106
#define IDC_CTL_COMBO 2107
#define IDC_CTL_SCROLL 2108
#define IDC_CTL_CUSTOM 2109
