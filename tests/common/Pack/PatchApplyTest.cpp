#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "PatchTestUtil.h"

using PackClient::FileEntry;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

using namespace packtest;

bool Applies(const std::string& mode, bool micro) { return mode == "both" || mode == (micro ? "micro" : "normal"); }

// Checks the client against the kit's expectations, through the reader.
void CheckClient(bool micro, bool firstApplication = true) {
  for (const auto& row : Rows("expect.txt")) {
    if (!Applies(row[1], micro)) continue;
    const std::string& kind = row[0];
    if (kind == "count" || kind == "key" || kind == "absent") {
      FilePack::CFilePackIndexMgr pack;
      ASSERT_TRUE(OpenClientPack(pack, row[2])) << row[2];
      if (kind == "count") {
        EXPECT_EQ(std::stoul(row[3]), pack.EntryCount()) << row[2];
      } else if (kind == "key") {
        EXPECT_TRUE(ReadKey(pack, row[3]) == ReadFileBytes(PatchFx(row[4]))) << row[2] << " " << row[3];
      } else {
        EXPECT_FALSE(pack.HasFile(row[3].c_str())) << row[2] << " " << row[3];
      }
    } else if (kind == "whole") {
      // Applied again, the pack exists and is merged into instead.
      if (firstApplication) EXPECT_TRUE(ReadFileBytes(row[2]) == ReadFileBytes(PatchFx(row[3]))) << row[2];
    } else if (kind == "file") {
      EXPECT_TRUE(FileExists(row[2])) << row[2];
      EXPECT_TRUE(ReadFileBytes(row[2]) == ReadFileBytes(PatchFx(row[3]))) << row[2];
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
  CopyTree(PatchFx("client"), dir.Path());
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
  CopyTree(PatchFx("client"), dir.Path());
  PlacePatch("good");
  ASSERT_TRUE(ApplyStep(false));
  PlacePatch("good");
  EXPECT_TRUE(ApplyStep(false));
  CheckClient(false, false);
}

TEST(PatchApply, HostilePatchesTouchNothingOutside) {
  const std::string victim = ReadFileBytes(PatchFx("outside/victim.txt"));
  ASSERT_FALSE(victim.empty());
  int checked = 0;
  for (const auto& row : Rows("hostile.txt")) {
    const std::string& name = row[0];
    packtest::ScopedClientDir around("hostile");
    ASSERT_TRUE(CreateDirectoryA("outside", nullptr));
    ASSERT_TRUE(WriteFileBytes("outside/victim.txt", victim));
    {
      packtest::ScopedClientDir client("client");
      CopyTree(PatchFx("client"), client.Path());
      PlacePatch("hostile/" + name);
      testsupport::ClearShownBoxes();
      EXPECT_FALSE(ApplyStep(false)) << name;
      // The client's packs still read back; the untouched entry is intact.
      FilePack::CFilePackIndexMgr pack, original;
      ASSERT_TRUE(OpenClientPack(pack, "data/006")) << name;
      ASSERT_TRUE(OpenClientPack(original, PatchFx("client/data/006"))) << name;
      EXPECT_TRUE(ReadKey(pack, "data/world/w1.dds") == ReadKey(original, "data/world/w1.dds")) << name;
    }
    EXPECT_EQ((std::set<std::string>{"outside"}), Listing(around.Path())) << name;
    EXPECT_EQ((std::set<std::string>{"victim.txt"}), Listing(around.Path() + "\\outside")) << name;
    EXPECT_EQ(victim, ReadFileBytes("outside/victim.txt")) << name;
    EXPECT_EQ((std::set<std::string>{"victim.txt"}), Listing(PatchFx("outside"))) << name;
    EXPECT_EQ(victim, ReadFileBytes(PatchFx("outside/victim.txt"))) << name;
    ++checked;
  }
  EXPECT_EQ(18, checked);
}
