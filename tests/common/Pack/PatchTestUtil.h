// Patch fixtures of the kit (tests/fixtures/patch.py) and one version
// step's pack work, for the patch tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ClientDirUtil.h"
#include "PackTestUtil.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"

namespace packtest {

using testsupport::ReadFileBytes;

inline const char* const kPatchPath = "LauncherCfg/PatchTemp\\Version";

inline std::string PatchFx(const std::string& name) { return testsupport::FixturePath("patch/" + name); }

inline std::vector<std::vector<std::string>> Rows(const std::string& manifest) {
  return ManifestRows(PatchFx(manifest));
}

// Names in a folder, "." and ".." left out.
inline std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

inline void CopyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  for (const std::string& name : Listing(from)) {
    std::string source = from + "\\" + name, target = to + "\\" + name;
    if (GetFileAttributesA(source.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
      CopyTree(source, target);
    else
      ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
  }
}

// The downloaded pair where the version step leaves it.
inline void PlacePatch(const std::string& fixturePack) {
  CreateDirectoryA("launchercfg", nullptr);
  CreateDirectoryA("launchercfg\\patchtemp", nullptr);
  ASSERT_TRUE(CopyFileA(PatchFx(fixturePack + ".pkg").c_str(), "launchercfg\\patchtemp\\version.pkg", FALSE));
  ASSERT_TRUE(CopyFileA(PatchFx(fixturePack + ".pkg1").c_str(), "launchercfg\\patchtemp\\version.pkg1", FALSE));
}

// One version step's pack work: true when the new version would be recorded.
inline bool ApplyStep(bool micro) {
  PackClient::FillPackPairsA();
  PackClient::PatchFolder() = "LauncherCfg/PatchTemp";
  PackClient::ConfigFileMap().clear();
  PackClient::OpenAllPacks(micro, false);
  std::vector<PackClient::FileEntry> list;
  bool advanced = PackClient::ApplyTempPack(kPatchPath, &list);
  if (advanced && !list.empty()) {
    PackClient::PackMergeProgress().total = static_cast<long>(list.size());
    advanced = PackClient::MergeFilesIntoPacks(kPatchPath, &list, micro);
  }
  PackClient::CloseAllPacks();
  PackClient::DeleteFolderTree("LauncherCfg/PatchTemp", false);
  return advanced;
}

inline std::string ReadKey(FilePack::CFilePackIndexMgr& pack, const std::string& key) {
  PackEntry entry;
  if (!pack.FindEntry(key.c_str(), &entry)) return "(missing)";
  std::string bytes(entry.size + 1, '\0');
  if (!pack.ReadEntryData(&entry, reinterpret_cast<uint8_t*>(&bytes[0]), true)) return "(unreadable)";
  bytes.resize(entry.size);
  return bytes;
}

inline bool OpenClientPack(FilePack::CFilePackIndexMgr& pack, const std::string& name) {
  return pack.OpenPack((name + ".pkg1").c_str(), (name + ".pkg").c_str(), false);
}

}  // namespace packtest
