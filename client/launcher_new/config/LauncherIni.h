// launcher.ini, section [Default]: the addresses the launcher starts from.
#pragma once
#include <string>

namespace LauncherCfg {

struct LauncherIniSettings {
  std::string launcherCfg;     // layout entry in the configuration pack
  std::string url;             // server list, without ".pak"
  std::string backUrl;
  std::string microClientUrl;  // with "/" appended once loaded
  std::string browser;
};

extern const char* const kLauncherIniPath;  // ".\\launcher.ini"
extern const char* const kLauncherIniSection;

// Reads the five keys (defaults where missing) and, unless only looking,
// writes each back at once; then appends "/" to microClientUrl.
void ReadLauncherIni(const char* path, LauncherIniSettings* settings, bool writeBack = true);

// A downloaded address may not carry control characters (CR/LF would add
// keys to the ini) and must fit the 512-byte buffers it is kept in.
bool IsStorableAddress(const char* address);
// Refuses (with a report) what IsStorableAddress refuses, the old value
// stays; else the result of the write.
bool WriteLauncherIniAddress(const char* path, const char* key, const char* address);

LauncherIniSettings& GetLauncherIni();

}  // namespace LauncherCfg

// The process-wide settings from ".\\launcher.ini"; true.
bool LoadLauncherIni();
