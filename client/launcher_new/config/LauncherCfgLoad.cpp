// The settings and layout readers that go through the pack store.
#include <string>

#include "FatalExit.h"
#include "LauncherText.h"
#include "Layout.h"
#include "UpdateCfg.h"
#include "UserConfig.h"
#include "XmlSave.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/XmlLoad.h"
#include "tinyxml.h"

using namespace LauncherCfg;

namespace {

// The caught failure: text 20 with the code and the message, as a report.
void ReportCaught(const std::string& message) {
  std::string text = FormatLauncherText(20, "ds", 0, message.c_str());
  EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "%s", text.c_str());
}

// The layout entry parsed into doc; a missing or oversized entry of an open
// pack is reported.
bool ReadLayoutEntry(FilePack::CFilePackIndexMgr* pack, const char* entryName, TiXmlDocument* doc) {
  if (pack == nullptr || !pack->IsOpen() || entryName == nullptr) return false;
  PackEntry entry;  // a copy: the size checked is the size read
  if (!pack->FindEntry(entryName, &entry)) {
    std::string text = FormatLauncherText(15, "s", entryName);
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "%s", text.c_str());
    return false;
  }
  if (entry.size > kMaxLayoutDocument) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "界面配置文件太大:%s %u", entryName, entry.size);
    return false;
  }
  return LoadXmlDocumentFromPack(*doc, &entry, pack);
}

}  // namespace

bool LoadUpdateCfg() {
  MakeWritable(kUpdateCfgPath);
  TiXmlDocument doc;
  LoadXmlDocument(doc, kUpdateCfgPath);
  std::string error;
  if (ParseUpdateCfg(doc, &GetLocalUpdateCfg(), &error)) return true;
  ReportCaught(error);
  return false;
}

bool SaveUpdateCfgVersion(const char* clientVersion, const char* version) {
  if (clientVersion == nullptr || version == nullptr) return false;
  MakeWritable(kUpdateCfgPath);
  TiXmlDocument doc;
  if (!LoadXmlDocument(doc, kUpdateCfgPath) || !SetUpdateCfgVersion(&doc, clientVersion, version)) {
    ReportCaught(FormatLauncherText(18, "s", doc.Error() ? doc.ErrorDesc() : "Update"));
    return false;
  }
  return SaveXmlDocumentReplacing(doc, kUpdateCfgPath);
}

namespace LauncherCfg {

bool LoadUserConfigFile(const char* path, UserConfig* cfg) {
  TiXmlDocument doc;
  if (!LoadXmlDocument(doc, path)) return false;
  ParseUserConfig(doc, cfg);
  SetMicroClientOpenFlag(cfg->microClientOpen);
  return true;
}

bool LoadLayoutFromPack(FilePack::CFilePackIndexMgr* pack, const char* entryName, HWND__* owner,
                        LauncherLayout* layout) {
  TiXmlDocument doc;
  if (ReadLayoutEntry(pack, entryName, &doc)) return ApplyLayoutOrExit(doc, owner, layout);
  LayoutReadFailedExit(owner);
  return false;
}

}  // namespace LauncherCfg
