// Resource and control ids of the device tester (numbers fixed by the menu and dialogs it has always had).
#pragma once

#define IDM_JOYSTICK_MODE 40006
#define IDM_SWITCH_MODE 40007
#define IDM_CLOSE 40008
#define IDM_QUERY 40009
#define IDM_SELECT_MODEL 40013

#define IDC_OPTION_SWITCHES 1046
#define IDC_OPTION_JOYSTICK 1047
#define IDC_QUERY_RESULT 1048
#define IDC_MODEL_USB 1050
#define IDC_MODEL_SERIAL 1051
#define IDC_PORT_SETTINGS 1057

#define IDS_NO_REPLY 2
#define IDS_TEST_COMMAND 3
