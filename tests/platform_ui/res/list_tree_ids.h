// Identifiers of the list_tree test resources.
#pragma once

#define IDB_LT_STRIP 3000
#define IDI_LT_ICON 3001
#define IDD_LT_DIALOG 3002
#define IDC_LT_LIST 3003
#define IDC_LT_TREE 3004
