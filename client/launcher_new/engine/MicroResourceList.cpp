// What a micro client must hold before the game starts: the files of its
// download list, the resources its packs' micro indexes name but the packs
// lack, and the configuration files that patches took out of the packs.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ClientCheck.h"
#include "MicroClientCheck.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchPath.h"
#include "common/Pack/XmlParse.h"
#include "tinyxml.h"

namespace {

const char kDownloadList[] = "launchercfg/downloadlist.xml";
const int kLastSlot = 10;
// A pack key is a record name: at most 255 characters.
const size_t kMaxKey = sizeof(PackIndexRecord::name) - 1;

// The slot of a Pack element, or -1 when its text names none.
int SlotOf(const TiXmlElement& pack) {
  const TiXmlNode* first = pack.FirstChild();
  const TiXmlText* text = first != nullptr ? first->ToText() : nullptr;
  if (text == nullptr) return -1;
  errno = 0;
  char* end = nullptr;
  long slot = strtol(text->Value(), &end, 10);
  if (end == text->Value() || errno != 0 || slot < 0 || slot > kLastSlot) return -1;
  return static_cast<int>(slot);
}

bool IsListedName(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  if (strlen(name) > kMaxKey) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件名太长:%.64s", name);
    return false;
  }
  return PackClient::CheckClientPath(name);  // reported, never followed
}

// The game fetches these packs' resources itself as it needs them; only
// their listed files are the launcher's to provide.
bool FilledByTheGame(int slot) { return slot == 3 || slot == 6 || slot == 7 || slot == 9 || slot == 10; }

bool NeitherPathNorBitmap(const std::string& key) {
  return key.find(".path") == std::string::npos && key.find(".bmp") == std::string::npos;
}

void AddMissingIndexed(int slot, MicroResourceMap* map) {
  if (FilledByTheGame(slot)) return;
  FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManager(slot, PackClient::LastOpenedMicroMode());
  if (pack == nullptr) return;
  const char* folder = PackClient::GetPackFolderName(slot);
  for (const std::string& key : pack->MissingMicroKeys(slot == 2 ? &NeitherPathNorBitmap : nullptr))
    (*map)[slot].push_back({folder, key});
}

void AddMissingListed(int slot, const std::vector<MicroResource>& listed, bool micro, MicroResourceMap* map) {
  if (listed.empty()) return;
  FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManager(slot, micro);
  if (pack == nullptr) {
    ENGINE_REPORT("false&&\"指针错误\"");
    return;
  }
  for (const MicroResource& file : listed) {
    const std::string key = PackClient::NormalizePath(file.path.c_str()).Str();
    MicroIndexRecord record;
    if (!pack->HasFile(key.c_str()) && pack->FindMicroEntry(key.c_str(), &record))
      (*map)[slot].push_back({file.folder, key});
  }
}

}  // namespace

bool ParseDownloadList(const char* xml, MicroResourceMap* listed) {
  listed->clear();
  TiXmlDocument doc;
  if (!ParseXmlText(doc, xml, TIXML_ENCODING_LEGACY)) return false;
  const TiXmlElement* root = doc.FirstChildElement("FileList");
  if (root == nullptr) return true;
  for (const TiXmlElement* pack = root->FirstChildElement("Pack"); pack != nullptr;
       pack = pack->NextSiblingElement("Pack")) {
    const int slot = SlotOf(*pack);
    if (slot < 0) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "包编号错误");
      continue;
    }
    for (const TiXmlElement* file = pack->FirstChildElement("File"); file != nullptr;
         file = file->NextSiblingElement("File")) {
      const char* name = file->Attribute("Name");
      if (IsListedName(name)) (*listed)[slot].push_back({PackClient::GetPackFolderName(slot), name});
    }
  }
  return true;
}

bool CollectMissingMicroResources(UpdateContext& run, MicroResourceMap* map) {
  map->clear();
  std::string xml;
  MicroResourceMap listed;
  // Without the list nothing is fetched; the game fetches what it lacks.
  if (!ReadLauncherList(run, kDownloadList, &xml) || !ParseDownloadList(xml.c_str(), &listed)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "下载列表不可用:%s", kDownloadList);
    return false;
  }
  const bool micro = run.Settings().microClientOpen;
  for (int slot = 0; slot <= kLastSlot; ++slot) {
    AddMissingIndexed(slot, map);
    AddMissingListed(slot, listed[slot], micro, map);
  }
  return true;
}

void MergeConfigFileMap(MicroResourceMap* map) {
  const std::unordered_map<int, std::vector<std::string>> configs = PackClient::ConfigFileMap();
  for (int slot = 0; slot <= kLastSlot; ++slot) {
    auto found = configs.find(slot);
    if (found == configs.end()) continue;
    for (const std::string& name : found->second) (*map)[slot].push_back({PackClient::GetPackFolderName(slot), name});
  }
}
