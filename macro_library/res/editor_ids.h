/* Resource numbers of the macro editor: dialogs, controls, icons and strings. */
#pragma once

#define IDD_MACRO_EDITOR 106
#define IDD_CUSTOM_NAME "CUSTOMNAMEBOX"

/* The macro editor */
#define IDC_KEY_ADD 1036
#define IDC_CUSTOM_ADD 1037
#define IDC_ROW_EDIT 1038
#define IDC_KEY_LIST 1039
#define IDC_CUSTOM_DELETE 1040
#define IDC_COMMAND_LIST 1045
#define IDC_TEXT_ADD 1046
#define IDC_TEXT_FIELD 1047
#define IDC_PAUSE_ADD 1048
#define IDC_PAUSE_FIELD 1049
#define IDC_ROW_UP 1051
#define IDC_ROW_DOWN 1052
#define IDC_EDITOR_OK 1053
#define IDC_EDITOR_CANCEL 1054
#define IDC_CUSTOM_LIST 1055
#define IDC_CUSTOM_SAVE 1056
#define IDC_ROW_DELETE 1057
#define IDC_LIST_CLEAR 1058

/* The naming dialog */
#define IDC_CUSTOM_NAME 1057

/* Icons of the row buttons */
#define IDI_ROW_UP 111
#define IDI_ROW_DOWN 145
#define IDI_ROW_DELETE 146
#define IDI_ROW_EDIT 147
#define IDI_CUSTOM_SAVE 148
#define IDI_LIST_CLEAR 149

/* Strings; the key names are 40053 to 40115 */
#define IDS_NAME_EXISTS 14
#define IDS_ENTER_TEXT 15
#define IDS_ENTER_PAUSE 16
#define IDS_CLEAR_QUESTION 17
#define IDS_EMPTY_SAVE 18
#define IDS_MACRO_START 19
#define IDS_MACRO_END 20
#define IDS_STORE_UNREADABLE 21
#define IDS_STORE_NOT_SAVED 22
#define IDS_MACRO_TOO_LONG 23
#define IDS_STORE_DAMAGED 24
