// The kit's nine micro-client packs and their resources, for the tests of
// resource records, merges and concurrent use.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "PackWriteTestUtil.h"

namespace packtest {

// A new, empty client folder made the current directory, with its "Data"
// and "res" folders; false when it cannot be entered.
inline bool EnterFreshClientFolder(const std::string& name) {
  testsupport::RemoveTree(name);
  CreateDirectoryA(name.c_str(), nullptr);
  if (!SetCurrentDirectoryA(name.c_str())) return false;
  CreateDirectoryA("Data", nullptr);
  CreateDirectoryA("res", nullptr);
  return true;
}

struct Resource {
  int pack;
  std::string key, served, plain;
};

// The kit's nine micro-client packs (micro9.txt), optionally one pack only.
inline std::vector<Resource> Micro9(int onlyPack = 0) {
  std::vector<Resource> out;
  for (auto& row : Manifest("micro9.txt")) {
    int pack = std::stoi(row[0]);
    if (onlyPack == 0 || pack == onlyPack) out.push_back({pack, row[1], Fx(row[2]), testsupport::ReadFileBytes(Fx(row[3]))});
  }
  return out;
}

inline std::map<std::string, std::string> PlainByKey(const std::vector<Resource>& resources) {
  std::map<std::string, std::string> files;
  for (auto& r : resources) files[r.key] = r.plain;
  return files;
}

// "Data/00N" (format "Data/%03d"), or another numbered name.
inline std::string Numbered(int n, const char* format = "Data/%03d") {
  char name[32];
  snprintf(name, sizeof(name), format, n);
  return name;
}

// A micro-mode pack (created empty) with the kit's micro index of that pack.
inline bool OpenMicroPack(FilePack::CFilePackIndexMgr& m, const std::string& base, int pack) {
  m.SetMicroMode(true);
  m.SetPackNumber(pack - 1);
  return m.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), true) &&
         m.OpenMicroIndex(Fx(Numbered(pack, "micro9/%03d.pkg2")).c_str());
}

// The client's nine packs, each as OpenMicroPack makes it.
inline bool OpenMicroPacks() {
  for (int n = 1; n <= 9; ++n)
    if (!OpenMicroPack(*FilePack::ClientPackManager(n), Numbered(n), n)) return false;
  return true;
}

// Reads a resource the way the document loader does (micro-client aware).
inline bool ReadsAs(FilePack::CFilePackIndexMgr& m, const std::string& key, const std::string& plain) {
  MicroIndexRecord record;
  if (!m.FindMicroEntry(key.c_str(), &record)) return false;
  std::string buffer(record.record.entry.size + 1, '\0');
  return FilePack::ReadFileFromGlobalPack(&m, reinterpret_cast<uint8_t*>(&buffer[0]), &record.record.entry,
                                         key.c_str()) &&
         buffer.compare(0, plain.size(), plain) == 0 && record.record.entry.size == plain.size();
}

}  // namespace packtest
