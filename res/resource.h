#pragma once
// Resource identifiers shared by the resource script and the code.

// Dialog templates and strings.
#define IDD_ABOUT 100
#define IDS_ABOUT 101
#define IDD_MAIN 102
#define IDD_PORTS 103
#define IDS_PORTS 104

// The file-open dialog's filter: entries of "shown text|pattern|", ended by "|".
#define IDS_BANNER_FILTER 110

// What the operator is told when a run stops; %1 is the port's name.
#define IDS_PORT_MISSING 120
#define IDS_PORT_NO_SUCH 121
#define IDS_PORT_IN_USE 122
#define IDS_PORT_ACCESS_DENIED 123
#define IDS_PORT_WENT_AWAY 124
#define IDS_PORT_OTHER 125  // %2 is the system's own words
#define IDS_UNIT_NO_ANSWER 130
#define IDS_UNIT_NO_CTS 131
#define IDS_TRANSMITTER_STUCK 132
#define IDS_RECEIVER_FLOODED 133
#define IDS_RUN_STOPPED 134

// The ports dialog: its caption and labels, a port the computer does not
// have (%1 its name), and why OK did not keep the choice.
#define IDS_PORTS_CAPTION 140
#define IDS_PORTS_PORT1 141
#define IDS_PORTS_PORT2 142
#define IDS_PORTS_ABSENT 143
#define IDS_PORTS_SAME 144       // %1 is the port both would lead to
#define IDS_PORTS_NOT_SAVED 145  // %1 is the file, %2 the system's own words

// The application icon.
#define IDI_MAIN 128

// Controls of the main dialog.
#define IDC_PROGRAM 3
#define IDC_PORT1 1000
#define IDC_PORT2 1001
#define IDC_PROGRESS 1002
#define IDC_MESSAGE 1003
#define IDC_LOAD 1004

// Controls of the ports dialog: which port each button leads to, and their labels.
#define IDC_PORT1_LEADS 1010
#define IDC_PORT2_LEADS 1011
#define IDC_PORT1_LABEL 1012
#define IDC_PORT2_LABEL 1013

// The items appended to the system menu: the ports dialog, then the About
// box. System commands keep their low four bits for the system's own use, so
// each value is a multiple of 16.
#define IDM_ABOUT 0x0010
#define IDM_PORTS 0x0020

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
