// Resource ids of zarn_launcher.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ZARN_LAUNCHER_DIALOG 102
#define IDD_CHILD_CONTROL 132
