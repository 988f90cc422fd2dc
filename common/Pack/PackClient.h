// The client's set of data packs: which pack a file belongs in, the pack
// numbering, the moved-aside copies, and opening or closing the whole set.
#pragma once
#include <string>
#include <vector>

#include "afx/AfxString.h"

namespace FilePack {
class CFilePackIndexMgr;
}

namespace PackClient {

// 0..10 by the slot table of PackClientRules.cpp; 11 means no pack.
typedef int PackSlot;
const PackSlot kNoPackSlot = 11;

// "\\" to "/" and ASCII lower case; double-byte characters stay whole.
CString NormalizePath(CString path);
bool GetPackForPath(CString path, int* slot, CString* packName);
FilePack::CFilePackIndexMgr* GetPackManagerForPath(const char* path);
FilePack::CFilePackIndexMgr* GetPackManager(int slot, bool excludeLauncherPack);
const char* GetPackFolderName(int slot);
int GetSlotOfPackName(const char* packName);
// A pack's data file name ends in ".pkg" (any case).
bool IsPackDataName(const char* name);
// "Data/006.pkg" -> "Data/006.pkg1".
CString IndexNameOfPack(const char* packName);
// The client files a version list keeps without deletes.
bool IsSpecialClientFile(const char* path);

// A pack's data file and its moved-aside copy ("Data/006.pkg", "data/006.pkg2").
struct MoveAsidePair {
  CString source;
  CString target;
};
std::vector<MoveAsidePair>& MoveAsideListA();
std::vector<MoveAsidePair>& MoveAsideListB();
std::vector<MoveAsidePair>& MoveAsideListAll();

void FillPackPairsA();  // fills all three lists
void FillPackPairsB();
void FillPackPairsAll();
bool IsInMoveList(const char* path);
void ListMissingMovedPacks(std::vector<std::string>* out);
bool DeleteMovedPacks();
bool DeleteMovedPackFor(const char* path);
bool IsMovedPackName(const char* path);
bool RenameMovedPacksToOld(std::vector<std::string>* paths);

void OpenAllPacks(bool microMode, bool force);
// The micro-client mode that OpenAllPacks was last given.
bool LastOpenedMicroMode();
bool CloseAllPacks();
bool HasLooseFilesInPackFolders();
// Merges the loose resource folders into the closed packs and reopens them;
// progress (may be null) gets (merged, to merge) as the merge goes on.
bool EnsurePacksReady(bool microMode, void (*progress)(int merged, int toMerge));

// Every function of this module runs under the Chinese locale.
void SetClientLocale();

}  // namespace PackClient
