#include "DisplaySettings.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/CfgFileLoader/CfgFileLoader.h"
#include "common/EngineFun/Helper.h"
#include "resource.h"

namespace tunedesk {
namespace {

struct Resolution {
  int width, height;
};
// Radio 1001 + i shows kResolutions[i].
const Resolution kResolutions[] = {{1024, 768},  {1152, 720},  {1152, 864}, {1280, 720},
                                   {1280, 768},  {1280, 800},  {1280, 960}, {1280, 1024},
                                   {1360, 768},  {1440, 900},  {1600, 1024}, {1680, 1050}};
const int kResolutionCount = sizeof(kResolutions) / sizeof(kResolutions[0]);
const int kDefaultResolutionRadio = 1004;

// The key's integer when its line has a non-empty value.
void ReadKey(CfgFileLoader& loader, const char* key, int* value) {
  ScriptLine* line = loader.FindLine(key);
  if (line != nullptr && line->count > 1 && line->tokens[1].text[0] != '\0') *value = loader.GetInt(key);
}

}  // namespace

const char* const kIniName = "tunedesk.ini";

DisplaySettings& Settings() {
  static DisplaySettings settings;
  return settings;
}

bool PlaceInRect(const char* commandLine, int w, int h, int* x, int* y) {
  if (commandLine == nullptr) return false;
  const char* end = strchr(commandLine, ';');
  if (end == nullptr) return false;
  std::string numbers(commandLine, end);
  int l = 0, t = 0, r = 0, b = 0;
  sscanf(numbers.c_str(), "%d,%d,%d,%d", &l, &t, &r, &b);
  // 64-bit: extreme numbers must not overflow into a wrong placement.
  *x = static_cast<int>(l + ((static_cast<int64_t>(r) - l) - w) / 2);
  *y = static_cast<int>(t + ((static_cast<int64_t>(b) - t) - h) / 2);
  return true;
}

int ModeRadio(int mode) {
  switch (mode) {
    case kModeWindow: return IDC_MODE_WINDOW;
    case kModeMaximized: return IDC_MODE_MAXIMIZED;
    case kModeFullScreen: return IDC_MODE_FULLSCREEN;
    default: return 0;
  }
}

int ResolutionRadio(int width, int height) {
  for (int i = 0; i < kResolutionCount; ++i)
    if (kResolutions[i].width == width && kResolutions[i].height == height) return IDC_RES_1024X768 + i;
  return kDefaultResolutionRadio;
}

bool ResolutionOfRadio(int id, int* width, int* height) {
  int i = id - IDC_RES_1024X768;
  if (i < 0 || i >= kResolutionCount) return false;
  *width = kResolutions[i].width;
  *height = kResolutions[i].height;
  return true;
}

bool LoadSettings(const char* path, DisplaySettings* settings) {
  CfgFileLoader loader;
  if (!loader.Load(path)) return false;
  loader.m_pCurrentSection = static_cast<CfgSection*>(loader.m_sectionMap.Find("screen"));
  ReadKey(loader, "displaymode", &settings->mode);
  ReadKey(loader, "screenwidth", &settings->width);
  ReadKey(loader, "screenheight", &settings->height);
  return true;
}

std::string FormatIni(const DisplaySettings& s) {
  char text[512];
  snprintf(text, sizeof(text),
           "[screen]\nfullscreen=%d\ndisplaymode=%d\nscreenwidth=%d\nscreenheight=%d\n"
           "useskinmeshshader=%d\nusehighleveleffect=%d\n",
           s.mode == kModeFullScreen ? 1 : 0, s.mode, s.width, s.height, 0, 1);
  return text;
}

bool SaveSettings(const char* path, const DisplaySettings& settings) {
  std::string temp = std::string(path) + ".new";
  std::string text = FormatIni(settings);
  FILE* f = fopen(temp.c_str(), "w");  // text mode: each line ends in CR LF
  if (f == nullptr) return false;
  bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
  written = fclose(f) == 0 && written;
  if (!written) {
    DeleteFileA(temp.c_str());
    return false;
  }
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!EngineFunc::EngineFunc_ReplaceFile(temp.c_str(), path)) {
    DeleteFileA(temp.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, attributes);  // the old file as it was
    return false;
  }
  return true;
}

}  // namespace tunedesk
