// What tunedesk edits: the game's display mode and resolution, read from and
// written to its display ini. Pure rules here; the dialog calls them.
#pragma once
#include <string>

namespace tunedesk {

enum DisplayMode { kModeWindow = 0, kModeMaximized = 1, kModeFullScreen = 2 };

struct DisplaySettings {
  int mode = kModeFullScreen;
  int width = 1024;
  int height = 768;
};

// The program's settings (initially full screen, 1024 by 768).
DisplaySettings& Settings();

extern const char* const kIniName;  // "tunedesk.ini", in the current folder

// The dialog's top-left to centre a w x h window in the rectangle
// "L,T,R,B;" of the command line; false (nothing to do) without a ";".
bool PlaceInRect(const char* commandLine, int w, int h, int* x, int* y);

// Radio ids: 1014/1015/1016 for the modes (0 for any other mode); the
// resolution radio of a pair (1004 for every pair not in the table).
int ModeRadio(int mode);
int ResolutionRadio(int width, int height);
// The pair of a resolution radio 1001..1012; false for other ids.
bool ResolutionOfRadio(int id, int* width, int* height);

// Reads the keys of section [screen] that are present; false when the file
// could not be opened (the settings are then untouched).
bool LoadSettings(const char* path, DisplaySettings* settings);
// The seven lines of the display ini, with "\n" line ends.
std::string FormatIni(const DisplaySettings& settings);
// Writes the ini in text mode beside the old one and then replaces it, so a
// failed write leaves the old file as it was. False on any failure.
bool SaveSettings(const char* path, const DisplaySettings& settings);

}  // namespace tunedesk
