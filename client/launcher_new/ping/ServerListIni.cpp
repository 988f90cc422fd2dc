#include "ServerListIni.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>

#include "common/EngineFun/Helper.h"

const char* const kServerListIni = "server_list.ini";

namespace {

const size_t kLineBuffer = 259;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
typedef std::unique_ptr<FILE, FileCloser> ScopedFile;

// The whole file, or false when it cannot be opened or read whole.
bool ReadWhole(const char* path, std::string* bytes) {
  ScopedFile f(fopen(path, "rb"));
  if (!f) return false;
  if (fseek(f.get(), 0, SEEK_END) != 0) return false;
  long length = ftell(f.get());
  if (length < 0 || fseek(f.get(), 0, SEEK_SET) != 0) return false;
  bytes->assign(static_cast<size_t>(length), '\0');
  return length == 0 || fread(&(*bytes)[0], 1, bytes->size(), f.get()) == bytes->size();
}

// Written beside the file and swapped in, so a failed write leaves the old one.
bool ReplaceWhole(const char* path, const std::string& bytes, const char* mode) {
  std::string fresh = std::string(path) + ".new";
  {
    ScopedFile f(fopen(fresh.c_str(), mode));
    if (!f) return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    ok = fflush(f.get()) == 0 && ok;
    if (!ok) {
      f.reset();
      DeleteFileA(fresh.c_str());
      return false;
    }
  }
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (!EngineFunc::EngineFunc_ReplaceFile(fresh.c_str(), path)) {
    DeleteFileA(fresh.c_str());
    return false;
  }
  return true;
}

void Mask(std::string* bytes) {
  for (char& c : *bytes) c = static_cast<char>(c ^ kServerListMask);
}

}  // namespace

std::vector<ServerEntry> SelectFastestPerGroup(const std::vector<ServerEntry>& rows) {
  std::vector<ServerEntry> chosen;
  std::map<uint16_t, const ServerEntry*> fastest;  // ascending keys
  for (const ServerEntry& row : rows) {
    if (row.doublelineindex == 0) {
      chosen.push_back(row);
      continue;
    }
    auto found = fastest.find(row.doublelineindex);
    if (found == fastest.end())
      fastest[row.doublelineindex] = &row;
    else if (row.ping < found->second->ping)
      found->second = &row;
  }
  for (const auto& group : fastest) chosen.push_back(*group.second);
  return chosen;
}

void SelectFastestPerGroup(ServerList& list) {
  std::vector<ServerEntry> rows = list.Rows();
  for (const ServerEntry& row : rows)
    if (row.doublelineindex != 0) {
      list.ReplaceRows(SelectFastestPerGroup(rows));
      return;
    }
}

std::string FormatPingServerLine(const ServerEntry& e) {
  char line[kLineBuffer];
  if (EngineFunc::EngineFunc_Sprintf(line, sizeof(line), "node server normal %s %s %d %d %d %d %d %d\n",
                                     e.name.c_str(), e.ip.c_str(), e.recommend, e.port, e.resindex, 0, e.pingport,
                                     e.ping) != 1)
    return std::string();
  return line;
}

bool WriteMaskedServerListFile(const char* path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    // As text mode puts it on disk: CR LF, and the mask covers both.
    for (char c : line) {
      if (c == '\n') text += '\r';
      text += c;
    }
  }
  // Masked before it is written: no plain file ever stands at path.
  Mask(&text);
  if (path == nullptr || !ReplaceWhole(path, text, "wb")) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 无法写入", path != nullptr ? path : "");
    return false;
  }
  return true;
}

bool WriteServerListIniFromPingList(const ServerList& list, int areaIndex, const char* path) {
  std::vector<std::string> lines;
  for (const ServerEntry& row : list.Rows()) {
    if (row.areaIndex != areaIndex) continue;
    std::string line = FormatPingServerLine(row);
    if (line.empty()) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "服务器信息太长:%s", row.name.c_str());
      continue;
    }
    lines.push_back(line);
  }
  return WriteMaskedServerListFile(path, lines);
}

bool ScrambleServerListIni(const char* path) {
  std::string bytes;
  if (path == nullptr || !ReadWhole(path, &bytes)) return false;
  if (bytes.empty()) return true;
  Mask(&bytes);
  return ReplaceWhole(path, bytes, "wb");
}
