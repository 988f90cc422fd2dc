// Edits of LauncherCfg/UpdateCfg.xml that need no pack store, so the
// emergency updater records the launcher's version with the same code.
#pragma once
#include <string>

class TiXmlDocument;

namespace LauncherCfg {

extern const char* const kUpdateCfgPath;  // "LauncherCfg/UpdateCfg.xml"

// Replaces the first Version and ClientVersion under Update; false without Update.
bool SetUpdateCfgVersion(TiXmlDocument* doc, const char* clientVersion, const char* version);
// Leaves exactly one PatchVer under Update, holding version, appended last;
// false without Update.
bool SetUpdateCfgPatchVer(TiXmlDocument* doc, const char* version);

// Both texts through atof and single precision, as the chain compares them;
// the updater refuses a launcher the launcher itself would find older.
bool VersionNewer(const std::string& a, const std::string& b);

}  // namespace LauncherCfg
