#include "ServerList.h"

#include <cstdlib>

#include "LauncherIni.h"
#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"
#include "common/StrUtil.h"
#include "tinyxml.h"

namespace LauncherCfg {

namespace {

std::string AttributeOf(const TiXmlElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value != nullptr ? value : "";
}

// "%d" on the attribute; absent or unparsable text leaves the value.
void ReadInt(const TiXmlElement* e, const char* name, int32_t* value) {
  int parsed = 0;
  if (e->QueryIntAttribute(name, &parsed) == TIXML_SUCCESS) *value = parsed;
}

void ReadAddresses(const TiXmlElement* area, const char* name, BigAreaAddress* record) {
  for (const TiXmlElement* ip = area->FirstChildElement(name); ip != nullptr; ip = ip->NextSiblingElement(name))
    record->Addresses.push_back(AttributeOf(ip, "value"));
}

LoginServerLine ReadLoginServer(const TiXmlElement* e) {
  LoginServerLine line;
  line.ip = AttributeOf(e, "ip");
  line.name = AttributeOf(e, "name");
  ReadInt(e, "port", &line.port);
  ReadInt(e, "recommend", &line.recommend);
  ReadInt(e, "resindex", &line.resindex);
  ReadInt(e, "doublelineindex", &line.doublelineindex);
  ReadInt(e, "pingport", &line.pingport);
  ReadInt(e, "line", &line.line);
  if (line.line < 0 || line.line > 2) line.line = 0;
  return line;
}

// The game reads server_list.ini as lines of words: a name or address that
// is empty or holds a blank or a line break would shift or add fields.
bool IsOneWord(const std::string& text) { return !text.empty() && !StrUtil::HasBlankOrControl(text); }

// root, then its first "file" node as an element and every element after it.
const TiXmlElement* FirstFileRow(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.FirstChildElement("root");
  const TiXmlNode* file = root != nullptr ? root->FirstChild("file") : nullptr;
  return file != nullptr ? file->ToElement() : nullptr;
}

}  // namespace

bool ParseVersionXml(const TiXmlDocument& doc, VersionXml* out) {
  if (const TiXmlElement* res = doc.FirstChildElement("res")) {
    if (const char* url = res->Attribute("url")) {
      out->hasUrl = true;
      out->url = url;
    }
  }
  const TiXmlElement* big = doc.FirstChildElement("BigAreaip");
  if (big == nullptr) return false;
  for (const TiXmlElement* area = big->FirstChildElement("Area"); area != nullptr;
       area = area->NextSiblingElement("Area")) {
    BigAreaAddress record;
    if (area->Attribute("Index") == nullptr) return false;
    ReadInt(area, "Index", &record.Index);
    ReadAddresses(area, "ip", &record);
    out->addresses.push_back(record);
    BigAreaAddress backup;
    ReadAddresses(area, "backupip", &backup);
    out->backup.push_back(backup);
  }
  return true;
}

bool ParseNewVersionXml(const TiXmlDocument& doc, std::vector<VersionStep>* steps, std::string* newVersion,
                        std::string* newShowVersion) {
  const TiXmlElement* old = doc.FirstChildElement("OldVersion");
  const TiXmlNode* first = old != nullptr ? old->FirstChild() : nullptr;
  const TiXmlElement* step = first != nullptr && first->ValueStr() == "Version" ? first->ToElement() : nullptr;
  for (; step != nullptr; step = step->NextSiblingElement()) {
    steps->push_back({AttributeOf(step, "Cur"), AttributeOf(step, "Next"), AttributeOf(step, "ShowVer"),
                      AttributeOf(step, "NeedPack"), AttributeOf(step, "NeedRar"), AttributeOf(step, "PatchVer"),
                      AttributeOf(step, "MD5"), AttributeOf(step, "MicroClientMD5"), AttributeOf(step, "Restart")});
  }
  const TiXmlElement* newest = doc.FirstChildElement("NewVersion");
  if (newest == nullptr) return false;
  *newVersion = newest->FirstChild() != nullptr ? newest->FirstChild()->Value() : "";
  const TiXmlElement* show = doc.FirstChildElement("NewShowVersion");
  const char* showText = show != nullptr ? show->GetText() : nullptr;
  *newShowVersion = show == nullptr ? "0.0.0.0 build 0" : showText != nullptr ? showText : "";
  return true;
}

bool ParseAreaListXml(const TiXmlDocument& doc, std::vector<AreaInfo>* areas) {
  const TiXmlElement* root = doc.FirstChildElement("root");
  const TiXmlElement* list = root != nullptr ? root->FirstChildElement("AreaList") : nullptr;
  if (list == nullptr) return false;
  AreaInfo work;  // name and index carry over to an Area that lacks them
  for (const TiXmlElement* area = list->FirstChildElement("Area"); area != nullptr;
       area = area->NextSiblingElement()) {
    if (const char* name = area->Attribute("name")) work.name = name;
    ReadInt(area, "index", &work.index);
    work.resindex = 0;
    ReadInt(area, "resindex", &work.resindex);
    work.servers.clear();
    for (const TiXmlElement* s = area->FirstChildElement("Loginserver"); s != nullptr; s = s->NextSiblingElement()) {
      LoginServerLine server = ReadLoginServer(s);
      if (!IsOneWord(server.name) || !IsOneWord(server.ip)) {
        EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "登录服务器的名称或地址为空或含有空白:大区%d",
                                           static_cast<int>(work.index));
        continue;
      }
      work.servers.push_back(server);
    }
    areas->push_back(work);
  }
  return true;
}

bool ParseFileMD5Xml(const TiXmlDocument& doc, std::vector<FileChecksumEntry>* files) {
  for (const TiXmlElement* f = FirstFileRow(doc); f != nullptr; f = f->NextSiblingElement())
    files->push_back({AttributeOf(f, "name"), AttributeOf(f, "md5")});
  return true;
}

bool ParseNeedDownloadXml(const TiXmlDocument& doc, std::vector<NeedDownloadEntry>* files) {
  for (const TiXmlElement* f = FirstFileRow(doc); f != nullptr; f = f->NextSiblingElement()) {
    std::string comp = AttributeOf(f, "comp");
    files->push_back({AttributeOf(f, "name"), !comp.empty() && atoi(comp.c_str()) > 0});
  }
  return true;
}

ServerListTables& GetServerListTables() { return util::Singleton<ServerListTables>::GetInstance(); }

bool ApplyMicroClientUrl(const char* url, const char* iniPath) {
  bool written = WriteLauncherIniAddress(iniPath, "MicroClientURL", url);
  // Only a refused address is dropped; an ini that cannot be written still
  // leaves the package's address in memory, as every profile write here.
  if (!written && !IsStorableAddress(url)) return false;
  GetLauncherIni().microClientUrl = std::string(url) + "/";
  return written;
}

}  // namespace LauncherCfg

using LauncherCfg::GetServerListTables;

namespace {
template <typename T>
const T* At(const std::vector<T>& table, int i) {
  return i >= 0 && static_cast<size_t>(i) < table.size() ? &table[i] : nullptr;
}
}  // namespace

int GetVersionStepCount() { return static_cast<int>(GetServerListTables().versionSteps.size()); }
const VersionStep* GetVersionStepAt(int i) { return At(GetServerListTables().versionSteps, i); }
void ClearVersionSteps() { GetServerListTables().versionSteps.clear(); }
bool IsBigAreaListEmpty() { return GetServerListTables().bigAreas.empty(); }
int GetBigAreaCount() { return static_cast<int>(GetServerListTables().bigAreas.size()); }
const BigAreaAddress* GetBigAreaAt(int i) { return At(GetServerListTables().bigAreas, i); }
void ClearAreaList() { GetServerListTables().areas.clear(); }
int GetAreaCount() { return static_cast<int>(GetServerListTables().areas.size()); }
const AreaInfo* GetAreaAt(int i) { return At(GetServerListTables().areas, i); }

bool GetNeedDownloadFlag(const char* name) {
  if (name == nullptr) return false;
  for (const NeedDownloadEntry& entry : GetServerListTables().needDownloads)
    if (entry.name == name) return entry.comp;
  return false;
}
