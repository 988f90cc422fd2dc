#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ClientDirUtil.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"

using PackClient::FileEntry;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

std::string Fx(const std::string& name) { return testsupport::FixturePath("patch/" + name); }

}  // namespace

TEST(PatchExtract, UnpacksTheDownloadAndReadsItsLists) {
  packtest::ScopedClientDir dir("extract");
  const std::string good = Fx("good");
  ASSERT_TRUE(PackClient::ExtractPackToFolder(good.c_str(), "Patch\\"));
  for (const char* name : {"patch/temppack.pkg", "patch/temppack.pkg1", "patch/data/006.pkg", "patch/data/003.pkg1"})
    EXPECT_TRUE(FileExists(name)) << name;

  FilePack::CFilePackIndexMgr temp;
  ASSERT_TRUE(temp.OpenPack("patch/temppack.pkg1", "patch/temppack.pkg", false));
  std::vector<FileEntry> deletes;
  ASSERT_TRUE(ReadFileListFromPack("delinfo_1.xml", &temp, &deletes, true));
  ASSERT_EQ(3u, deletes.size());
  EXPECT_STREQ("data/oldstuff/", deletes[0].name);
  EXPECT_STREQ("old.txt", deletes[1].name);
  EXPECT_STREQ("data/world/gone.dds", deletes[2].name);
  EXPECT_EQ(1, deletes[2].inPack);

  std::vector<FileEntry> version;
  ASSERT_TRUE(ReadFileListFromPack("versioninfo_1.xml", &temp, &version, false));
  EXPECT_EQ(10u, version.size());  // two special files and eight pack entries
  // A list that does not parse is a failure, not an empty success.
  testsupport::ClearShownBoxes();
  EXPECT_FALSE(ReadFileListFromPack("versioninfo_0.xml", &temp, &version, false));
  EXPECT_EQ(1u, testsupport::ShownBoxes().size());
  EXPECT_FALSE(ReadFileListFromPack("no_such_list.xml", &temp, &version, false));
  EXPECT_FALSE(ReadFileListFromPack(nullptr, &temp, &version, false));
  temp.Close(false);
  EXPECT_FALSE(ReadFileListFromPack("delinfo_1.xml", &temp, &deletes, true));
  EXPECT_FALSE(ReadFileListFromPack("delinfo_1.xml", nullptr, &deletes, true));
}

TEST(PatchExtract, RefusesNamesOutsideAndBadPacks) {
  packtest::ScopedClientDir dir("extract_bad");
  const std::string hostile = Fx("hostile/outer_traversal");
  testsupport::ReportCapture reports;
  EXPECT_FALSE(PackClient::ExtractPackToFolder(hostile.c_str(), "patch\\"));
  EXPECT_TRUE(reports.Contains("../../../outside/victim.txt"));
  EXPECT_FALSE(FileExists("patch"));  // checked before anything was written
  EXPECT_FALSE(PackClient::ExtractPackToFolder(Fx("missing").c_str(), "patch\\"));
  EXPECT_FALSE(PackClient::ExtractPackToFolder(nullptr, "patch\\"));
  EXPECT_FALSE(PackClient::ExtractPackToFolder(Fx("good").c_str(), nullptr));
}
