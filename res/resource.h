#pragma once
// Resource identifiers shared by the resource script and the code.

// Dialog templates and strings.
#define IDD_ABOUT 100
#define IDS_ABOUT 101
#define IDD_MAIN 102

// The application icon.
#define IDI_MAIN 128

// Controls of the main dialog.
#define IDC_PROGRAM 3
#define IDC_PORT1 1000
#define IDC_PORT2 1001
#define IDC_PROGRESS 1002
#define IDC_MESSAGE 1003
#define IDC_LOAD 1004

// The About item appended to the system menu. System commands keep their low
// four bits for the system's own use, so the value is a multiple of 16.
#define IDM_ABOUT 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
