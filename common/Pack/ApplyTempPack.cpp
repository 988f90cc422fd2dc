// Applying the inner "temppack" of a downloaded patch: its loose files, then
// its delete list; its version list goes back to the caller.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ApplyPack.h"
#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PackKeys.h"
#include "PatchFolders.h"
#include "PatchPath.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

const size_t kNewNameBuffer = 260;

bool IsListName(const std::string& key) {
  return key.find("versioninfo_") != std::string::npos || key.find("delinfo_") != std::string::npos;
}

// A library the running launcher may hold is written as "<name>_new.dll".
bool InUseLibrary(const std::string& key) {
  return key.find("lumivard.dll") != std::string::npos || IsBrowserPluginName(key.c_str());
}

bool WriteLooseFile(FilePack::CFilePackIndexMgr& pack, const std::string& key) {
  std::string target = key;
  if (InUseLibrary(key)) {
    std::string stem(key.c_str(), key.size() + 1);
    PathRemoveExtensionA(&stem[0]);
    char fresh[kNewNameBuffer];
    int n = snprintf(fresh, sizeof(fresh), "%s%s%s", stem.c_str(), "_new", ".dll");
    if (n < 0 || static_cast<size_t>(n) >= sizeof(fresh)) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件名太长:%s", key.c_str());
      return true;  // skipped: the old library goes on working
    }
    target = fresh;
    EngineFunc::EngineFunc_DeleteFile(target.c_str());
  }
  if (GetFileAttributesA(key.c_str()) == INVALID_FILE_ATTRIBUTES) CreateFolders(key.c_str());
  return pack.ExtractFile(key.c_str(), target.c_str());
}

}  // namespace

bool ApplyTempPack(const char* p, std::vector<FileEntry>* versionList) {
  SetClientLocale();
  if (p == nullptr || versionList == nullptr) return false;
  CString path(p), folder(p);
  int slash = path.ReverseFind('\\');
  if (slash >= 0) folder = path.Left(slash + 1);
  if (!ExtractPackToFolder(p, folder)) return false;

  const std::string index = std::string(folder) + "/temppack.pkg1", data = std::string(folder) + "/temppack.pkg";
  FilePack::CFilePackIndexMgr pack;
  std::vector<std::string> keys;
  if (!pack.OpenPack(index.c_str(), data.c_str(), false)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 打开失败", data.c_str());
    return false;
  }
  if (!ReadPackKeysInOrder(index.c_str(), &keys)) return false;
  for (const std::string& key : keys) {
    if (IsListName(key)) continue;
    if (!CheckClientPath(key.c_str())) return false;
    // Records are the micro client's bookkeeping of its own downloads; one
    // in a patch could only name a file of another machine, or any file.
    if (IsResourceRecordName(key)) {
      EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "补丁不能带资源记录:%s", key.c_str());
      return false;
    }
  }

  std::string versionName, deleteName;
  bool written = true;
  for (const std::string& key : keys) {
    if (key.find("versioninfo_") != std::string::npos)
      versionName = key;
    else if (key.find("delinfo_") != std::string::npos)
      deleteName = key;
    else
      written = WriteLooseFile(pack, key) && written;
  }
  // A file that could not be written leaves this version unapplied.
  if (!written) return false;

  if (!deleteName.empty()) {
    std::vector<FileEntry> deletes;
    if (!ReadFileListFromPack(deleteName.c_str(), &pack, &deletes, true) || deletes.empty()) return false;
    if (!ApplyDeleteList(&deletes)) return false;
  }
  if (versionName.empty()) return false;
  return ReadFileListFromPack(versionName.c_str(), &pack, versionList, false);
}

}  // namespace PackClient

bool IsBrowserPluginName(CString name) { return name.Find("brellisk.dll") >= 0 || name.Find("tavernix.dll") >= 0; }
