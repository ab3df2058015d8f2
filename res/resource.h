// Every resource, control, command and string id of the program. Included by
// the code and by the resource script, so it holds nothing but #defines.
#pragma once

#define IDI_KMXHOOKS 101
#define IDD_MAIN 201
#define IDM_CONTEXT 301

// Controls of the main dialog; the help strings share these ids.
#define IDC_APPLIST 1010
#define IDC_GETUPDATERECT 1011
#define IDC_TIMER 1012
#define IDC_KEYPRESS 1013
#define IDC_LBUTTONUP 1014
#define IDC_MBUTTONUP 1015
#define IDC_RBUTTONUP 1016
#define IDC_DEFERRAL 1017

// Context menu commands.
#define IDM_DELETE 1100
#define IDM_RESET 1101
#define IDM_IMPORT 1102
#define IDM_EXPORT 1103
#define IDM_ADDNEW 1104
