// Resource ids of the panel's popups (dialogs 129, 130, 134 and their items).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_UPDATE_NOTES 129
#define IDD_OPTIMIZATION 130
#define IDD_SELECT_LINE 134

// Update notes.
#define IDC_NOTES_NEXT 1003
#define IDC_NOTES_PREVIOUS 1004
#define IDC_NOTES_TEXT 1052
#define IDC_NOTES_VERSION 1053

// Pack optimisation (start is IDOK, close is IDCANCEL).
#define IDC_OPT_LABEL1 1005
#define IDC_OPT_PROGRESS 1006
#define IDC_OPT_PERCENT 1007
#define IDC_OPT_LABEL2 1009
#define IDC_OPT_LABEL3 1010
#define IDC_OPT_LABEL4 1011

// Line choice.
#define IDC_LINE_EXIT 1050
#define IDC_LINE_AUTO 1054
#define IDC_LINE_TELECOM 1055
#define IDC_LINE_NETCOM 1056
