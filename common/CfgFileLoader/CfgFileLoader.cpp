#include "CfgFileLoader.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/EngineFun/Helper.h"

CfgFileLoader::~CfgFileLoader() { Free(); }

void CfgFileLoader::Free() {
  m_sectionMap.Clear();
  for (CfgSection* section : m_sections) delete section;
  m_sections.clear();
  for (ScriptLine* line : m_lines) delete line;
  m_lines.clear();
  m_pCurrentSection = nullptr;
}

bool CfgFileLoader::Load(const char* fileName) {
  if (fileName == nullptr) {
    ENGINE_ASSERT(false && "文件名为空");
    return false;
  }
  std::ifstream in(fileName);  // text mode: CR LF reads as one line end
  if (!in.is_open()) return false;
  Free();

  const std::streamsize kLineLimit = 1024;
  char text[kLineLimit];
  // A line that does not fit sets the fail state and ends the reading.
  while (in.getline(text, kLineLimit)) {
    for (char* p = text; *p; ++p)
      if (*p == '=') *p = ' ';
    ScriptLine* line = new ScriptLine;
    if (ScriptParser::Parse(text, line) == 0) {
      delete line;
      continue;
    }
    m_lines.push_back(line);

    char first[256] = {};
    ENGINE_STRNCPY(first, sizeof(first), line->tokens[0].text);
    size_t length = strlen(first);
    if (length >= 2 && first[0] == '[' && first[length - 1] == ']') {
      CfgSection* section = new CfgSection;
      section->name.assign(first + 1, length - 2);
      m_sections.push_back(section);
      m_pCurrentSection = section;
      m_sectionMap.Insert(section->name.c_str(), section);  // refused for a later duplicate
    } else if (m_pCurrentSection != nullptr) {
      m_pCurrentSection->keys.Insert(line->tokens[0].text, line);
      m_pCurrentSection->lines.push_back(line);
    }
  }
  m_pCurrentSection = static_cast<CfgSection*>(m_sectionMap.Find("main"));
  return true;
}

ScriptLine* CfgFileLoader::FindLine(const char* key) const {
  if (m_pCurrentSection == nullptr || key == nullptr) return nullptr;
  return static_cast<ScriptLine*>(m_pCurrentSection->keys.Find(key));
}

int CfgFileLoader::GetInt(const char* key) {
  ScriptLine* line = FindLine(key);
  if (line == nullptr || line->count < 2) return 0;
  return atoi(line->tokens[1].text);
}
