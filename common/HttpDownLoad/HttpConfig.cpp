#include "HttpConfig.h"

#include <windows.h>

#include "common/EngineFun/Helper.h"

namespace {

const char kFile[] = ".\\HTTPCONFIG.ini";
const char kSection[] = "Main";
const char kKey[] = "HttpID";

void WriteHttpID(int value) {
  char text[256];
  if (EngineFunc::EngineFunc_Sprintf(text, sizeof(text), "%d", value) > 0) {
    WritePrivateProfileStringA(kSection, kKey, text, kFile);
  }
}

}  // namespace

CHttpConfig::CHttpConfig() : m_nHttpID(GetPrivateProfileIntA(kSection, kKey, 1, kFile)) {
  WriteHttpID(m_nHttpID);
}

CHttpConfig* CHttpConfig::GetInstance() {
  static CHttpConfig instance;
  return &instance;
}

void CHttpConfig::SaveHttpID(int type) {
  m_nHttpID = type;
  WriteHttpID(type);
}
