#include "UpdateCfgEdit.h"

#include <cstdlib>

#include "tinyxml.h"

namespace LauncherCfg {

const char* const kUpdateCfgPath = "LauncherCfg/UpdateCfg.xml";

namespace {

void AppendTextChild(TiXmlElement* parent, const char* name, const char* text) {
  TiXmlElement* fresh = new TiXmlElement(name);
  fresh->LinkEndChild(new TiXmlText(text));
  parent->LinkEndChild(fresh);
}

void ReplaceChild(TiXmlElement* parent, const char* name, const char* text) {
  if (TiXmlNode* old = parent->FirstChild(name)) parent->RemoveChild(old);
  AppendTextChild(parent, name, text);
}

}  // namespace

bool SetUpdateCfgVersion(TiXmlDocument* doc, const char* clientVersion, const char* version) {
  TiXmlElement* update = doc->FirstChildElement("Update");
  if (update == nullptr || clientVersion == nullptr || version == nullptr) return false;
  ReplaceChild(update, "Version", version);
  ReplaceChild(update, "ClientVersion", clientVersion);
  return true;
}

bool SetUpdateCfgPatchVer(TiXmlDocument* doc, const char* version) {
  TiXmlElement* update = doc->FirstChildElement("Update");
  if (update == nullptr || version == nullptr) return false;
  // The launcher reads the first PatchVer: a second, older one left behind
  // would send it back to the updater on every start.
  while (TiXmlNode* old = update->FirstChild("PatchVer")) update->RemoveChild(old);
  AppendTextChild(update, "PatchVer", version);
  return true;
}

bool VersionNewer(const std::string& a, const std::string& b) {
  return static_cast<float>(atof(a.c_str())) > static_cast<float>(atof(b.c_str()));
}

}  // namespace LauncherCfg
