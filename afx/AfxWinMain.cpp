// Linked only into programs: the entry the C run-time calls.
#include "AfxApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) { return AfxWinMain(instance, show); }
