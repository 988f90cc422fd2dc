#include "XmlSave.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/EngineFun/Helper.h"
#include "tinyxml.h"

namespace LauncherCfg {

void MakeWritable(const char* path) { SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL); }

bool SaveXmlDocumentReplacing(const TiXmlDocument& doc, const char* path) {
  if (path == nullptr) return false;
  std::string temp = std::string(path) + ".new";
  FILE* file = fopen(temp.c_str(), "w");
  if (file == nullptr) return false;
  doc.Print(file);
  bool written = ferror(file) == 0;
  written = fclose(file) == 0 && written;
  if (!written || !EngineFunc::EngineFunc_ReplaceFile(temp.c_str(), path)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "保存文件失败:%s", path);
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace LauncherCfg
