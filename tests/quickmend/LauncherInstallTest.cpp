// The updater's files in its working folder: the recorded version, the
// address it fetches and the folder check.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "LauncherInstall.h"
#include "support/TestSupport.h"
#include "tinyxml.h"

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char* const kCfg = "LauncherCfg/UpdateCfg.xml";

// Runs the body with a fresh folder as the working folder.
template <class Body>
void InFolder(const std::string& name, Body body) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  testsupport::RemoveTree(name);
  CreateDirectoryA(name.c_str(), nullptr);
  CreateDirectoryA((name + "/LauncherCfg").c_str(), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA(name.c_str()));
  body();
  SetCurrentDirectoryA(previous);
}

// The texts of the elements named name under Update.
std::vector<std::string> Texts(const char* name) {
  TiXmlDocument doc;
  std::vector<std::string> texts;
  const TiXmlElement* update = doc.LoadFile(kCfg) ? doc.FirstChildElement("Update") : nullptr;
  for (const TiXmlElement* e = update ? update->FirstChildElement(name) : nullptr; e; e = e->NextSiblingElement(name))
    texts.push_back(e->GetText() ? e->GetText() : "");
  return texts;
}

}  // namespace

TEST(WritePatchVersion, LeavesExactlyOnePatchVerOrFailsWithTheFileAsItWas) {
  const struct {
    const char* cfg;   // fixture, null: no file
    bool saveBlocked;  // the new file cannot be written beside the old one
    bool ok;
  } cases[] = {{"full", false, true},
               {"two_patchver", false, true},
               {"no_update", false, false},
               {nullptr, false, false},
               {"full", true, false}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(n);
    InFolder("record" + std::to_string(n++), [&] {
      std::string before =
          c.cfg ? ReadFileBytes(testsupport::FixturePath(std::string("quickmend/updatecfg/") + c.cfg + ".xml")) : "";
      if (c.cfg) WriteFileBytes(kCfg, before);
      SetFileAttributesA(kCfg, FILE_ATTRIBUTE_READONLY);  // made writable first
      if (c.saveBlocked) CreateDirectoryA((std::string(kCfg) + ".new").c_str(), nullptr);
      ASSERT_EQ(WritePatchVersion("1.250"), c.ok);
      if (!c.ok) {
        EXPECT_EQ(ReadFileBytes(kCfg), before);
        return;
      }
      EXPECT_EQ(Texts("PatchVer"), std::vector<std::string>{"1.250"});
      EXPECT_EQ(Texts("Version").size(), 1u);
      EXPECT_FALSE(testsupport::FileExists(std::string(kCfg) + ".new"));
      if (std::string(c.cfg) == "full") {  // the rest kept, GBK text as it was
        EXPECT_EQ(Texts("ClientVersion"), std::vector<std::string>{"1.0.0.4 测试版"});
        EXPECT_EQ(Texts("super").size(), 1u);
      }
    });
  }
}

TEST(PackageUrl, LowerCasesSingleByteLettersAndAppendsPak) {
  // 丄 and 乑 are double-byte characters whose second bytes are 'A' and 'Z'.
  EXPECT_EQ(std::string(PackageUrl("HTTP://Host:80/Launcher/丄乑/1.25")), "http://host:80/launcher/丄乑/1.25.pak");
}

TEST(LauncherFolderOk, NeedsTheLauncherInAFolderThatFitsTheBuffer) {
  InFolder("folder_without", [] { EXPECT_FALSE(LauncherFolderOk()); });
  // The folder and "/zarn_launcher.exe" must fit 255 bytes, the folder alone
  // the buffer: a folder name the buffer cannot hold is never used cut.
  char cwd[MAX_PATH];
  const size_t base = GetCurrentDirectoryA(MAX_PATH, cwd);
  const struct {
    size_t length;
    bool ok;
  } cases[] = {{200, true}, {236, true}, {237, false}, {254, false}, {255, false}, {256, false}};
  for (const auto& c : cases) {
    // A path of exactly that length: "lenN" then 40-character folders, the last one filling up.
    std::string folder = "len" + std::to_string(c.length);
    testsupport::RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    while (base + 1 + folder.size() < c.length) {
      size_t need = c.length - base - 1 - folder.size();
      folder += "/" + std::string(need <= 41 ? need - 1 : need == 42 ? 39 : 40, 'd');
      CreateDirectoryA(folder.c_str(), nullptr);
    }
    ASSERT_EQ(base + 1 + folder.size(), c.length);
    WriteFileBytes(folder + "/" + kLauncherExe, "x");
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << c.length;
    EXPECT_EQ(LauncherFolderOk(), c.ok) << c.length;
    SetCurrentDirectoryA(cwd);
  }
}
