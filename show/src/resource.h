// Resource and control ids of the show (numbers fixed by the menu and dialogs it has always had).
#pragma once

#define IDM_OPTIONS 40001
#define IDM_FULL_SCREEN 40002
#define IDM_BUTTON_ACTIONS 40003
#define IDM_CLOSE 40006
#define IDM_SELECT_MODEL 126

// Switch actions dialog: one row per switch, ids counted from the row's base.
#define IDC_ROW_ACTION 1000
#define IDC_ROW_FIRST_ICON 1005
#define IDC_ROW_FIRST_TEXT 1010
#define IDC_ROW_FIRST_BROWSE 1015
#define IDC_ROW_SECOND_ICON 1020
#define IDC_ROW_SECOND_TEXT 1025
#define IDC_ROW_SECOND_BROWSE 1030
#define IDC_PROFILE_LIST 1049
#define IDC_PROFILE_NEW 1050
#define IDC_PROFILE_DELETE 1051
#define IDC_NEW_NAME 1052

// Options dialog.
#define IDC_FADE 1036
#define IDC_COLOUR 1037
#define IDC_FADE_SECONDS 1038
#define IDC_FADE_AFTER 1039
#define IDC_FADE_UNIT 1040
#define IDC_SWATCH 1041
#define IDC_KEYBOARD 1046

// Device model dialog.
#define IDC_MODEL_USB 1047
#define IDC_MODEL_SERIAL 1048
#define IDC_PORT_SETTINGS 1053

// Bitmaps: the kind of a row's first text, and the five numbered balls that label the rows.
#define IDB_PICTURE 115
#define IDB_PROGRAM 122
#define IDB_SOUND 123
#define IDB_BALL1 130
#define IDB_BALL2 131
#define IDB_BALL3 132
#define IDB_BALL4 133
#define IDB_BALL5 134

#define IDS_SETTINGS_SUBKEY 1
#define IDS_ACTION_FIRST 2  // 2..6: the five actions, in action-code order
#define IDS_FILTER_PICTURES 7
#define IDS_FILTER_SOUNDS 8
#define IDS_FILTER_PROGRAMS 9
#define IDS_FILTER_ALL 10
#define IDS_CONFIRM_DELETE 18
#define IDS_PROFILE_EXISTS 19
#define IDS_NAME_EMPTY 20
#define IDS_NAME_FORBIDDEN 21
#define IDS_NAME_TOO_LONG 22
