#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ClientDirUtil.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"

using PackClient::FileEntry;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char* const kPatchPath = "LauncherCfg/PatchTemp\\Version";

std::string Fx(const std::string& name) { return testsupport::FixturePath("patch/" + name); }

std::vector<std::vector<std::string>> Rows(const std::string& manifest) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(ReadFileBytes(Fx(manifest)));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

// Names in a folder, "." and ".." left out.
std::set<std::string> Listing(const std::string& folder) {
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

void CopyTree(const std::string& from, const std::string& to) {
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
void PlacePatch(const std::string& fixturePack) {
  CreateDirectoryA("launchercfg", nullptr);
  CreateDirectoryA("launchercfg\\patchtemp", nullptr);
  ASSERT_TRUE(CopyFileA(Fx(fixturePack + ".pkg").c_str(), "launchercfg\\patchtemp\\version.pkg", FALSE));
  ASSERT_TRUE(CopyFileA(Fx(fixturePack + ".pkg1").c_str(), "launchercfg\\patchtemp\\version.pkg1", FALSE));
}

// One version step's pack work: true when the new version would be recorded.
bool ApplyStep(bool micro) {
  PackClient::FillPackPairsA();
  PackClient::PatchFolder() = "LauncherCfg/PatchTemp";
  PackClient::ConfigFileMap().clear();
  PackClient::OpenAllPacks(micro, false);
  std::vector<FileEntry> list;
  bool advanced = PackClient::ApplyTempPack(kPatchPath, &list);
  if (advanced && !list.empty()) {
    PackClient::PackMergeProgress().total = static_cast<long>(list.size());
    advanced = PackClient::MergeFilesIntoPacks(kPatchPath, &list, micro);
  }
  PackClient::CloseAllPacks();
  PackClient::DeleteFolderTree("LauncherCfg/PatchTemp", false);
  return advanced;
}

bool Applies(const std::string& mode, bool micro) { return mode == "both" || mode == (micro ? "micro" : "normal"); }

std::string ReadKey(FilePack::CFilePackIndexMgr& pack, const std::string& key) {
  const PackEntry* entry = pack.FindEntry(key.c_str());
  if (entry == nullptr) return "(missing)";
  std::string bytes(entry->size + 1, '\0');
  if (!pack.ReadEntryData(entry, reinterpret_cast<uint8_t*>(&bytes[0]), true)) return "(unreadable)";
  bytes.resize(entry->size);
  return bytes;
}

bool OpenClientPack(FilePack::CFilePackIndexMgr& pack, const std::string& name) {
  return pack.OpenPack((name + ".pkg1").c_str(), (name + ".pkg").c_str(), false);
}

// Checks the client against the kit's expectations, through the reader.
void CheckClient(bool micro) {
  for (const auto& row : Rows("expect.txt")) {
    if (!Applies(row[1], micro)) continue;
    const std::string& kind = row[0];
    if (kind == "count" || kind == "key" || kind == "absent") {
      FilePack::CFilePackIndexMgr pack;
      ASSERT_TRUE(OpenClientPack(pack, row[2])) << row[2];
      if (kind == "count") {
        EXPECT_EQ(std::stoul(row[3]), pack.EntryCount()) << row[2];
      } else if (kind == "key") {
        EXPECT_TRUE(ReadKey(pack, row[3]) == ReadFileBytes(Fx(row[4]))) << row[2] << " " << row[3];
      } else {
        EXPECT_FALSE(pack.HasFile(row[3].c_str())) << row[2] << " " << row[3];
      }
    } else if (kind == "file") {
      EXPECT_TRUE(FileExists(row[2])) << row[2];
      EXPECT_TRUE(ReadFileBytes(row[2]) == ReadFileBytes(Fx(row[3]))) << row[2];
    } else if (kind == "nofile") {
      EXPECT_FALSE(FileExists(row[2])) << row[2];
    } else if (kind == "config") {
      const auto& names = PackClient::ConfigFileMap()[std::stoi(row[2])];
      EXPECT_EQ(std::vector<std::string>{row[3]}, names);
    }
  }
}

void ApplyGoodPatch(bool micro) {
  packtest::ScopedClientDir dir(micro ? "apply_micro" : "apply_normal");
  CopyTree(Fx("client"), dir.Path());
  PlacePatch("good");
  // The launcher holds its own library open while it applies the patch.
  HANDLE held = CreateFileA("lumivard.dll", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_TRUE(ApplyStep(micro));
  CloseHandle(held);
  CheckClient(micro);
  // Every entry of the version list was counted.
  EXPECT_EQ(PackClient::PackMergeProgress().total, PackClient::PackMergeProgress().handled);
  if (!micro) {
    EXPECT_TRUE(PackClient::ConfigFileMap().empty());
  }
}

}  // namespace

TEST(PatchApply, GeneratedPatchGivesTheExpectedClient) { ApplyGoodPatch(false); }

TEST(PatchApply, MicroModeDeletesOutsideTheMovedPacks) { ApplyGoodPatch(true); }

TEST(PatchApply, ReapplyingIsHarmless) {
  packtest::ScopedClientDir dir("apply_twice");
  CopyTree(Fx("client"), dir.Path());
  PlacePatch("good");
  ASSERT_TRUE(ApplyStep(false));
  PlacePatch("good");
  EXPECT_TRUE(ApplyStep(false));
  CheckClient(false);
}

TEST(PatchApply, HostilePatchesTouchNothingOutside) {
  const std::string victim = ReadFileBytes(Fx("outside/victim.txt"));
  ASSERT_FALSE(victim.empty());
  int checked = 0;
  for (const auto& row : Rows("hostile.txt")) {
    const std::string& name = row[0];
    packtest::ScopedClientDir around("hostile");
    ASSERT_TRUE(CreateDirectoryA("outside", nullptr));
    ASSERT_TRUE(WriteFileBytes("outside/victim.txt", victim));
    {
      packtest::ScopedClientDir client("client");
      CopyTree(Fx("client"), client.Path());
      PlacePatch("hostile/" + name);
      testsupport::ClearShownBoxes();
      EXPECT_FALSE(ApplyStep(false)) << name;
      // The client's packs still read back; the untouched entry is intact.
      FilePack::CFilePackIndexMgr pack, original;
      ASSERT_TRUE(OpenClientPack(pack, "data/006")) << name;
      ASSERT_TRUE(OpenClientPack(original, Fx("client/data/006"))) << name;
      EXPECT_TRUE(ReadKey(pack, "data/world/w1.dds") == ReadKey(original, "data/world/w1.dds")) << name;
    }
    EXPECT_EQ((std::set<std::string>{"outside"}), Listing(around.Path())) << name;
    EXPECT_EQ((std::set<std::string>{"victim.txt"}), Listing(around.Path() + "\\outside")) << name;
    EXPECT_EQ(victim, ReadFileBytes("outside/victim.txt")) << name;
    EXPECT_EQ((std::set<std::string>{"victim.txt"}), Listing(Fx("outside"))) << name;
    EXPECT_EQ(victim, ReadFileBytes(Fx("outside/victim.txt"))) << name;
    ++checked;
  }
  EXPECT_EQ(17, checked);
}
