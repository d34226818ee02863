// Resource, control and command ids of the mouse emulator (numbers fixed: other tools address them).
#pragma once

#define IDI_PROGRAM 146
#define IDC_CURSOR_LEFT_CLICK 178
#define IDC_CURSOR_RIGHT_CLICK 179
#define IDC_CURSOR_DOUBLE_CLICK 180
#define IDC_CURSOR_DRAG 181
#define IDI_DOUBLE_CLICK 182
#define IDI_RIGHT_CLICK 183
#define IDI_DRAG 184
#define IDI_OPTIONS 185

#define IDD_OPTIONS 100
#define IDC_GROUP_MODEL 0xFFFF
#define IDC_USE_BAR 1027
#define IDC_INCREASE_SPEED 1030
#define IDC_MODEL_USB 1031
#define IDC_MODEL_SERIAL 1032
#define IDC_PORT_SETTINGS 1033

#define IDM_OPTIONS 2000
#define IDM_PORT_SETTINGS 2001

#define IDS_OPTIONS 3
#define IDS_GROUP_MODEL 4
#define IDS_MODEL_USB 5
#define IDS_MODEL_SERIAL 6
#define IDS_PORT_SETTINGS 7
#define IDS_USE_BAR 8
#define IDS_INCREASE_SPEED 9
#define IDS_OK 10
#define IDS_CANCEL 11
