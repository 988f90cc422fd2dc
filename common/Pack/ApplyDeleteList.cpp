// Applying a patch's delete list: whole folders (on disk and in every client
// data pack), pack entries and loose files.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ApplyPack.h"
#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PackClientState.h"
#include "PackKeys.h"
#include "PatchFolders.h"

namespace PackClient {
namespace {

// Pack keys are compared as the pack store normalises them; the launcher
// pack is not a data pack and keeps its names.
bool DeleteFolderFromPacks(const CString& folder) {
  const std::string prefix = FilePack::NormalizeKey(folder);
  bool ok = true;
  for (int number : kDataPackOpenOrder) {
    FilePack::CFilePackIndexMgr* manager = FilePack::ClientPackManager(number);
    bool marked = false;
    for (const std::string& key : OpenPackKeys(manager))
      if (key.compare(0, prefix.size(), prefix) == 0) marked = manager->DeleteFile(key.c_str()) || marked;
    if (marked) ok = manager->SaveChanges() && ok;
  }
  return ok;
}

}  // namespace

}  // namespace PackClient

using PackClient::FileEntry;

bool ApplyDeleteList(std::vector<FileEntry>* list) {
  PackClient::SetClientLocale();
  if (list == nullptr || list->empty()) return false;
  // Nothing is deleted unless every name stays inside the client folder.
  if (!PackClient::FileListStaysInClient(*list)) return false;
  bool ok = true;
  for (const FileEntry& entry : *list) {
    if (!entry.deleteFolder) continue;
    ok = PackClient::DeleteFolderFromPacks(entry.name) && ok;
    PackClient::DeleteFolderTree(entry.name, true);
  }
  // Entries are taken first to last; a pack's entries go in one save.
  std::vector<bool> taken(list->size(), false);
  for (size_t i = 0; i < list->size(); ++i) {
    if (taken[i]) continue;
    const FileEntry& first = (*list)[i];
    if (first.deleteFolder) continue;
    if (!first.inPack) {
      SetFileAttributesA(first.name, FILE_ATTRIBUTE_NORMAL);
      remove(first.name);
      continue;
    }
    FilePack::CFilePackIndexMgr* manager = PackClient::GetPackManagerForPath(first.location);
    if (manager == nullptr || !manager->IsOpen()) continue;
    bool marked = false;
    for (size_t j = i; j < list->size(); ++j) {
      const FileEntry& entry = (*list)[j];
      if (taken[j] || !entry.inPack || entry.location != first.location) continue;
      taken[j] = true;
      marked = manager->DeleteFile(entry.name) || marked;
    }
    if (marked) ok = manager->SaveChanges() && ok;
  }
  list->clear();
  return ok;
}
