#include <windows.h>

#include <memory>

#include "ClientCheck.h"
#include "UpdateContext.h"
#include "EngineFiles.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/PackClientUnpack.h"
#include "common/Pack/PatchPath.h"
#include "common/Pack/XmlParse.h"
#include "tinyxml.h"

namespace {

const uint32_t kMaxListFile = 64u * 1024 * 1024;

// The whole file; empty when it cannot be opened, is too big or reads short.
std::string ReadListFile(const char* path) {
  std::string bytes;
  ReadWholeFile(path, kMaxListFile, &bytes);
  return bytes;
}

}  // namespace

std::vector<std::string> ParseLibraryList(const char* xml) {
  std::vector<std::string> names;
  TiXmlDocument doc;
  if (!ParseXmlText(doc, xml, TIXML_ENCODING_LEGACY)) return names;
  const TiXmlElement* root = doc.FirstChildElement("root");
  const TiXmlElement* row = root != nullptr ? root->FirstChildElement("file") : nullptr;
  for (; row != nullptr; row = row->NextSiblingElement()) {
    const char* name = row->Attribute("name");
    if (name == nullptr) continue;
    if (!PackClient::CheckClientPath(name)) continue;  // reported, never followed
    names.push_back(name);
  }
  return names;
}

bool ReadLauncherList(UpdateContext& run, const char* path, std::string* xml) {
  for (int refetch = 0;; ++refetch) {
    std::string bytes = ReadListFile(path);
    if (!bytes.empty()) {
      int length = static_cast<int>(bytes.size());
      std::unique_ptr<uint8_t[]> plain(PackClient::DecompressBuffer(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                                    &length));
      if (plain) {
        xml->assign(reinterpret_cast<const char*>(plain.get()), static_cast<size_t>(length));
        return true;
      }
      // A damaged copy would never be replaced: only missing lists are fetched.
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件数据有问题:%s", path);
    } else {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件长度为0");
    }
    EngineFunc::EngineFunc_DeleteFile(path);
    if (refetch >= kListRefetches || !LoadLauncherCfgLists(run)) return false;
  }
}

std::vector<std::string> ReadLibraryList(UpdateContext& run, const char* path) {
  std::string xml;
  if (!ReadLauncherList(run, path, &xml)) return {};
  return ParseLibraryList(xml.c_str());
}
