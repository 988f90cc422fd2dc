#include "LauncherIni.h"

#include <windows.h>

#include <cstring>

#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"

namespace LauncherCfg {

const char* const kLauncherIniPath = ".\\launcher.ini";
const char* const kLauncherIniSection = "Default";

namespace {

const size_t kAddressBuffer = 512;

struct IniKey {
  const char* name;
  const char* fallback;
  size_t buffer;
  std::string LauncherIniSettings::*field;
};

const char kServerListDefault[] = "http://patch.zarngame.com/zarngameindex/serverlist/serverlist";

const IniKey kKeys[] = {
    {"LauncherCfg", "LauncherCfg\\LauncherCfg.xml", 256, &LauncherIniSettings::launcherCfg},
    {"URL", kServerListDefault, kAddressBuffer, &LauncherIniSettings::url},
    {"BackURL", kServerListDefault, kAddressBuffer, &LauncherIniSettings::backUrl},
    {"MicroClientURL", "http://patch.zarngame.com/zarngameindex/zarnmicroclient", kAddressBuffer,
     &LauncherIniSettings::microClientUrl},
    {"browser", "http://www.zarngame.com/load/pclauncher", kAddressBuffer, &LauncherIniSettings::browser},
};

}  // namespace

void ReadLauncherIni(const char* path, LauncherIniSettings* settings, bool writeBack) {
  char buffer[kAddressBuffer];
  for (const IniKey& key : kKeys) {
    GetPrivateProfileStringA(kLauncherIniSection, key.name, key.fallback, buffer, static_cast<DWORD>(key.buffer), path);
    if (writeBack) WritePrivateProfileStringA(kLauncherIniSection, key.name, buffer, path);
    settings->*key.field = buffer;
  }
  settings->microClientUrl += "/";
}

bool IsStorableAddress(const char* address) {
  if (address == nullptr || strlen(address) + 1 >= kAddressBuffer) return false;  // room for the "/"
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(address); *p != 0; ++p)
    if (*p < 0x20 || *p == 0x7F) return false;
  return true;
}

bool WriteLauncherIniAddress(const char* path, const char* key, const char* address) {
  if (!IsStorableAddress(address)) {
    ENGINE_REPORT("false&&\"下载的地址含有控制字符或太长\"");
    return false;
  }
  return WritePrivateProfileStringA(kLauncherIniSection, key, address, path) != FALSE;
}

LauncherIniSettings& GetLauncherIni() { return util::Singleton<LauncherIniSettings>::GetInstance(); }

}  // namespace LauncherCfg

bool LoadLauncherIni() {
  LauncherCfg::ReadLauncherIni(LauncherCfg::kLauncherIniPath, &LauncherCfg::GetLauncherIni());
  return true;
}
