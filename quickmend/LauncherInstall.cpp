#include "LauncherInstall.h"

#include <io.h>
#include <windows.h>

#include <string>

#include "UpdateCfgEdit.h"
#include "XmlSave.h"
#include "common/EngineFun/Helper.h"
#include "common/LauncherPack/LauncherPack.h"
#include "common/Pack/XmlParse.h"
#include "common/ScopedHandle.h"
#include "tinyxml.h"

const char* const kLauncherExe = "zarn_launcher.exe";
const char* const kLauncherPackage = "launcher.pak";

CString PackageUrl(const CString& url) {
  CString lower(url);
  lower.MakeLower();
  return lower + ".pak";
}

CString RequiredLauncherVersion(const CString& url) {
  int slash = url.ReverseFind('/');
  return slash < 0 ? url : url.Mid(slash + 1);
}

bool LauncherFolderOk() {
  char folder[255];
  DWORD length = GetCurrentDirectoryA(sizeof(folder), folder);
  // 0 is a failure; the buffer size or more is the size the folder needs.
  if (length == 0 || length >= sizeof(folder)) return false;
  char path[255];
  if (EngineFunc::EngineFunc_Sprintf(path, sizeof(path), "%s/%s", folder, kLauncherExe) != 1) return false;
  return _access(path, 0) == 0;
}

InstallResult InstallLauncherPackage(const char* requiredVersion) {
  std::string version;
  LauncherPackAccept notOlder = [](const std::string& packaged, void* required) {
    return !LauncherCfg::VersionNewer(static_cast<const char*>(required), packaged);
  };
  LauncherPackResult rc = UnpackLauncherPack(kLauncherPackage, kLauncherExe, &version,
                                             requiredVersion != nullptr ? notOlder : nullptr,
                                             const_cast<char*>(requiredVersion));
  if (rc == LAUNCHERPACK_REFUSED) return INSTALL_OUTDATED;
  if (rc != LAUNCHERPACK_OK) return INSTALL_UNPACK_FAILED;
  LauncherCfg::MakeWritable(kLauncherPackage);
  DeleteFileA(kLauncherPackage);
  return WritePatchVersion(version.c_str()) ? INSTALL_OK : INSTALL_VERSION_FAILED;
}

bool WritePatchVersion(const char* version) {
  const char* path = LauncherCfg::kUpdateCfgPath;
  LauncherCfg::MakeWritable(path);
  TiXmlDocument doc;
  if (!LoadXmlFile(doc, path) || !LauncherCfg::SetUpdateCfgPatchVer(&doc, version)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "写入版本号失败:%s", path);
    return false;
  }
  return LauncherCfg::SaveXmlDocumentReplacing(doc, path);
}

bool StartLauncher() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  char commandLine[] = "1";
  if (!CreateProcessA(kLauncherExe, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "启动%s失败,错误代码%lu", kLauncherExe,
                                       GetLastError());
    return false;
  }
  ScopedHandle thread(info.hThread), process(info.hProcess);
  return true;
}
