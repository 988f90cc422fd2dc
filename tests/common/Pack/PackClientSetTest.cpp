#include <windows.h>
#include <direct.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ClientDirUtil.h"
#include "PackTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

void MakeReadOnly(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << path;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

void CopyPack(const std::string& fixture, const std::string& client) {
  ASSERT_TRUE(WriteFileBytes(client + ".pkg", ReadFileBytes(packtest::Fx(fixture + ".pkg"))));
  ASSERT_TRUE(WriteFileBytes(client + ".pkg1", ReadFileBytes(packtest::Fx(fixture + ".pkg1"))));
}

int OpenDataPacks() {
  int open = 0;
  for (int n = 1; n <= 9; ++n) open += FilePack::ClientPackManager(n)->IsOpen();
  return open;
}

}  // namespace

TEST(PackClientMoved, ListsAndTheirOperations) {
  packtest::ScopedClientDir dir("moved");
  PackClient::FillPackPairsA();
  ASSERT_EQ(5u, PackClient::MoveAsideListA().size());
  ASSERT_EQ(4u, PackClient::MoveAsideListB().size());
  ASSERT_EQ(9u, PackClient::MoveAsideListAll().size());
  EXPECT_STREQ("Data/006.pkg", PackClient::MoveAsideListA()[0].source);
  EXPECT_STREQ("data/006.pkg2", PackClient::MoveAsideListA()[0].target);
  EXPECT_STREQ("data/002.pkg2", PackClient::MoveAsideListAll()[8].target);

  EXPECT_FALSE(PackClient::IsInMoveList("data\\004.pkg"));  // only in list B
  EXPECT_TRUE(PackClient::IsInMoveList("DATA\\006.PKG"));
  EXPECT_FALSE(PackClient::IsInMoveList(nullptr));
  EXPECT_TRUE(PackClient::IsMovedPackName("DATA/004.PKG2"));
  EXPECT_FALSE(PackClient::IsMovedPackName("data/004.pkg"));

  ASSERT_EQ(0, _mkdir("data"));
  MakeReadOnly("data/006.pkg2", "six");
  MakeReadOnly("data/004.pkg2", "four");
  std::vector<std::string> missing;
  PackClient::ListMissingMovedPacks(&missing);
  EXPECT_EQ((std::vector<std::string>{"data/008.pkg2", "data/007.pkg2", "data/005.pkg2", "data/009.pkg2",
                                      "data/003.pkg2", "data/001.pkg2", "data/002.pkg2"}),
            missing);

  EXPECT_TRUE(PackClient::DeleteMovedPackFor("Data/004.pkg"));  // not in list A: kept
  EXPECT_TRUE(FileExists("data/004.pkg2"));
  EXPECT_TRUE(PackClient::DeleteMovedPackFor("Data\\006.PKG"));
  EXPECT_FALSE(FileExists("data/006.pkg2"));
  EXPECT_FALSE(PackClient::DeleteMovedPackFor(nullptr));

  MakeReadOnly("data/007.pkg2", "seven");
  MakeReadOnly("data/007.pkg2_old", "older");
  EXPECT_TRUE(PackClient::DeleteMovedPacks());
  EXPECT_FALSE(FileExists("data/007.pkg2"));
  EXPECT_FALSE(FileExists("data/007.pkg2_old"));
  EXPECT_FALSE(FileExists("data/004.pkg2"));

  ASSERT_TRUE(WriteFileBytes("data/005.pkg2", "new"));
  ASSERT_TRUE(WriteFileBytes("data/x.pkg2", "x"));
  std::vector<std::string> paths = {"data/x.pkg2", "data/005.pkg2"};
  EXPECT_TRUE(PackClient::RenameMovedPacksToOld(&paths));
  EXPECT_EQ("new", ReadFileBytes("data/005.pkg2_old"));
  EXPECT_FALSE(FileExists("data/005.pkg2"));
  // Nothing to move, or a copy (a truncated refetch) beside the "_old" still
  // to be reconciled: the "_old" stays as it is, the copy goes.
  const std::string valid = ReadFileBytes(packtest::Fx("small_lz1_w0.pkg1"));
  ASSERT_TRUE(WriteFileBytes("data/005.pkg2_old", valid));
  const std::string truncated = valid.substr(0, valid.size() / 2);
  for (const std::string& copy : {std::string(), truncated}) {
    if (!copy.empty()) {
      ASSERT_TRUE(WriteFileBytes("data/005.pkg2", copy));
    }
    paths = {"data/005.pkg2"};
    EXPECT_TRUE(PackClient::RenameMovedPacksToOld(&paths));
    EXPECT_EQ(valid, ReadFileBytes("data/005.pkg2_old"));
    EXPECT_FALSE(FileExists("data/005.pkg2"));
  }
  paths = {"data/x.pkg2"};
  EXPECT_FALSE(PackClient::RenameMovedPacksToOld(&paths));
  EXPECT_TRUE(FileExists("data/x.pkg2"));
}

TEST(PackClientSet, OpenCloseAndForcedReopen) {
  packtest::ScopedClientDir dir("packset");
  PackClient::FillPackPairsA();
  // Micro mode creates the missing packs empty.
  PackClient::OpenAllPacks(true, false);
  EXPECT_EQ(9, OpenDataPacks());
  EXPECT_FALSE(FilePack::ClientPackManager(10)->IsOpen());
  EXPECT_TRUE(FilePack::ClientPackManager(6)->MicroMode());
  EXPECT_TRUE(PackClient::CloseAllPacks());
  EXPECT_EQ(0, OpenDataPacks());

  PackClient::OpenAllPacks(false, false);
  EXPECT_EQ(9, OpenDataPacks());
  EXPECT_FALSE(FilePack::ClientPackManager(6)->MicroMode());
  // New contents on disk: force reopens only the packs of list A.
  CopyPack("small_lz1_w0", "Data/006");
  CopyPack("small_lz1_w0", "Data/004");
  SetFileAttributesA("Data/006.pkg1", FILE_ATTRIBUTE_READONLY);
  PackClient::OpenAllPacks(false, true);
  EXPECT_TRUE(FilePack::ClientPackManager(6)->HasFile("data/world/a1.bin"));
  EXPECT_FALSE(FilePack::ClientPackManager(4)->HasFile("data/world/a1.bin"));
  EXPECT_EQ(0u, GetFileAttributesA("Data/006.pkg1") & FILE_ATTRIBUTE_READONLY);
  PackClient::CloseAllPacks();
  EXPECT_EQ(0, OpenDataPacks());
}

TEST(PackClientSet, LooseFilesInPackFolders) {
  packtest::ScopedClientDir dir("loose");
  EXPECT_FALSE(PackClient::HasLooseFilesInPackFolders());
  ASSERT_EQ(0, _mkdir("data"));
  ASSERT_EQ(0, _mkdir("data/005"));
  ASSERT_EQ(0, _mkdir("data/010"));
  ASSERT_TRUE(WriteFileBytes("data/010/a.pkg3", "x"));  // no data pack folder
  EXPECT_FALSE(PackClient::HasLooseFilesInPackFolders());
  ASSERT_TRUE(WriteFileBytes("data/005/a.pkg3", "x"));
  EXPECT_TRUE(PackClient::HasLooseFilesInPackFolders());
}
