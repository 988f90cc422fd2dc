// LauncherCfg/UpdateCfg.xml: the installed client and launcher versions.
#pragma once
#include <string>

#include "UpdateCfgEdit.h"

namespace LauncherCfg {

extern const char* const kDefaultClientVersion;  // "0.0.0.0 build 0"

struct UpdateCfg {
  std::string version;        // the local Version
  std::string clientVersion;  // display version
  std::string patchVer;       // the launcher's own version
  bool superVar = false;      // show the optimisation button
  bool superVar1 = false;     // skip the client file check
};

// Fills cfg from a loaded document; false (cfg untouched, *error set to
// text 18 formatted) without Update, Version or PatchVer.
bool ParseUpdateCfg(const TiXmlDocument& doc, UpdateCfg* cfg, std::string* error);

UpdateCfg& GetLocalUpdateCfg();

}  // namespace LauncherCfg

// Reads the file into the process-wide local versions.
bool LoadUpdateCfg();
// Rewrites Version and ClientVersion; the result of the save.
bool SaveUpdateCfgVersion(const char* clientVersion, const char* version);
