#include "PatchFolders.h"

#include <windows.h>
#include <direct.h>

#include <cstdio>
#include <string>

#include "PackClient.h"
#include "common/FileSearch.h"

namespace PackClient {
namespace {

// The search would list the current folder for "" and the drive for "/".
bool NamesNoFolder(const char* folder) {
  std::string name(folder);
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  return name.find_first_not_of("/\\. ") == std::string::npos;
}

}  // namespace

void CreateFolders(const char* path) {
  if (path == nullptr) return;
  CString p = NormalizePath(path);
  for (int slash = p.Find('/'); slash >= 0; slash = p.Find('/', slash + 1)) {
    if (slash > 0) _mkdir(p.Left(slash));
  }
}

void DeleteFolderTree(const char* folder, bool removeSelf) {
  SetClientLocale();
  if (folder == nullptr || NamesNoFolder(folder)) return;
  FileIO::CFileSearch search;
  search.Search(folder, "", true);
  for (auto it = search.m_vecFiles.rbegin(); it != search.m_vecFiles.rend(); ++it) {
    SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
    remove(it->c_str());
  }
  for (auto it = search.m_vecFolders.rbegin(); it != search.m_vecFolders.rend(); ++it) _rmdir(it->c_str());
  if (removeSelf) _rmdir(folder);
}

}  // namespace PackClient
