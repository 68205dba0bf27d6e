// Control ids of the dialog templates, shared by the resource script and the code.
#pragma once

#define IDC_CONTINUE 1001
#define IDC_STOP 1003
#define IDC_TEXT 1005
#define IDC_PROGRESS_FRAME 1007
#define IDC_HEADING 1009
#define IDC_STATUS 1011
#define IDC_BROWSE 1013
#define IDC_DIRECTORY 1015
#define IDC_LANGUAGE_LIST 1017
