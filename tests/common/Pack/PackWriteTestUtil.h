// Shared pieces of the pack writer tests: local copies of the kit's packs,
// the kit's plain files per key, and checks that a pack on disk holds them.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "PackTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackFileIo.h"

namespace packtest {

// key -> plain bytes of one kit pack (good.txt).
inline std::map<std::string, std::string> KitFiles(const std::string& pack) {
  std::map<std::string, std::string> files;
  for (auto& row : Manifest("good.txt"))
    if (row[0] == pack) files[row[1]] = testsupport::ReadFileBytes(Fx(row[2]));
  return files;
}

// The kit's rows (key, plain file) of a pack except the given key.
inline std::vector<std::vector<std::string>> RowsOf(const std::string& pack, const std::string& except = "") {
  std::vector<std::vector<std::string>> rows;
  for (auto& row : Manifest("good.txt"))
    if (row[0] == pack && row[1] != except) rows.push_back({row[1], row[2]});
  return rows;
}

// Copies a kit pack to local + ".pkg" / ".pkg1".
inline bool CopyKitPack(const std::string& pack, const std::string& local) {
  return CopyFileA(Fx(pack + ".pkg").c_str(), (local + ".pkg").c_str(), FALSE) &&
         CopyFileA(Fx(pack + ".pkg1").c_str(), (local + ".pkg1").c_str(), FALSE);
}

// Opens local in both modes and checks it holds exactly these files.
inline ::testing::AssertionResult PackHolds(const std::string& local, const std::map<std::string, std::string>& files) {
  for (bool handleMode : {false, true}) {
    FilePack::CFilePackIndexMgr m;
    if (!m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), handleMode))
      return ::testing::AssertionFailure() << local << " does not open";
    for (auto& file : files)
      if (!m.HasFile(file.first.c_str())) return ::testing::AssertionFailure() << local << " lacks " << file.first;
    if (m.EntryCount() != files.size())
      return ::testing::AssertionFailure() << local << " holds " << m.EntryCount() << " entries";
    for (auto& file : files) {
      if (handleMode) continue;
      std::string out = local + ".out";
      if (!m.ExtractFile(file.first.c_str(), out.c_str()) || testsupport::ReadFileBytes(out) != file.second)
        return ::testing::AssertionFailure() << local << " " << file.first << " differs";
      DeleteFileA(out.c_str());
    }
  }
  return ::testing::AssertionSuccess();
}

// Installs fault hooks for one scope.
class FaultScope {
 public:
  explicit FaultScope(const FilePack::PackFaultHooks& hooks) { FilePack::SetPackFaultHooks(hooks); }
  ~FaultScope() { FilePack::SetPackFaultHooks({nullptr, nullptr}); }
};

// Names left in a folder (for "no temporary file stays behind").
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "/*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

// Hands a written pack to the kit's verify step (packs.py verify); rows are
// (key, kit plain file below packs/).
inline void RecordForOracle(const std::string& local, const std::string& oursName,
                            const std::vector<std::vector<std::string>>& rows) {
  static bool fresh = true;
  const std::string dir = Fx("ours");
  if (fresh) {
    testsupport::RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    fresh = false;
  }
  ASSERT_TRUE(CopyFileA((local + ".pkg").c_str(), (dir + "/" + oursName + ".pkg").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((local + ".pkg1").c_str(), (dir + "/" + oursName + ".pkg1").c_str(), FALSE));
  FILE* list = fopen((dir + "/ours.txt").c_str(), "ab");
  ASSERT_NE(nullptr, list);
  for (auto& row : rows) fprintf(list, "%s %s %s\n", oursName.c_str(), row[0].c_str(), row[1].c_str());
  fclose(list);
}

}  // namespace packtest
