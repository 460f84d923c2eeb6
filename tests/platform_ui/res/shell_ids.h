// Identifiers of the shell test resources (menus, menu bars, strings): 5000-5999.
#pragma once

// A menu with a submenu, a separator and every item state.
#define IDM_SHELL_MENU 5000
#define IDC_SHELL_OPEN 5101
#define IDC_SHELL_RECENT1 5102
#define IDC_SHELL_RECENT2 5103
#define IDC_SHELL_EXIT 5104
#define IDC_SHELL_FULLSCREEN 5105
#define IDC_SHELL_ZOOM 5106
#define IDC_SHELL_ROTATE 5107
#define IDC_SHELL_HELP 5108

// A menu bar: the SHMENUBAR record and its menu share the id.
#define IDM_SHELL_BAR 5010
#define IDC_SHELL_BAR_FILE 5200
#define IDC_SHELL_BAR_IMAGE 5201
#define IDC_SHELL_BAR_DONE 5202
#define IDC_SHELL_NEW 5210
#define IDC_SHELL_SAVE 5211
#define IDC_SHELL_ROTATE_LEFT 5212
#define IDC_SHELL_ROTATE_RIGHT 5213
#define IDC_SHELL_INFO 5214

// A record naming a popup its menu does not have.
#define IDM_SHELL_BAD_BAR 5020

#define IDS_SHELL_FILE 5300
#define IDS_SHELL_DONE 5301
