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

// ---- commands ----
// Menu and toolbar commands of the main window.
#define IDM_SYSTEM_INFO 17000
#define IDM_PREVIOUS_IMAGE 17001
#define IDM_NEXT_IMAGE 17002
#define IDM_FULL_SCREEN 17003
#define IDM_SLIDE_SHOW 17004
#define IDM_FIRST_IMAGE 17005
#define IDM_LAST_IMAGE 17006
#define IDM_ZOOM_TO_FIT 17007
#define IDM_ZOOM_IN 17008
#define IDM_ZOOM_OUT 17009
#define IDM_ZOOM_50 17010
#define IDM_ZOOM_75 17011
#define IDM_ZOOM_100 17012
#define IDM_ZOOM_200 17013
#define IDM_ZOOM_300 17014
#define IDM_ZOOM_400 17015
#define IDM_ROTATE_PLUS_90 17016
#define IDM_ROTATE_180 17017
#define IDM_ROTATE_MINUS_90 17018
#define IDM_OPTIONS 17020
#define IDM_DELETE_IMAGE 17021
#define IDM_ADD_IMAGES 17022
#define IDM_SAVE_ALBUM 17024
#define IDM_HELP 17025
#define IDM_OPEN 17026
#define IDM_RECORD_SOUND 17027
#define IDM_ROTATE_TO_FIT 17028
#define IDM_RECENT_FILE_FIRST 17029  // 17029-17032: the recent files
#define IDM_RECENT_FILE_LAST 17032
#define IDM_SORT_BY_NAME 17033
#define IDM_SORT_BY_TIME 17034
#define IDM_SORT_BY_SIZE 17035
#define IDM_SORT_MANUALLY 17036
#define IDM_MOVE_LEFT 17037
#define IDM_MOVE_RIGHT 17038
#define IDM_TOGGLE_THUMBNAILS 17039
#define IDM_ALL_PORTRAIT 17040
#define IDM_ALL_LANDSCAPE 17041
#define IDM_ALL_AUTO_LANDSCAPE 17042
#define IDM_PREVIOUS_PAGE 17044
#define IDM_NEXT_PAGE 17045
#define IDM_SAVE_SNAPSHOT 17301
#define IDM_OPEN_URL 17302
#define IDM_CONTRAST_BRIGHTNESS 17303
#define IDM_SAVE_SCREENSHOT 17304
#define IDM_OUTPUT_MARGI 17310
#define IDM_OUTPUT_VOYAGER 17311
#define IDM_OUTPUT_POCKETPC 17312
#define IDM_QUERY_RETRIEVE 17313
#define IDM_CLEANER 17314
#define IDM_SAVE_VIEW 17315
#define IDM_ZOOM_RECT_FIRST 17320  // 17320-17322: the zoom rectangle
#define IDM_ZOOM_RECT_LAST 17322
#define IDM_TOGGLE_SLIDER 17323
#define IDM_THUMBNAILS_FILL_SCREEN 17330
#define IDM_MENU_FILE 17500  // the menu bar's "File" button
#define IDM_MENU_IMAGE 17501 // the menu bar's "Image" button
#define IDM_MENU_VIDEO 17502 // the video bar's "Video" button
#define IDM_MENU_DRAW 17503  // the drawing bar's "Draw" button
#define IDM_DICOM_INFO 30058
#define IDM_WINDOW_LEVEL 30059
#define IDM_PLAY_VIDEO 30060
#define IDM_DRAW_NOTES 30061
#define IDM_DRAW_CLOSE 30075
#define IDM_VIDEO_START 30090
#define IDM_VIDEO_STOP 30091
#define IDM_VIDEO_FIRST 30092
#define IDM_VIDEO_PREVIOUS 30093
#define IDM_VIDEO_NEXT 30094
#define IDM_VIDEO_LAST 30095
#define IDM_OPEN_FROM_BAR 31901
#define IDM_PROPERTIES 31904
#define IDM_ABOUT 57664
#define IDM_EXIT 57665
#define IDM_NO_RECENT_FILE 24  // the greyed "No recent file" item
// (end of commands)

// ---- shell resources ----
// Menus, menu-bar records, strings, dialogs and art of the main window.
// 101 is at once the main window's icon, menu, menu-bar record and title.
#define IDR_MAIN_FRAME 101
#define IDR_MENU_DRAW 197        // menu and menu-bar record of the drawing bar
#define IDR_MENU_VIDEO 202       // menu and menu-bar record of the video bar
#define IDR_MENU_THUMBNAIL 8803  // the thumbnail's context menu
#define IDR_HELP_PAGE 8805       // Kestrava.htm, written to \Windows on first start
#define IDB_VIDEO_TOOLBAR 187    // 12 images: 10 buttons, pause, last frame enabled
#define IDB_SPLASH 8801          // 240x320
#define IDB_DISABLED_BUTTONS 17451
#define IDB_MAIN_TOOLBAR 21000
#define IDD_ABOUT 8802
#define IDC_ABOUT_TITLE 8810
#define IDC_ABOUT_VERSION 8811
#define IDC_ABOUT_TEXT 8812
// Drawing-bar menu commands that are not on the main menus.
#define IDM_DRAW_SELECT 702
#define IDM_DRAW_ERASE 704
#define IDM_DRAW_TEXT 705
#define IDM_DRAW_LINE 706
#define IDM_DRAW_RECTANGLE 707
#define IDM_DRAW_ELLIPSE 708
#define IDM_DRAW_ZOOM_IN 709
#define IDM_DRAW_COLOUR 710
#define IDM_DRAW_CLEAR_ALL 30077
#define IDM_DRAW_PEN_WIDTH 30084
#define IDM_VIEW_THUMBNAIL 17023  // the thumbnail menu's "View"
#define IDM_ZOOM_RECT_MEDIUM 17321  // between IDM_ZOOM_RECT_FIRST and _LAST
// Strings.
#define IDS_APP_TITLE 101
#define IDS_ERROR 412
#define IDS_ERR_PATH_NOT_FOUND 416
#define IDS_ERR_CANNOT_OPEN 418
#define IDS_ERR_OUT_OF_MEMORY 422
#define IDS_ERR_WRITE 431
#define IDS_ERR_READ 432
#define IDS_ERR_CANNOT_CREATE 448
#define IDS_UNKNOWN_ERROR 452
#define IDS_ERR_FAULT 21314
#define IDS_ERR_ABORTED 21315
#define IDS_ERR_VERSION 21316
#define IDS_ERR_COMPRESSION 21317
#define IDS_ERR_LZW 21318
#define IDS_ERR_NEWER_VERSION 21319
#define IDS_ERR_CMYK_LAB 21320
#define IDS_ERR_32BIT 21321
#define IDS_ERR_CORRUPT 21322
#define IDS_UNKNOWN_FORMAT_NAME 21327
#define IDS_INCOMPLETE_PICTURE 21328
#define IDS_START_VIDEO 10003
#define IDS_STOP_VIDEO 10004
#define IDS_FIRST_FRAME 10005
#define IDS_PREVIOUS_FRAME 10006
#define IDS_NEXT_FRAME 10007
#define IDS_LAST_FRAME 10008
#define IDS_MENU_FILE 17502      // the menu-bar buttons' texts
#define IDS_MENU_IMAGE 17503
#define IDS_MENU_VIDEO 17504
#define IDS_DRAW_NOTES 17505
#define IDS_MENU_DRAW 17506
#define IDS_CONTRAST_BRIGHTNESS 17601
#define IDS_ADD_IMAGES_HINT 21312
#define IDS_STOP_SLIDE_SHOW 21323
#define IDS_START_SLIDE_SHOW 21324
#define IDS_OPEN_SOUND 21330
#define IDS_SAVE_SOUND 21331
#define IDS_SAVE 21332
#define IDS_SAVE_IMAGES 21334
#define IDS_NO_LOADER_THREAD 21335
#define IDS_LOADING 21336
#define IDS_PROPERTIES 21338
#define IDS_ADD 21342
#define IDS_SHOW_THUMBNAILS 21343
#define IDS_HIDE_THUMBNAILS 21344
#define IDS_PREVIOUS_IMAGE 21345
#define IDS_NEXT_IMAGE 21346
#define IDS_ZOOM_OUT 21347
#define IDS_ZOOM_IN 21348
#define IDS_SHOW_HIDE_THUMBNAILS 21349
#define IDS_ASSIGN_SOUND 21350
// Messages of the main frame.
#define IDS_WARNING 21380
#define IDS_INFORMATION 21381
#define IDS_ASK_DCM_EXTENSION 21382
#define IDS_DCM_EXTENSION_FAILED 21383
#define IDS_SCREENSHOT_HELP 21384
#define IDS_HELP_UNAVAILABLE 21385
// (end of shell resources)

// ---- options ----
// The Options sheet's pages and the colour palette.
#define IDD_COLOUR_PALETTE 607
#define IDD_OPTIONS_GENERAL 21101
#define IDD_OPTIONS_THUMBNAILS 21102
#define IDD_OPTIONS_SLIDES 21105
// General page.
#define IDC_AUTO_ZOOM_TO_FIT 21204
#define IDC_LANDSCAPE_MODE 21248
#define IDC_NOT_LOAD_IN_BKG 21252
#define IDC_NOT_CACHE_IMAGE 21253
#define IDC_IPAQ_OPTIMIZATION 21254
#define IDC_LOAD_REDUCED_SIZE 21255
#define IDC_BKG_COLOR 21266
// Slides page (21255 again: the pages are separate dialogs).
#define IDC_SLIDE_DELAY 21200
#define IDC_SLIDE_DIRECTION 21201
#define IDC_SLIDE_REPEAT 21202
#define IDC_SLIDE_FULL_SCREEN 21203
#define IDC_WND_ON_START_SLIDES 21255
#define IDC_HTTP_PRELOAD 30002
// Thumbnails page.
#define IDC_SHOW_SPLASH 21170
#define IDC_HIDE_THUMBNAILS 21225
#define IDC_VERT_SCROLLER 21226
#define IDC_SHOW_FILE_NAME 21227
#define IDC_SYNC_ICON 21228
#define IDC_THUMB_POSITION 21229
// The headings of the pages, drawn bold.
#define IDC_OPTIONS_HEADING1 21260
#define IDC_OPTIONS_HEADING2 21261
#define IDC_OPTIONS_HEADING3 21262
// Strings of the pages.
#define IDS_OPT_NO_RECENT_FILE 485
#define IDS_OPT_SLIDE_FORWARD 21302
#define IDS_OPT_SLIDE_REVERSE 21303
#define IDS_OPT_SLIDE_RANDOM 21304
#define IDS_OPT_THUMBS_TOP 21308
#define IDS_OPT_THUMBS_LEFT 21309
#define IDS_OPT_THUMBS_BOTTOM 21310
#define IDS_OPT_THUMBS_RIGHT 21311
#define IDS_OPT_CAPTION 21337
#define IDS_OPT_LANDSCAPE 21339
#define IDS_OPT_PORTRAIT 21340
#define IDS_OPT_AUTO_LANDSCAPE 21341
// (end of options)

// ---- associations ----
// The Options sheet's Associations page.
#define IDD_OPTIONS_ASSOCIATIONS 21100
#define IDC_ASSOC_VIEWER 21205
#define IDC_ASSOCIATE 21206
#define IDC_ASSOC_ALBUM 21207         // "MAB"
#define IDC_ASSOC_FIRST_FORMAT 21208  // the image library's rows, in order
#define IDC_ASSOC_LAST 21224
#define IDC_ASSOC_HEADING 21265
#define IDS_ASSOC_FORMATS 21305
#define IDS_ASSOC_WERE_ASSOCIATED 21306
#define IDS_ASSOCIATION 21307
#define IDS_ASSOC_NOT_ASSOCIATED 21313
// (end of associations)

// ---- picture view ----
// The empty view's placeholders, 32x38, magenta transparent.
#define IDB_VIEW_MESSAGE 9002  // beside a load error's message
#define IDB_VIEW_LOADING 9003  // beside "Loading..."
#define IDR_VIEW_CONTEXT_MENU IDR_MAIN_FRAME  // its "Image" popup (position 1) is the view's menu
// (end of picture view)

// ---- thumbnails ----
// The thumbnail bar's pictures and the reorder dialog.
#define IDB_THUMB_FAILED 9001         // an entry whose decode failed
#define IDB_THUMB_PENDING 9004        // an entry not decoded yet
#define IDB_THUMB_PLAYER_VIDEO 17452  // a file the media-player control plays
#define IDB_THUMB_ENGINE_VIDEO 17453  // a movie whose engine draws its own frames
#define IDB_THUMB_FILL_SCREEN 17454   // the fill-the-screen button
#define IDD_REORDER 21256
#define IDC_REORDER_TITLE 21269
#define IDC_REORDER_LIST 21270
#define IDC_REORDER_UP 21271
#define IDC_REORDER_DOWN 21272
#define IDC_REORDER_SORT_NAME 21274
#define IDC_REORDER_SORT_SIZE 21275
#define IDC_REORDER_SORT_DATE 21276
// (end of thumbnails)

// ---- file chooser ----
// The system's own file chooser (file_dialog.rc) and its folder-tree popup.
#define IDD_FILE_DIALOG 600
#define IDD_FOLDER_TREE 601            // the popup under the folder display (empty; the tree is made in code)
#define IDC_FILE_LIST 701
#define IDC_FILE_UP 702
#define IDC_FILE_NAME 703
#define IDC_FILE_FOLDER 704            // the folder display: icon, path, drop-down arrow
#define IDC_FILE_LIST_MODE 705
#define IDC_FILE_CANCEL 706
#define IDC_FILE_NAME_LABEL 707
#define IDC_FILE_FOLDER_LABEL 708
#define IDB_FILE_DETAILS 290           // the list-mode button in details mode, 16x16
#define IDB_FILE_PLAIN_LIST 291        // ... in plain-list mode
#define IDS_WARNING_CAPS 413
#define IDS_ERR_FILE_NOT_FOUND 415
#define IDS_NO_WILDCARDS 472
#define IDS_MY_DEVICE 479
// (end of file chooser)

// ---- DICOM information ----
// The "Patient Info" sheet's pages (dicom_info.rc).
#define IDD_DICOM_ALL 8811
#define IDD_DICOM_PATIENT 8820
#define IDC_DICOM_LIST 8817
#define IDC_PATIENT_NAME 8819
#define IDC_PATIENT_SEX 8821
#define IDC_PATIENT_ISSUER 8822
#define IDC_PATIENT_ID 8823
#define IDC_PATIENT_BIRTH_DATE 8824
#define IDC_PATIENT_ADDRESS 8825
#define IDC_PATIENT_REGION 8826
#define IDC_PATIENT_COUNTRY 8827
#define IDC_PATIENT_HISTORY 8828
#define IDC_PATIENT_HIDE 8831   // "Hide patient data"
#define IDC_DICOM_FILTER 8832   // the All page's search field
#define IDS_DICOM_ELEMENT_HEADING 10000
#define IDS_DICOM_VALUE 10001
#define IDS_DICOM_TAG 10002
#define IDS_PATIENT_INFO 10009
#define IDS_ONLY_DICOM_INFO 10010
#define IDS_PATIENT_HIDDEN 10011
// (end of DICOM information)

// ---- adjustment dialogs ----
// The window/level dialog (8812) and the contrast/brightness dialog (17402),
// adjust_dialogs.rc.
#define IDD_WINDOW_LEVEL 8812
#define IDC_WL_HISTOGRAM 8813
#define IDC_WL_ORIGINAL 8814
#define IDC_WL_NEGATIVE 8815
#define IDC_WL_PALETTE 8816
#define IDC_WL_AUTO 8818
#define IDC_WL_PRESETS 8830     // the file's windows and the CT presets
#define IDC_WL_WIDTH 17514
#define IDC_WL_WIDTH_VALUE 17515
#define IDC_WL_LEVEL 17516
#define IDC_WL_LEVEL_VALUE 17517
#define IDS_WL_BPP_ONLY 10012
#define IDS_WL_PRESETS 10013    // the preset list's first line
#define IDD_CONTRAST 17402
#define IDC_CB_CONTRAST 17361
#define IDC_CB_BRIGHTNESS 17362
#define IDC_CB_CONTRAST_VALUE 17363
#define IDC_CB_BRIGHTNESS_VALUE 17364
#define IDC_CB_PREVIEW 17365
#define IDC_CB_ORIGINAL 17366
// (end of adjustment dialogs)

// ---- system information ----
// The system information dialog (command 17000), its strings and labels.
#define IDD_SYSTEM_INFO 608
#define IDC_SI_SYSTEM_LABEL 728
#define IDC_SI_SYSTEM 729
#define IDC_SI_PROCESSOR 730
#define IDC_SI_MEMORY_LABEL 731
#define IDC_SI_MEMORY_GAUGE 732
#define IDC_SI_CARD_LABEL 733
#define IDC_SI_CARD_GAUGE 734
#define IDC_SI_MEMORY 735
#define IDC_SI_CARD 736
#define IDC_SI_BATTERY 737
#define IDC_SI_BATTERY_LABEL 738
#define IDC_SI_BATTERY_GAUGE 739
#define IDC_SI_DEVICE 740
#define IDC_SI_DEVICE_LABEL 741
#define IDC_SI_BATTERY_SETTINGS 743
#define IDC_SI_MEMORY_SETTINGS 744
#define IDS_SI_BUILD 400
#define IDS_SI_FREE 407
#define IDS_SI_PROCESSOR 410
#define IDS_SI_UNKNOWN_PROCESSOR 414
#define IDS_SI_TOTAL 486
#define IDS_SI_STORAGE 487
#define IDS_SI_PROGRAM 488
#define IDS_SI_HIGH 489
#define IDS_SI_LOW 490
#define IDS_SI_CRITICAL 491
#define IDS_SI_CHARGING 492
#define IDS_SI_UNKNOWN_STATUS 493
#define IDS_SI_LIFE_REMAINING 494
#define IDS_SI_NOT_INSTALLED 495
// (end of system information)
// ---- cleaner ----
// The Cleaner page of the Options sheet.
#define IDD_OPTIONS_CLEANER 21150
#define IDC_CLEANER_CHECK1 21151  // 21151-21153: a folder is cleaned
#define IDC_CLEANER_CHECK3 21153
#define IDC_CLEANER_FOLDER1 21154  // 21154-21156: the folders
#define IDC_CLEANER_FOLDER3 21156
#define IDC_CLEANER_AUTO_ON_EXIT 21157
#define IDC_CLEANER_HEADING 21158
// (end of cleaner)
