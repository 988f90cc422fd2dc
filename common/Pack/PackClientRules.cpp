// The path-to-pack rule and the slot tables.
#include <windows.h>
#include <shlwapi.h>

#include <initializer_list>

#include "FilePackIndexMgr.h"
#include "PackClient.h"

namespace PackClient {
namespace {

struct SlotInfo {
  const char* packFile;  // null: the slot has no pack
  const char* folder;
  int packNumber;  // ClientPackManager number, 0 for none
};

// Not in pack-number order: the slot numbers are what callers store.
const SlotInfo kSlots[11] = {
    {"Data/001.pkg", "data/001", 1},         {"Data/002.pkg", "data/002", 2}, {"Data/004.pkg", "data/004", 4},
    {"Data/006.pkg", "data/006", 6},         {"Data/003.pkg", "data/003", 3},
    {"LauncherCfg/010.pkg", "launchercfg/010", 10},
    {"Data/008.pkg", "data/008", 8},         {"Data/007.pkg", "data/007", 7}, {nullptr, "data/script", 0},
    {"Data/005.pkg", "data/005", 5},         {"Data/009.pkg", "data/009", 9},
};

const int kLauncherSlot = 5;

bool Has(const CString& text, const char* part) { return text.Find(part) >= 0; }

bool HasAny(const CString& text, std::initializer_list<const char*> parts) {
  for (const char* part : parts)
    if (Has(text, part)) return true;
  return false;
}

bool XmlOrIni(const CString& e) { return HasAny(e, {".xml", ".ini"}); }
bool Image(const CString& e) { return HasAny(e, {".dds", ".bmp", ".tga", ".png"}); }

PackSlot PackFileSlot(const CString& p) {
  static const struct {
    const char* part;
    PackSlot slot;
  } kPackFiles[] = {{"data/006", 3}, {"data/008", 6}, {"data/007", 7},        {"data/004", 2}, {"data/002", 1},
                    {"data/001", 0}, {"launchercfg/010", 5}, {"data/003", 4}, {"data/005", 9}, {"data/009", 10}};
  for (const auto& pack : kPackFiles) {
    if (!Has(p, pack.part)) continue;
    if (pack.slot == 4 && Has(p, "data/shadertexture")) continue;
    return pack.slot;
  }
  return kNoPackSlot;
}

PackSlot GeneralRuleSlot(const CString& p, const CString& e) {
  if (Has(p, "launchercfg")) return 5;
  if (Has(p, "config")) return 2;
  if (Has(p, "data/scripts")) return 2;
  if (HasAny(p, {"data/textures", "terrain", "avatar.dds"})) return 6;
  if (Has(p, "data/world")) {
    if (HasAny(e, {".cld", ".vol", ".dls"})) return 10;
    if (HasAny(e, {".dds", ".bmp", ".png"})) return 6;  // no ".tga" here
    if (HasAny(e, {".xml", ".ini", ".path"})) return 2;
    if (Has(e, ".mdl2")) return 7;
    return 3;
  }
  if (Has(p, "ui")) {
    if (Image(e)) return 6;
    if (XmlOrIni(e)) return 2;
    if (Has(e, ".ui")) return 1;
  }
  if (Has(p, "tbl")) return Has(e, ".tbl") ? 0 : 2;
  const bool shaderTexture = Has(p, "data/shadertexture");
  if (Has(p, "data/shader") && !shaderTexture) return Has(e, ".xml") ? 2 : 4;
  if (Has(p, "data/effect") && XmlOrIni(e)) return 2;
  if (Has(p, "data/avatar")) return XmlOrIni(e) ? 2 : Image(e) ? 6 : 7;
  if (Has(p, "data/models")) return Image(e) ? 6 : 7;
  if (Has(p, "data/sceneobjs")) return XmlOrIni(e) ? 2 : Image(e) ? 6 : 7;
  if (HasAny(p, {"data/sound", "data/music"})) return 9;
  if (shaderTexture && Image(e)) return 6;
  if (Has(p, "data/defaultdata")) return Image(e) ? 6 : 7;
  return kNoPackSlot;
}

PackSlot SlotForPath(const CString& p) {
  if (!Has(p, "/")) return Has(p, "splash.dds") ? 2 : kNoPackSlot;
  // The platform's own extension rule: from the last "." that follows the
  // last "\\" or space, so a dotted folder name can give the extension.
  const CString e(PathFindExtensionA(p));
  if (Has(e, ".pkg1") && HasAny(p, {"data/007.pkg2", "data/005.pkg2", "data/008.pkg2", "data/006.pkg2", "data/004.pkg2",
                                   "data/003.pkg2", "data/001.pkg2", "data/002.pkg2", "data/009.pkg2"}))
    return kNoPackSlot;
  if (Has(e, ".pkg")) {
    PackSlot slot = PackFileSlot(p);
    if (slot != kNoPackSlot) return slot;
  }
  return GeneralRuleSlot(p, e);
}

}  // namespace

void SetClientLocale() { FilePack::SetPackLocale("Chinese-simplified"); }

CString NormalizePath(CString path) {
  SetClientLocale();
  path.Replace('\\', '/');
  path.MakeLower();
  return path;
}

bool GetPackForPath(CString path, int* slot, CString* packName) {
  PackSlot found = SlotForPath(NormalizePath(path));
  if (found == kNoPackSlot) return false;
  if (slot != nullptr) *slot = found;
  if (packName != nullptr) *packName = kSlots[found].packFile;
  return true;
}

FilePack::CFilePackIndexMgr* GetPackManager(int slot, bool excludeLauncherPack) {
  SetClientLocale();
  if (slot < 0 || slot > 10 || kSlots[slot].packNumber == 0) return nullptr;
  if (slot == kLauncherSlot && excludeLauncherPack) return nullptr;
  return FilePack::ClientPackManager(kSlots[slot].packNumber);
}

FilePack::CFilePackIndexMgr* GetPackManagerForPath(const char* path) {
  if (path == nullptr) return nullptr;
  int slot = kNoPackSlot;
  if (!GetPackForPath(path, &slot, nullptr)) return nullptr;
  return GetPackManager(slot, false);
}

const char* GetPackFolderName(int slot) {
  SetClientLocale();
  if (slot < 1 || slot > 10) return kSlots[0].folder;
  return kSlots[slot].folder;
}

int GetSlotOfPackName(const char* packName) {
  if (packName == nullptr) return kNoPackSlot;
  CString name = NormalizePath(packName);
  static const PackSlot kOrder[] = {3, 6, 0, 7, 1, 2, 4, 9, 5, 10};
  for (PackSlot slot : kOrder)
    if (name.CompareNoCase(kSlots[slot].packFile) == 0) return slot;
  return kNoPackSlot;
}

bool IsPackDataName(const char* name) { return CString(name).Right(4).CompareNoCase(".pkg") == 0; }

CString IndexNameOfPack(const char* packName) {
  CString index(packName);
  if (IsPackDataName(index)) index += "1";
  return index;
}

bool IsSpecialClientFile(const char* path) {
  CString p = NormalizePath(path);
  return HasAny(p, {"zarn_client.exe", "data/item.pak", "kestrand.dll", "zarn_client.pdb"});
}

}  // namespace PackClient
