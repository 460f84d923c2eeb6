// Identifiers of the control gallery (6000-6999): one dialog with every kind
// of control the layer draws, kept as a reference picture.
#pragma once

#define IDD_GALLERY 6000

#define IDC_GAL_PUSH 6100
#define IDC_GAL_OWNER 6101
#define IDC_GAL_OFF 6102
#define IDC_GAL_CHECK 6103
#define IDC_GAL_PLAIN 6104
#define IDC_GAL_ONE 6105
#define IDC_GAL_TWO 6106
#define IDC_GAL_LEFT 6107
#define IDC_GAL_CENTRE 6108
#define IDC_GAL_RIGHT 6109
#define IDC_GAL_EDIT 6110
#define IDC_GAL_READONLY 6111
#define IDC_GAL_MULTI 6112
#define IDC_GAL_NUMBER 6113
#define IDC_GAL_BITMAP 6114
#define IDC_GAL_LIST 6115
#define IDC_GAL_DROPLIST 6116
#define IDC_GAL_DROPDOWN 6117
#define IDC_GAL_SCROLL 6118
#define IDC_GAL_PROGRESS 6119
#define IDC_GAL_TRACK 6120
#define IDC_GAL_TAB 6121
#define IDC_GAL_LISTVIEW 6122
#define IDC_GAL_TREE 6123
#define IDC_GAL_GROUP 6124
