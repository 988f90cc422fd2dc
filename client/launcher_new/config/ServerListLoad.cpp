#include "ServerListLoad.h"

#include <string>
#include <vector>

#include "LauncherIni.h"
#include "ServerList.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/XmlLoad.h"
#include "tinyxml.h"

using LauncherCfg::GetServerListTables;
using LauncherCfg::ReadServerListMember;

namespace LauncherCfg {

bool ReadServerListMember(FilePack::CFilePackIndexMgr* pack, const char* name, TiXmlDocument* doc) {
  if (pack == nullptr || !pack->IsOpen() || name == nullptr) return false;
  PackEntry entry;  // a copy: the size checked is the size read
  if (!pack->FindEntry(name, &entry)) return false;
  if (entry.size > kMaxServerListMember) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "服务器列表文件太大:%s %u", name, entry.size);
    return false;
  }
  return LoadXmlDocumentFromPack(*doc, &entry, pack);
}

}  // namespace LauncherCfg

namespace {

bool PackOpen(FilePack::CFilePackIndexMgr* pack) { return pack != nullptr && pack->IsOpen(); }

// A closed pack leaves the last package's table; otherwise the table is
// emptied first, so a member that cannot be read leaves nothing stale.
template <typename Row, typename Parse>
bool LoadTable(FilePack::CFilePackIndexMgr* pack, const char* name, std::vector<Row>* table, Parse parse) {
  if (!PackOpen(pack)) return false;
  table->clear();
  TiXmlDocument doc;
  return ReadServerListMember(pack, name, &doc) && parse(doc, table);
}

}  // namespace

bool LoadVersionXml(FilePack::CFilePackIndexMgr* pack) {
  if (!PackOpen(pack)) return false;
  LauncherCfg::ServerListTables& tables = GetServerListTables();
  tables.bigAreas.clear();
  tables.backupAreas.clear();
  TiXmlDocument doc;
  if (!ReadServerListMember(pack, "Version.xml", &doc)) return false;
  LauncherCfg::VersionXml parsed;
  bool ok = LauncherCfg::ParseVersionXml(doc, &parsed);
  if (parsed.hasUrl) LauncherCfg::ApplyMicroClientUrl(parsed.url.c_str(), LauncherCfg::kLauncherIniPath);
  tables.bigAreas = parsed.addresses;
  tables.backupAreas = parsed.backup;
  return ok;
}

bool LoadNewVersionXml(FilePack::CFilePackIndexMgr* pack) {
  LauncherCfg::ServerListTables& tables = GetServerListTables();
  return LoadTable(pack, "NewVersion.xml", &tables.versionSteps,
                   [&tables](const TiXmlDocument& doc, std::vector<VersionStep>* steps) {
                     return LauncherCfg::ParseNewVersionXml(doc, steps, &tables.newVersion, &tables.newShowVersion);
                   });
}

bool LoadAreaListXml(FilePack::CFilePackIndexMgr* pack) {
  return LoadTable(pack, "AreaList.xml", &GetServerListTables().areas, LauncherCfg::ParseAreaListXml);
}

bool LoadFileMD5Xml(FilePack::CFilePackIndexMgr* pack) {
  return LoadTable(pack, "FileMD5.xml", &GetServerListTables().checksums, LauncherCfg::ParseFileMD5Xml);
}

bool LoadNeedDownloadFileXml(FilePack::CFilePackIndexMgr* pack) {
  return LoadTable(pack, "needdownloadfile.xml", &GetServerListTables().needDownloads,
                   LauncherCfg::ParseNeedDownloadXml);
}

bool LoadServerListFiles(const char* packPath) {
  if (packPath == nullptr) return false;
  std::string base(packPath);
  FilePack::CFilePackIndexMgr pack;
  if (!pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false)) return false;
  bool ok = LoadVersionXml(&pack) && LoadNewVersionXml(&pack) && LoadAreaListXml(&pack) && LoadFileMD5Xml(&pack) &&
            LoadNeedDownloadFileXml(&pack);
  if (ok) {
    LauncherCfg::ServerListTables& tables = GetServerListTables();
    const std::string& microClientUrl = LauncherCfg::GetLauncherIni().microClientUrl;
    tables.microClientVersionUrl = microClientUrl + tables.newVersion + "/";
    FilePack::SetMicroClientBaseAddress(microClientUrl.c_str());
  }
  pack.Close(false);
  return ok;
}
