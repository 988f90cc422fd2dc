// An ini-like text file read into sections of keyed lines:
//   [section]         a new section (later duplicates are read but not found)
//   key value ...     a line of tokens, "=" reads as a blank
#pragma once
#include <string>
#include <vector>

#include "common/MapStrToID/MapStrToID.h"
#include "common/ScriptParser/ScriptParser.h"

struct CfgSection {
  std::string name;
  MapStrToID keys;                  // token 0 -> ScriptLine*, the first line wins
  std::vector<ScriptLine*> lines;  // in file order, owned by the loader
};

class CfgFileLoader {
 public:
  CfgFileLoader() {}
  ~CfgFileLoader();
  CfgFileLoader(const CfgFileLoader&) = delete;
  CfgFileLoader& operator=(const CfgFileLoader&) = delete;

  // True when the file was opened; afterwards section "main" is current.
  bool Load(const char* fileName);
  // atoi of token 1 of the key's line in the current section, else 0.
  int GetInt(const char* key);
  // The key's line in the current section, or null.
  ScriptLine* FindLine(const char* key) const;

  // Callers pick a section by finding it here and making it current.
  MapStrToID m_sectionMap;  // name -> CfgSection*
  CfgSection* m_pCurrentSection = nullptr;

 private:
  void Free();
  std::vector<ScriptLine*> m_lines;
  std::vector<CfgSection*> m_sections;
};
