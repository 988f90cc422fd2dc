// LauncherCfg/config.xml: the player's choices kept by the main window.
#pragma once
#include <cstdint>
#include <string>

class TiXmlDocument;

namespace LauncherCfg {

extern const char* const kUserConfigPath;  // "LauncherCfg/config.xml"

struct UserConfig {
  int32_t bigArea = 0;
  int32_t serverIndex = -1;
  std::string serverName;
  int32_t agree = 1;
  int32_t controlMode = 2;
  double smallMapScale = 0.0;
  int32_t playerIndex = 0;
  std::string playerName;
  bool microClientOpen = true;
  bool webMode = true;  // WebModeFlag: set by any MicroClient element, never cleared
  int32_t line = 0;     // 0 automatic, 1 telecom, 2 netcom
};

// Reads what the document holds; missing elements leave their fields.
void ParseUserConfig(const TiXmlDocument& doc, UserConfig* cfg);
// The document in file order, declaration "1.0", "gb123", "yes".
void BuildUserConfigDocument(const UserConfig& cfg, TiXmlDocument* doc);

// The process-wide copy of the MicroClient-open flag that the pack side reads.
bool MicroClientOpenFlag();
void SetMicroClientOpenFlag(bool open);

// config.xml at path into cfg; false (cfg unchanged) when it cannot be loaded.
bool LoadUserConfigFile(const char* path, UserConfig* cfg);
// Writes cfg to path; the result of the write.
bool SaveUserConfigFile(const char* path, const UserConfig& cfg);

}  // namespace LauncherCfg
