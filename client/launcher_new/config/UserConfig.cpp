#include "UserConfig.h"

#include "XmlSave.h"
#include "common/EngineFun/Helper.h"
#include "tinyxml.h"

namespace LauncherCfg {

const char* const kUserConfigPath = "LauncherCfg/config.xml";

namespace {

// Read by the pack side on other threads: one aligned byte.
volatile bool& MicroClientOpenCopy() {
  static volatile bool open = true;
  return open;
}

void ReadText(const TiXmlElement* element, const char* name, std::string* field) {
  if (const char* value = element->Attribute(name)) *field = value;
}

void SetNumber(TiXmlElement* element, const char* name, int value) {
  char buffer[64];
  EngineFunc::EngineFunc_Sprintf(buffer, sizeof buffer, "%d", value);
  element->SetAttribute(name, buffer);
}

TiXmlElement* Append(TiXmlDocument* doc, const char* name) {
  return doc->LinkEndChild(new TiXmlElement(name))->ToElement();
}

}  // namespace

void ParseUserConfig(const TiXmlDocument& doc, UserConfig* cfg) {
  if (const TiXmlElement* e = doc.FirstChildElement("selectserver")) {
    e->QueryIntAttribute("bigarea", &cfg->bigArea);
    if (cfg->bigArea == -1) cfg->bigArea = 0;
    e->QueryIntAttribute("serverindex", &cfg->serverIndex);
    ReadText(e, "server", &cfg->serverName);
  }
  cfg->agree = 1;  // the agreement counts as accepted whatever the file says
  if (const TiXmlElement* e = doc.FirstChildElement("control")) e->QueryIntAttribute("mode", &cfg->controlMode);
  if (const TiXmlElement* e = doc.FirstChildElement("smallmap")) e->QueryDoubleAttribute("scale", &cfg->smallMapScale);
  if (const TiXmlElement* e = doc.FirstChildElement("selectPlayer")) {
    e->QueryIntAttribute("nIndex", &cfg->playerIndex);
    ReadText(e, "PlayerName", &cfg->playerName);
  }
  if (const TiXmlElement* e = doc.FirstChildElement("MicroClient")) {
    int open = 0;
    e->QueryIntAttribute("open", &open);
    cfg->microClientOpen = open > 0;
    cfg->webMode = true;
    e->QueryIntAttribute("line", &cfg->line);
  }
}

void BuildUserConfigDocument(const UserConfig& cfg, TiXmlDocument* doc) {
  doc->Clear();
  doc->LinkEndChild(new TiXmlDeclaration("1.0", "gb123", "yes"));
  TiXmlElement* e = Append(doc, "selectserver");
  SetNumber(e, "bigarea", cfg.bigArea);
  SetNumber(e, "serverindex", cfg.serverIndex);
  e->SetAttribute("server", cfg.serverName.c_str());
  SetNumber(e, "selectagree", cfg.agree);
  SetNumber(Append(doc, "control"), "mode", cfg.controlMode);
  char scale[64];
  EngineFunc::EngineFunc_Sprintf(scale, sizeof scale, "%f", static_cast<double>(static_cast<float>(cfg.smallMapScale)));
  Append(doc, "smallmap")->SetAttribute("scale", scale);
  e = Append(doc, "selectPlayer");
  SetNumber(e, "nIndex", cfg.playerIndex);
  e->SetAttribute("PlayerName", cfg.playerName.c_str());
  e = Append(doc, "MicroClient");
  SetNumber(e, "open", cfg.microClientOpen ? 1 : 0);
  SetNumber(e, "web", cfg.webMode ? 1 : 0);
  SetNumber(e, "line", cfg.line);
}

bool MicroClientOpenFlag() { return MicroClientOpenCopy(); }
void SetMicroClientOpenFlag(bool open) { MicroClientOpenCopy() = open; }

bool SaveUserConfigFile(const char* path, const UserConfig& cfg) {
  MakeWritable(path);
  TiXmlDocument doc;
  BuildUserConfigDocument(cfg, &doc);
  bool saved = SaveXmlDocumentReplacing(doc, path);
  SetMicroClientOpenFlag(cfg.microClientOpen);
  return saved;
}

}  // namespace LauncherCfg
