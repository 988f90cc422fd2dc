#include "UpdateCfg.h"

#include "LauncherText.h"
#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"
#include "tinyxml.h"

namespace LauncherCfg {

const char* const kDefaultClientVersion = "0.0.0.0 build 0";

namespace {

std::string TextOf(const TiXmlElement* element) {
  const char* text = element != nullptr ? element->GetText() : nullptr;
  return text != nullptr ? text : "";
}

}  // namespace

bool ParseUpdateCfg(const TiXmlDocument& doc, UpdateCfg* cfg, std::string* error) {
  if (doc.Error()) {
    *error = FormatLauncherText(18, "s", doc.ErrorDesc());
    return false;
  }
  const TiXmlElement* update = doc.FirstChildElement("Update");
  const TiXmlElement* version = update != nullptr ? update->FirstChildElement("Version") : nullptr;
  const TiXmlElement* patchVer = update != nullptr ? update->FirstChildElement("PatchVer") : nullptr;
  if (version == nullptr || patchVer == nullptr) {
    *error = FormatLauncherText(18, "s", update == nullptr ? "Update" : version == nullptr ? "Version" : "PatchVer");
    return false;
  }
  cfg->version = TextOf(version);
  const TiXmlElement* clientVersion = update->FirstChildElement("ClientVersion");
  cfg->clientVersion = clientVersion != nullptr ? TextOf(clientVersion) : kDefaultClientVersion;
  cfg->patchVer = TextOf(patchVer);
  cfg->superVar = false;
  cfg->superVar1 = false;
  if (const TiXmlElement* super = update->FirstChildElement("super")) {
    cfg->superVar = EngineFunc::EngineFunc_StrCmp(super->Attribute("var"), "71948203") == 0;
    cfg->superVar1 = EngineFunc::EngineFunc_StrCmp(super->Attribute("var1"), "qpfzmn_ruke") == 0;
  }
  return true;
}

UpdateCfg& GetLocalUpdateCfg() { return util::Singleton<UpdateCfg>::GetInstance(); }

}  // namespace LauncherCfg
