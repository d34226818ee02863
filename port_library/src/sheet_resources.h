// Resource ids of the settings sheet pages, with their fixed numbers.
#pragma once

#define IDD_PARAMETERS_PAGE 108
#define IDD_INPUT_PAGE 111

#define IDC_PORT_LIST 103
#define IDC_BAUD_LIST 104
#define IDC_PARITY_LIST 105
#define IDC_DATABITS_LIST 106
#define IDC_STOPBITS_LIST 107
#define IDC_FLOW_LIST 108

#define IDC_UP_MAKE 1004
#define IDC_UP_BREAK 1005
#define IDC_DOWN_MAKE 1006
#define IDC_DOWN_BREAK 1007
#define IDC_LEFT_MAKE 1008
#define IDC_LEFT_BREAK 1009
#define IDC_RIGHT_MAKE 1010
#define IDC_RIGHT_BREAK 1011
#define IDC_FIRE_MAKE 1012
#define IDC_FIRE_BREAK 1013
#define IDC_SWITCH2_MAKE 1014
#define IDC_SWITCH2_BREAK 1015

#define IDS_SHEET_CAPTION 1
#define IDS_PORT_NONE 2
