// Identifiers of Kestrava's resources, shared by kestrava.rc and the code that
// loads them. Plain #defines only: the resource compiler reads this file too.
#pragma once

// Pictures and records the resource layer's tests read back.
#define IDB_TEST 101
#define IDI_TEST 102
#define IDR_TEST_RECORD 103
#define IDM_TEST 104
#define IDD_TEST 105

// Menu commands and dialog controls of the test menu and dialog.
#define IDM_TEST_OPEN 40001
#define IDM_TEST_EXIT 40002
#define IDM_TEST_ZOOM 40003
#define IDC_TEST_NAME 1001

// Strings. 15 and 16 sit on either side of a 16-string block boundary; 17 is
// deliberately absent from a block that exists.
#define IDS_TEST_FIRST 1
#define IDS_TEST_LAST_OF_BLOCK 15
#define IDS_TEST_FIRST_OF_BLOCK 16
#define IDS_TEST_EMPTY 18
#define IDS_TEST_LONG 19
#define IDS_TEST_FAR 1000
