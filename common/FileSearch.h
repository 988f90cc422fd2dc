// Lists the files and folders below a folder, optionally recursively and
// filtered by extension.
#pragma once
#include <string>
#include <vector>

namespace FileIO {

class CFileSearch {
 public:
  CFileSearch() = default;
  virtual ~CFileSearch() = default;

  // Fills m_vecFiles (full paths) and m_vecFolders (full paths ending with
  // "\\"); returns how many entries both hold. Names starting with "." are
  // skipped. A filter of "", "*" or "*.*" lets every file through.
  int Search(const char* folder, const char* filter, bool recursive);

  // Whether the file's extension (from its last ".", or the whole name when
  // it has none) occurs in the filter text, ignoring ASCII case.
  static bool MatchFilter(const char* filter, const char* fileName);

  std::vector<std::string> m_vecFiles;
  std::vector<std::string> m_vecFolders;
};

}  // namespace FileIO
