// Unpacking a downloaded pack into a folder.
#include <string>
#include <vector>

#include "ApplyPack.h"
#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PackKeys.h"
#include "PatchFolders.h"
#include "PatchPath.h"

namespace PackClient {

bool ExtractPackToFolder(const char* p, const char* folder) {
  SetClientLocale();
  if (p == nullptr || folder == nullptr) return false;
  const std::string data = std::string(p) + ".pkg", index = std::string(p) + ".pkg1";
  FilePack::CFilePackIndexMgr pack;
  if (!pack.OpenPack(index.c_str(), data.c_str(), false)) return false;
  const std::vector<std::string> keys = OpenPackKeys(&pack);
  // Every name is checked before the first file is written.
  for (const std::string& key : keys)
    if (!CheckClientPath(key.c_str())) return false;
  bool ok = true;
  for (const std::string& key : keys) {
    std::string target = std::string(folder) + key;
    CreateFolders(target.c_str());
    ok = pack.ExtractFile(key.c_str(), target.c_str()) && ok;
  }
  return ok;
}

}  // namespace PackClient
