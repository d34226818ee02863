/* Resource identifiers that every key mapper language module provides and the key mapper uses. */
#ifndef FENNICK_KEY_LANGUAGE_RESOURCES_H
#define FENNICK_KEY_LANGUAGE_RESOURCES_H

/* Dialog templates, by name. */
#define DLG_BUTTONDEFBOX "BUTTONDEFBOX"
#define DLG_NEWLISTBOX "NEWLISTBOX"
#define DLG_PROFLINKS "PROFLINKS"
#define DLG_LINKEDIT "LINKEDIT"

/* BUTTONDEFBOX: one row per switch, n = 0..4 for switches 1..5. */
#define IDC_CMD_TYPE_BASE 1000    /* combo box: command type */
#define IDC_TEXT_LABEL_BASE 1005  /* shown and hidden with the text field */
#define IDC_CMD_TEXT_BASE 1010    /* edit: macro, sound or program text */
#define IDC_BROWSE_BASE 1015      /* push button: browse or compose */
#define IDC_CMD_LIST_BASE 1050    /* combo box: named numbers, or profiles */
#define IDC_CMD_TYPE_1 1000
#define IDC_CMD_TYPE_2 1001
#define IDC_CMD_TYPE_3 1002
#define IDC_CMD_TYPE_4 1003
#define IDC_CMD_TYPE_5 1004
#define IDC_TEXT_LABEL_1 1005
#define IDC_TEXT_LABEL_2 1006
#define IDC_TEXT_LABEL_3 1007
#define IDC_TEXT_LABEL_4 1008
#define IDC_TEXT_LABEL_5 1009
#define IDC_CMD_TEXT_1 1010
#define IDC_CMD_TEXT_2 1011
#define IDC_CMD_TEXT_3 1012
#define IDC_CMD_TEXT_4 1013
#define IDC_CMD_TEXT_5 1014
#define IDC_BROWSE_1 1015
#define IDC_BROWSE_2 1016
#define IDC_BROWSE_3 1017
#define IDC_BROWSE_4 1018
#define IDC_BROWSE_5 1019
#define IDC_CMD_LIST_1 1050
#define IDC_CMD_LIST_2 1051
#define IDC_CMD_LIST_3 1052
#define IDC_CMD_LIST_4 1053
#define IDC_CMD_LIST_5 1054
#define IDC_PROFILE_LIST 1055
#define IDC_NEW_PROFILE 1056
#define IDC_DELETE_PROFILE 1057
#define IDC_OPEN_LINKS 1065

/* NEWLISTBOX */
#define IDC_NEW_PROFILE_NAME 1058

/* PROFLINKS */
#define IDC_LINK_LIST 1059
#define IDC_LINK_ADD 1060
#define IDC_LINK_EDIT 1061
#define IDC_LINK_DELETE 1062
#define IDC_USE_DEFAULT_PROFILE 1074
#define IDC_DEFAULT_PROFILE 1075

/* LINKEDIT */
#define IDC_LINK_PROFILE 1067
#define IDC_BY_APPLICATION 1068
#define IDC_BY_PROGRAM_FILE 1069
#define IDC_BY_WINDOW_TITLE 1070
#define IDC_APPLICATION 1071
#define IDC_PROGRAM_FILE 1072
#define IDC_WINDOW_TITLE 1073

/* Tray menu: its first submenu holds the commands. */
#define IDR_TRAY_MENU 132
#define IDM_SETTINGS 127
#define IDM_EXIT 128
#define IDM_PORT_SETTINGS 40010

/* Click sound (resource type "WAVE"). */
#define IDR_CLICK_SOUND 142

/* Strings. Command type names 4..12 go with BtCmd 0..7 and 9. */
#define IDS_CMD_MACRO 4
#define IDS_CMD_VIRTUAL_KEY 5
#define IDS_CMD_SOUND 6
#define IDS_CMD_PROGRAM 7
#define IDS_CMD_WINDOWS_FUNCTION 8
#define IDS_CMD_COGNIVA 9
#define IDS_CMD_PARLORA 10
#define IDS_CMD_HOPLA 11
#define IDS_CMD_SWITCH_PROFILE 12
#define IDS_DELETE_LINK_CAPTION 14    /* up to 98 characters */
#define IDS_DELETE_LINK_QUESTION 15
#define IDS_LINK_CAPTION 16           /* up to 98 characters */
#define IDS_NO_LINK_TYPE 17
#define IDS_EMPTY_LINK_NAME 18
#define IDS_DELETE_PROFILE_QUESTION 19
#define IDS_NO_LINK_PROFILE 20
#define IDS_COLUMN_APPLICATION 21     /* up to 18 characters */
#define IDS_COLUMN_PROFILE 22         /* up to 18 characters */
#define IDS_LINK_BY_PROGRAM_FORMAT 23 /* exactly one %s */
#define IDS_LINK_BY_TITLE_FORMAT 24   /* exactly one %s */
#define IDS_FILTER_SOUNDS 30
#define IDS_FILTER_PROGRAMS 31
#define IDS_FILTER_ALL_FILES 32
#define IDS_EMPTY_PROFILE_NAME 33
#define IDS_FORBIDDEN_PROFILE_CHARACTER 34
#define IDS_PROFILE_EXISTS 35
#define IDS_DELETE_PROFILE_FAILED 36 /* the profile file could not be deleted */
#define IDS_MACRO_TOO_LONG 37        /* a composed macro longer than a switch holds */
#define IDS_PROFILE_NAME_TOO_LONG 38 /* folder, name and ".bpf" would pass 259 characters */
#define IDS_LINKS_UNREADABLE 39      /* "fkconfig.ini" is there but cannot be read */
#define IDS_NO_DEFAULT_PROFILE 40    /* a default profile ticked with none chosen */

#endif
