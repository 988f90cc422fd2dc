#include <gtest/gtest.h>

#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"

using PackClient::GetPackForPath;

namespace {

const int kMiss = PackClient::kNoPackSlot;

}  // namespace

TEST(PackClientRules, PathToPackTable) {
  const struct {
    const char* path;
    int slot;
  } cases[] = {
      // A ".tga" under data/world is not an image there.
      {"data/world/a_msk.tga", 3},
      {"data/world/a.cld", 10},
      {"data/world/a.vol", 10},
      {"data/world/a.dls", 10},
      {"data/world/a.png", 6},
      {"data/world/a.path", 2},
      {"data/world/a.xml", 2},
      {"data/world/a.mdl2", 7},
      {"data/world/a.bin", 3},
      // The platform's extension runs from the last "." past the last "\\"
      // or space, across "/": a dotted folder gives the extension.
      {"data/world.x/abc", 3},
      {"data/world.dds/abc", 6},
      {"data\\world.dds\\abc", 6},
      {"data/world/a.dds b", 3},
      {"ui/x.dds", 6},
      {"ui/x.ui", 1},
      {"ui/x.ini", 2},
      {"ui/x.txt", kMiss},
      {"ui/a.tbl", 0},  // past the ui rule into the table rule
      {"data/config/x.dds", 2},
      {"data/sound/quit.png", 6},  // "quit" holds "ui"
      {"data/sound/a.wav", 9},
      {"data/music/a.mp3", 9},
      {"Data\\006.PKG", 3},
      {"data/001.pkg1", 0},
      {"data/002.pkg", 1},
      {"data/003.pkg", 4},
      {"data/004.pkg3", 2},
      {"data/005.pkg", 9},
      {"data/008.pkg", 6},
      {"data/009.pkg", 10},
      {"LauncherCfg/010.pkg", 5},
      {"launchercfg/ui.xml", 5},
      {"data/007.pkg2.pkg1", kMiss},
      {"data/006.pkg2.pkg1", kMiss},
      {"data/007.pkg2", 7},
      {"data/shadertexture/a.dds", 6},
      {"data/shadertexture/a.xml", kMiss},
      {"data/shader/a.fx", 4},
      {"data/shader/a.xml", 2},
      {"splash.dds", 2},
      {"SPLASH.DDS", 2},
      {"readme.txt", kMiss},
      {"data/scripts/a.lua", 2},
      {"data/textures/a.xyz", 6},
      {"data/x/terrain.bin", 6},
      {"data/x/avatar.dds", 6},
      {"data/tbl/a.tbl", 0},
      {"data/tbl/a.txt", 2},
      {"data/effect/a.xml", 2},
      {"data/effect/a.dds", kMiss},
      {"data/avatar/a.ini", 2},
      {"data/avatar/a.tga", 6},
      {"data/avatar/a.mdl", 7},
      {"data/models/a.bmp", 6},
      {"data/models/a.mdl", 7},
      {"data/sceneobjs/a.xml", 2},
      {"data/sceneobjs/a.png", 6},
      {"data/sceneobjs/a.x", 7},
      {"data/defaultdata/a.tga", 6},
      {"data/defaultdata/a.bin", 7},
      {"data/other/a.bin", kMiss},
      // "ui" across a double-byte character (0x81 0x75, then "i") is no match.
      {"data/zz/\x81ui.dds", kMiss},
      {"data/zz/\x81xui.dds", 6},
  };
  for (const auto& c : cases) {
    int slot = -7;
    CString pack = "untouched";
    bool hit = GetPackForPath(c.path, &slot, &pack);
    if (c.slot == kMiss) {
      EXPECT_FALSE(hit) << c.path;
      EXPECT_EQ(-7, slot) << c.path;
      EXPECT_STREQ("untouched", pack) << c.path;
    } else {
      EXPECT_TRUE(hit) << c.path;
      EXPECT_EQ(c.slot, slot) << c.path;
    }
  }
}

TEST(PackClientRules, SlotTables) {
  const char* const packs[11] = {"Data/001.pkg", "Data/002.pkg", "Data/004.pkg", "Data/006.pkg",
                                 "Data/003.pkg", "LauncherCfg/010.pkg", "Data/008.pkg", "Data/007.pkg",
                                 nullptr,        "Data/005.pkg", "Data/009.pkg"};
  const int numbers[11] = {1, 2, 4, 6, 3, 10, 8, 7, 0, 5, 9};
  for (int slot = 0; slot < 11; ++slot) {
    if (packs[slot] == nullptr) continue;
    EXPECT_EQ(slot, PackClient::GetSlotOfPackName(packs[slot])) << slot;
    EXPECT_EQ(FilePack::ClientPackManager(numbers[slot]), PackClient::GetPackManager(slot, false)) << slot;
  }
  EXPECT_EQ(3, PackClient::GetSlotOfPackName("DATA\\006.PKG"));
  EXPECT_EQ(kMiss, PackClient::GetSlotOfPackName("Data/010.pkg"));
  EXPECT_EQ(kMiss, PackClient::GetSlotOfPackName(nullptr));

  EXPECT_EQ(FilePack::GlobalPackManager(), PackClient::GetPackManager(2, true));
  EXPECT_EQ(nullptr, PackClient::GetPackManager(5, true));
  for (int slot : {8, 11, -1, 100}) EXPECT_EQ(nullptr, PackClient::GetPackManager(slot, false)) << slot;

  EXPECT_STREQ("data/script", PackClient::GetPackFolderName(8));
  EXPECT_STREQ("launchercfg/010", PackClient::GetPackFolderName(5));
  EXPECT_STREQ("data/009", PackClient::GetPackFolderName(10));
  for (int slot : {0, 11, -1}) EXPECT_STREQ("data/001", PackClient::GetPackFolderName(slot)) << slot;

  EXPECT_EQ(FilePack::ClientPackManager(8), PackClient::GetPackManagerForPath("data/world/a.dds"));
  EXPECT_EQ(FilePack::ClientPackManager(10), PackClient::GetPackManagerForPath("LauncherCfg/x.xml"));
  EXPECT_EQ(nullptr, PackClient::GetPackManagerForPath("readme.txt"));
  EXPECT_EQ(nullptr, PackClient::GetPackManagerForPath(nullptr));
}

TEST(PackClientRules, NormalizeKeepsDoubleByteCharacters) {
  // 0x95 0x5C is one character whose second byte looks like "\\".
  EXPECT_STREQ("data/\x95\x5c/a\xd6\xd0.dds", PackClient::NormalizePath("Data\\\x95\x5c\\A\xd6\xd0.DDS"));
  EXPECT_STREQ("", PackClient::NormalizePath(""));
}
