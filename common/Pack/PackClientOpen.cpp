// Opening and closing the client's nine data packs as one set.
#include <windows.h>
#include <direct.h>

#include <cstdio>

#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PackClientState.h"
#include "common/FileSearch.h"

namespace PackClient {

const int kDataPackOpenOrder[9] = {6, 1, 7, 8, 3, 2, 4, 5, 9};

PackSetState& PackSet() {
  static PackSetState state;
  return state;
}

void OpenAllPacks(bool microMode, bool force) {
  SetClientLocale();
  _mkdir("data");
  PackSet().initialised = true;
  PackSet().microMode = microMode;
  for (int number : kDataPackOpenOrder) {
    FilePack::CFilePackIndexMgr* manager = FilePack::ClientPackManager(number);
    char data[32], index[32];
    snprintf(data, sizeof(data), "Data/%03d.pkg", number);
    snprintf(index, sizeof(index), "Data/%03d.pkg1", number);
    if (manager->IsOpen() && !(force && IsInMoveList(data))) continue;
    SetFileAttributesA(data, FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(index, FILE_ATTRIBUTE_NORMAL);
    manager->SetMicroMode(microMode);
    // OpenPack closes first, which puts the default root folder back; a pack
    // that fails stays closed and is tried again next time.
    manager->OpenPack(index, data, true);
  }
}

bool LastOpenedMicroMode() { return PackSet().microMode; }

bool CloseAllPacks() {
  SetClientLocale();
  for (int number : kDataPackOpenOrder) {
    FilePack::CFilePackIndexMgr* manager = FilePack::ClientPackManager(number);
    if (manager->IsOpen()) manager->Close(PackSet().microMode);
  }
  return true;
}

bool HasLooseFilesInPackFolders() {
  SetClientLocale();
  for (int number : kDataPackOpenOrder) {
    char folder[16];
    snprintf(folder, sizeof(folder), "data/%03d", number);
    FileIO::CFileSearch search;
    search.Search(folder, "", false);
    if (!search.m_vecFiles.empty()) return true;
  }
  return false;
}

}  // namespace PackClient
