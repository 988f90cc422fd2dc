// Resource ids of Quickmend.
#pragma once

#define IDD_QUICKMEND_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_PROGRESS 1000
#define IDC_STATUS 1001
#define IDC_RETRY 1003
