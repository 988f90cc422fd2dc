// The moved-aside copies of the data packs ("data/006.pkg2" beside
// "Data/006.pkg"): this system never creates them, only finds them missing,
// deletes them or renames them to "_old".
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "PackClient.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

void Fill(std::vector<MoveAsidePair>& list, std::initializer_list<const char*> numbers) {
  list.clear();
  for (const char* number : numbers) {
    MoveAsidePair pair;
    pair.source.Format("Data/%s.pkg", number);
    pair.target.Format("data/%s.pkg2", number);
    list.push_back(pair);
  }
}

void RemoveTarget(const MoveAsidePair& pair) {
  SetFileAttributesA(pair.target, FILE_ATTRIBUTE_NORMAL);
  remove(pair.target);
}

bool MatchesSource(const std::vector<MoveAsidePair>& list, const CString& path) {
  for (const MoveAsidePair& pair : list)
    if (path.CompareNoCase(pair.source) == 0) return true;
  return false;
}

}  // namespace

std::vector<MoveAsidePair>& MoveAsideListA() {
  static std::vector<MoveAsidePair> list;
  return list;
}

std::vector<MoveAsidePair>& MoveAsideListB() {
  static std::vector<MoveAsidePair> list;
  return list;
}

std::vector<MoveAsidePair>& MoveAsideListAll() {
  static std::vector<MoveAsidePair> list;
  return list;
}

void FillPackPairsA() {
  SetClientLocale();
  Fill(MoveAsideListA(), {"006", "008", "007", "005", "009"});
  FillPackPairsB();
  FillPackPairsAll();
}

void FillPackPairsB() {
  SetClientLocale();
  Fill(MoveAsideListB(), {"004", "003", "001", "002"});
}

void FillPackPairsAll() {
  SetClientLocale();
  Fill(MoveAsideListAll(), {"006", "008", "007", "005", "009", "004", "003", "001", "002"});
}

bool IsInMoveList(const char* path) {
  if (path == nullptr) return false;
  return MatchesSource(MoveAsideListA(), NormalizePath(path));
}

void ListMissingMovedPacks(std::vector<std::string>* out) {
  SetClientLocale();
  if (out == nullptr) return;
  for (const auto* list : {&MoveAsideListA(), &MoveAsideListB()})
    for (const MoveAsidePair& pair : *list)
      if (_access(pair.target, 0) != 0) out->push_back(pair.target.Str());
}

bool DeleteMovedPacks() {
  SetClientLocale();
  // An "_old" goes with its copy: beside the next version's copy it would
  // name the resources that version brought as stale.
  for (const auto* list : {&MoveAsideListA(), &MoveAsideListB()})
    for (const MoveAsidePair& pair : *list) {
      RemoveTarget(pair);
      EngineFunc::EngineFunc_DeleteFile(pair.target + "_old");
    }
  return true;
}

bool DeleteMovedPackFor(const char* path) {
  if (path == nullptr) return false;
  CString name = NormalizePath(path);
  for (const MoveAsidePair& pair : MoveAsideListA())
    if (name.CompareNoCase(pair.source) == 0) RemoveTarget(pair);
  return true;
}

bool IsMovedPackName(const char* path) {
  if (path == nullptr) return false;
  CString name = NormalizePath(path);
  for (const MoveAsidePair& pair : MoveAsideListAll())
    if (name.CompareNoCase(pair.target) == 0) return true;
  return false;
}

bool RenameMovedPacksToOld(std::vector<std::string>* paths) {
  SetClientLocale();
  if (paths == nullptr) return false;
  bool any = false;
  for (const std::string& path : *paths) {
    if (!IsMovedPackName(path.c_str())) continue;
    any = true;
    if (_access(path.c_str(), 0) != 0) continue;
    // An "_old" that stands is the index the pack's contents match, still to
    // be reconciled: a copy beside it that fails its checksum is a failed
    // refetch and goes instead.
    std::string old = path + "_old";
    if (_access(old.c_str(), 0) == 0)
      EngineFunc::EngineFunc_DeleteFile(path.c_str());
    else
      rename(path.c_str(), old.c_str());
  }
  return any;
}

}  // namespace PackClient
