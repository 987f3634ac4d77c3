// Identifiers of the program's resources and dialog items, shared by the
// resource script and the window code.
#ifndef QUORVANE_RES_RESOURCE_IDS_H
#define QUORVANE_RES_RESOURCE_IDS_H

#define IDI_PROGRAM 128
#define IDD_MAIN 141
#define IDD_MSGBOX 142
#define IDB_ICON_INFORMATION 152
#define IDB_ICON_QUESTION 153
#define IDB_ICON_WARNING 154
#define IDB_ICON_ERROR 155
#define IDB_SKIN 156

/* Main window */
#define IDC_OK_BUTTON 1070
#define IDC_SCAN 1052
#define IDC_DOWNLOAD 1053
#define IDC_CLOSE_BOX 1054
#define IDC_STATUS_FRAME 1064
#define IDC_STATUS 1065
#define IDC_SEARCHING 1076
#define IDC_FAMILY_LINE 1068
#define IDC_SUITE_LINE 1075
#define IDC_COPYRIGHT 1072
#define IDC_TITLE_LINE 1074
#define IDC_SUITE_BANNER 1077
#define IDC_TOOLS_BANNER 1080
#define IDC_LOGO 1085
#define IDC_LIST_FRAME 1034
#define IDC_RESULT_LIST 1055

/* Message box */
#define IDC_MSG_ICON 1085
#define IDC_MSG_TEXT 1086
#define IDC_MSG_LONE_OK 3
#define IDC_MSG_YES 6
#define IDC_MSG_NO 7

#endif
