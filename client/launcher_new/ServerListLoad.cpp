#include "ServerListLoad.h"

#include <memory>
#include <new>
#include <string>

#include "LauncherIni.h"
#include "ServerList.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "tinyxml.h"

using LauncherCfg::GetServerListTables;
using LauncherCfg::ReadServerListMember;

namespace LauncherCfg {

bool ReadServerListMember(FilePack::CFilePackIndexMgr* pack, const char* name, TiXmlDocument* doc) {
  if (pack == nullptr || !pack->IsOpen()) return false;
  const PackEntry* found = pack->FindEntry(name);
  if (found == nullptr) return false;
  const PackEntry entry = *found;
  if (entry.size > kMaxServerListMember) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "服务器列表文件太大:%s %u", name, entry.size);
    return false;
  }
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(entry.size) + 1]());
  if (bytes == nullptr || !pack->ReadEntryData(&entry, reinterpret_cast<uint8_t*>(bytes.get()), true)) return false;
  return ParseServerListMember(bytes.get(), entry.size, doc);
}

}  // namespace LauncherCfg

bool LoadVersionXml(FilePack::CFilePackIndexMgr* pack) {
  if (pack == nullptr || !pack->IsOpen()) return false;
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
  if (pack == nullptr || !pack->IsOpen()) return false;
  LauncherCfg::ServerListTables& tables = GetServerListTables();
  tables.versionSteps.clear();
  TiXmlDocument doc;
  if (!ReadServerListMember(pack, "NewVersion.xml", &doc)) return false;
  return LauncherCfg::ParseNewVersionXml(doc, &tables.versionSteps, &tables.newVersion, &tables.newShowVersion);
}

bool LoadAreaListXml(FilePack::CFilePackIndexMgr* pack) {
  if (pack == nullptr || !pack->IsOpen()) return false;
  GetServerListTables().areas.clear();
  TiXmlDocument doc;
  if (!ReadServerListMember(pack, "AreaList.xml", &doc)) return false;
  return LauncherCfg::ParseAreaListXml(doc, &GetServerListTables().areas);
}

bool LoadFileMD5Xml(FilePack::CFilePackIndexMgr* pack) {
  if (pack == nullptr || !pack->IsOpen()) return false;
  GetServerListTables().checksums.clear();
  TiXmlDocument doc;
  if (!ReadServerListMember(pack, "FileMD5.xml", &doc)) return false;
  return LauncherCfg::ParseFileMD5Xml(doc, &GetServerListTables().checksums);
}

bool LoadNeedDownloadFileXml(FilePack::CFilePackIndexMgr* pack) {
  if (pack == nullptr || !pack->IsOpen()) return false;
  GetServerListTables().needDownloads.clear();
  TiXmlDocument doc;
  if (!ReadServerListMember(pack, "needdownloadfile.xml", &doc)) return false;
  return LauncherCfg::ParseNeedDownloadXml(doc, &GetServerListTables().needDownloads);
}

bool LoadServerListFiles(const char* packPath) {
  if (packPath == nullptr) return false;
  std::string base(packPath);
  FilePack::CFilePackIndexMgr pack;
  if (!pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false) || !pack.IsOpen()) return false;
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
