#include "common/FileSearch.h"

#include <windows.h>

#include <cstring>

namespace FileIO {

namespace {

std::string UpperAscii(const char* text) {
  std::string out(text ? text : "");
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

bool CFileSearch::MatchFilter(const char* filter, const char* fileName) {
  std::string upperFilter = UpperAscii(filter);
  std::string name = UpperAscii(fileName);
  size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? name : name.substr(dot);
  return upperFilter.find(ext) != std::string::npos;
}

int CFileSearch::Search(const char* folder, const char* filter, bool recursive) {
  m_vecFiles.clear();
  m_vecFolders.clear();

  std::string base = folder ? folder : "";
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  std::string filterText = filter ? filter : "";
  bool filtered = !filterText.empty() && filterText != "*" && filterText != "*.*";

  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((base + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (found.cFileName[0] == '.') continue;
    std::string path = base + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      m_vecFolders.push_back(path + "\\");
      // A junction or link is listed but never followed: it may lead out of
      // the tree (a tree delete must not reach its target) or back into it.
      if (!recursive || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
      CFileSearch sub;
      sub.Search(path.c_str(), filterText.c_str(), true);
      m_vecFolders.insert(m_vecFolders.end(), sub.m_vecFolders.begin(), sub.m_vecFolders.end());
      m_vecFiles.insert(m_vecFiles.end(), sub.m_vecFiles.begin(), sub.m_vecFiles.end());
    } else if (!filtered || MatchFilter(filterText.c_str(), found.cFileName)) {
      m_vecFiles.push_back(path);
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return static_cast<int>(m_vecFiles.size() + m_vecFolders.size());
}

}  // namespace FileIO
