// Resource ids of tunedesk.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TUNEDESK_DIALOG 102
#define IDR_MAINFRAME 128

// Resolution radios, three to a row in id order.
#define IDC_RES_1024X768 1001
#define IDC_RES_1680X1050 1012
#define IDC_MODE_WINDOW 1014
#define IDC_MODE_MAXIMIZED 1015
#define IDC_MODE_FULLSCREEN 1016

#define IDM_ABOUTBOX 0x0010
#define IDC_STATIC -1
