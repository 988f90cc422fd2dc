#include <windows.h>
#include <direct.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PackTestUtil.h"
#include "PatchTestUtil.h"
#include "common/Pack/PackClientState.h"

using PackClient::FileEntry;
using packtest::OpenClientPack;
using packtest::PatchFx;
using packtest::ReadKey;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

FileEntry PackEntryOf(const char* pack, const char* name) {
  FileEntry entry;
  PackClient::InitFileEntry(&entry);
  entry.inPack = 1;
  entry.location = pack;
  entry.name = name;
  return entry;
}

FileEntry FileOf(const char* name, uint8_t deleteFolder = 0) {
  FileEntry entry;
  PackClient::InitFileEntry(&entry);
  entry.location = entry.name = name;
  entry.deleteFolder = deleteFolder;
  return entry;
}

void PlaceClient(const packtest::ScopedClientDir& dir) {
  packtest::CopyTree(PatchFx("client"), dir.Path());
  PackClient::FillPackPairsA();
  PackClient::OpenAllPacks(false, false);
}

bool Holds(const std::string& pack, const char* key) {
  FilePack::CFilePackIndexMgr reader;
  return OpenClientPack(reader, pack) && reader.HasFile(key);
}

}  // namespace

TEST(PatchDelete, FoldersEntriesAndFiles) {
  packtest::ScopedClientDir dir("delete_list");
  PlaceClient(dir);
  SetFileAttributesA("old.txt", FILE_ATTRIBUTE_READONLY);
  std::vector<FileEntry> list = {
      PackEntryOf("Data/006.pkg", "Data\\World\\W1.DDS"),  // compared as the pack store normalises keys
      PackEntryOf("Data/007.pkg", "data/world/w2.dds"),    // no open pack: dropped
      FileOf("data/oldstuff/", 1),
      PackEntryOf("Data/006.pkg", "data/world/w3.dds"),
      FileOf("old.txt"),
  };
  EXPECT_TRUE(ApplyDeleteList(&list));
  EXPECT_TRUE(list.empty());
  PackClient::CloseAllPacks();
  EXPECT_FALSE(Holds("data/006", "data/world/w1.dds"));
  EXPECT_FALSE(Holds("data/006", "data/world/w3.dds"));
  EXPECT_TRUE(Holds("data/006", "data/world/w2.dds"));
  EXPECT_FALSE(Holds("data/006", "data/oldstuff/o1.bin"));
  EXPECT_FALSE(Holds("data/004", "data/oldstuff/o2.xml"));
  // "data/oldstuff/" is not a prefix of "data/oldstuffx/".
  EXPECT_TRUE(Holds("data/006", "data/oldstuffx/keep.bin"));
  EXPECT_TRUE(FileExists("data/oldstuffx/keep.txt"));
  EXPECT_FALSE(FileExists("data/oldstuff"));
  EXPECT_FALSE(FileExists("old.txt"));

  std::vector<FileEntry> empty;
  EXPECT_FALSE(ApplyDeleteList(&empty));
  EXPECT_FALSE(ApplyDeleteList(nullptr));
}

TEST(PatchDelete, OneUnsafeNameStopsTheWholeList) {
  packtest::ScopedClientDir dir("delete_unsafe");
  PlaceClient(dir);
  for (FileEntry bad : {FileOf("../old.txt"), FileOf("", 1), FileOf("/", 1), FileOf("C:\\x\\", 1)}) {
    std::vector<FileEntry> list = {PackEntryOf("Data/006.pkg", "data/world/w1.dds"), FileOf("old.txt"), bad};
    EXPECT_FALSE(ApplyDeleteList(&list)) << bad.name.Str();
    EXPECT_TRUE(FileExists("old.txt"));
  }
  PackClient::CloseAllPacks();
  EXPECT_TRUE(Holds("data/006", "data/world/w1.dds"));
}

TEST(PatchMerge, RefusesListsItCannotApply) {
  packtest::ScopedClientDir dir("merge_refused");
  PlaceClient(dir);
  packtest::PlacePatch("good");
  // A pack with no client manager: reported and failed, not looped on.
  ASSERT_TRUE(WriteFileBytes("data/zzz.pkg", "not a client pack"));
  std::vector<FileEntry> list = {PackEntryOf("data/zzz.pkg", "a.bin"), PackEntryOf("data/zzz.pkg", "b.bin")};
  testsupport::ReportCapture reports;
  EXPECT_FALSE(PackClient::MergeFilesIntoPacks(packtest::kPatchPath, &list, false));
  EXPECT_GE(reports.Count(), 1u);
  // Names leaving the client folder, or a pack entry naming an index (its
  // merge would write into the index): refused before anything is created.
  for (FileEntry bad : {PackEntryOf("../data/006.pkg", "a.bin"), FileOf("..\\zarn_client.exe"),
                        PackEntryOf("Data/006.pkg1", "a.bin")}) {
    list = {PackEntryOf("Data/006.pkg", "data/world/new1.dds"), bad};
    EXPECT_FALSE(PackClient::MergeFilesIntoPacks(packtest::kPatchPath, &list, true)) << bad.location.Str();
    EXPECT_EQ(2u, list.size());
  }
  PackClient::CloseAllPacks();
  EXPECT_FALSE(Holds("data/006", "data/world/new1.dds"));
  EXPECT_FALSE(FileExists("../data"));
}

// A long list of loose files with pack entries among them: every entry is
// handled once, in order, and the list ends empty.
TEST(PatchMerge, LongListOfLooseFilesIsHandledWhole) {
  packtest::ScopedClientDir dir("merge_loose");
  packtest::CopyTree(PatchFx("client"), dir.Path());
  PackClient::FillPackPairsA();
  PackClient::OpenAllPacks(true, false);
  packtest::PlacePatch("good");
  const int kLoose = 1000;
  ASSERT_TRUE(CreateDirectoryA("loose", nullptr));
  std::vector<FileEntry> list;
  for (int i = 0; i < kLoose; ++i) {
    const std::string name = "loose/" + std::to_string(i) + "zarn_client.exe";
    list.push_back(FileOf(name.c_str()));
    if (i % 4 == 0) {  // a micro client deletes the client's own files
      ASSERT_TRUE(WriteFileBytes(name, "old")) << name;
      SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY);
    }
  }
  list.insert(list.begin() + 7, PackEntryOf("Data/004.pkg", "config/b.cfg"));
  list.insert(list.begin() + kLoose / 2, PackEntryOf("Data/004.pkg", "ui/u.xml"));
  EXPECT_TRUE(PackClient::MergeFilesIntoPacks(packtest::kPatchPath, &list, true));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(kLoose + 2, PackClient::PackMergeProgress().handled);
  int left = 0;
  for (int i = 0; i < kLoose; ++i) left += FileExists("loose/" + std::to_string(i) + "zarn_client.exe");
  EXPECT_EQ(0, left);
  PackClient::CloseAllPacks();
  EXPECT_FALSE(Holds("data/004", "config/b.cfg"));
  EXPECT_FALSE(Holds("data/004", "ui/u.xml"));
  EXPECT_TRUE(Holds("data/004", "config/a.xml"));
}

TEST(PatchApplyNames, LibraryNameTooLongForItsNewNameIsSkipped) {
  packtest::ScopedClientDir dir("long_library");
  packtest::CopyTree(PatchFx("client"), dir.Path());
  packtest::PlacePatch("long_library");
  const std::string name = ReadFileBytes(PatchFx("LONG_LIBRARY.txt"));
  testsupport::ReportCapture reports;
  EXPECT_TRUE(packtest::ApplyStep(false));
  EXPECT_TRUE(reports.Contains(name));
  EXPECT_FALSE(FileExists(name.substr(0, name.find('/'))));
  EXPECT_EQ("new library\n", ReadFileBytes("lumivard_new.dll"));
}

TEST(PackClientReady, FoldsLooseRecordsOnlyOnceThePacksAreOpen) {
  packtest::ScopedClientDir dir("ready");
  packtest::CopyTree(PatchFx("client"), dir.Path());
  PackClient::PackSet().initialised = false;
  testsupport::ClearShownBoxes();
  EXPECT_FALSE(PackClient::EnsurePacksReady(false, nullptr));
  auto boxes = testsupport::ShownBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("未初始化包，请先初始化", boxes[0].text);

  PackClient::FillPackPairsA();
  PackClient::OpenAllPacks(false, false);
  EXPECT_FALSE(PackClient::EnsurePacksReady(false, nullptr));  // nothing loose
  ASSERT_EQ(0, _mkdir("data/006"));
  ASSERT_TRUE(WriteFileBytes("data/006/a.pkg3", ReadFileBytes(packtest::Fx("pkg3/good.pkg3"))));
  EXPECT_TRUE(PackClient::EnsurePacksReady(false, nullptr));
  EXPECT_FALSE(FileExists("data/006/a.pkg3"));  // the record was taken
  EXPECT_TRUE(FilePack::ClientPackManager(6)->IsOpen());
  EXPECT_TRUE(FilePack::ClientPackManager(4)->IsOpen());
  FilePack::CFilePackIndexMgr original, now;
  ASSERT_TRUE(OpenClientPack(original, PatchFx("client/data/006")));
  ASSERT_TRUE(OpenClientPack(now, "data/006"));
  EXPECT_TRUE(ReadKey(original, "data/world/w1.dds") == ReadKey(now, "data/world/w1.dds"));
  PackClient::CloseAllPacks();
}
