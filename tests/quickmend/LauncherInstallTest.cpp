// The updater's files in its working folder: the recorded version, the
// address it fetches and the folder check.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "LauncherInstall.h"
#include "support/TestSupport.h"
#include "tinyxml.h"

using testsupport::FixturePath;
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

std::string Cfg(const char* name) { return ReadFileBytes(FixturePath(std::string("quickmend/updatecfg/") + name + ".xml")); }

// The texts of every child named name under Update.
std::vector<std::string> Texts(const std::string& name) {
  TiXmlDocument doc;
  std::vector<std::string> texts;
  if (!doc.LoadFile(kCfg)) return {"unreadable"};
  const TiXmlElement* update = doc.FirstChildElement("Update");
  for (const TiXmlElement* e = update ? update->FirstChildElement(name.c_str()) : nullptr; e != nullptr;
       e = e->NextSiblingElement(name.c_str()))
    texts.push_back(e->GetText() ? e->GetText() : "");
  return texts;
}

// A folder below the working folder whose full path is exactly length
// characters; empty when it cannot be made.
std::string FolderOfLength(size_t length) {
  char cwd[MAX_PATH];
  size_t base = GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string relative = "len" + std::to_string(length);
  testsupport::RemoveTree(relative);
  while (base + 1 + relative.size() < length) {
    size_t need = length - base - 1 - relative.size();
    relative += need == 1 ? std::string("d") : "/" + std::string(std::min<size_t>(need - 1, 40), 'd');
  }
  for (size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
    CreateDirectoryA(relative.substr(0, slash).c_str(), nullptr);
  if (!CreateDirectoryA(relative.c_str(), nullptr)) return "";
  return relative;
}

}  // namespace

TEST(WritePatchVersion, LeavesExactlyOnePatchVerAndTheRest) {
  const char* cases[] = {"full", "two_patchver"};
  for (const char* name : cases) {
    InFolder(std::string("record_") + name, [&] {
      ASSERT_TRUE(WriteFileBytes(kCfg, Cfg(name)));
      SetFileAttributesA(kCfg, FILE_ATTRIBUTE_READONLY);  // made writable first
      ASSERT_TRUE(WritePatchVersion("1.250")) << name;
      EXPECT_EQ(Texts("PatchVer"), std::vector<std::string>{"1.250"}) << name;
      EXPECT_EQ(Texts("Version").size(), 1u) << name;
      EXPECT_FALSE(testsupport::FileExists(std::string(kCfg) + ".new")) << name;
    });
  }
  InFolder("record_kept", [] {
    ASSERT_TRUE(WriteFileBytes(kCfg, Cfg("full")));
    ASSERT_TRUE(WritePatchVersion("2.500"));
    EXPECT_EQ(Texts("Version"), std::vector<std::string>{"1.0.0.4"});
    EXPECT_EQ(Texts("ClientVersion"), std::vector<std::string>{"1.0.0.4 测试版"});
    EXPECT_EQ(Texts("super").size(), 1u);
  });
}

TEST(WritePatchVersion, FailsWithoutTheFileItsUpdateOrASave) {
  InFolder("record_missing", [] { EXPECT_FALSE(WritePatchVersion("1.250")); });
  InFolder("record_no_update", [] {
    std::string before = Cfg("no_update");
    ASSERT_TRUE(WriteFileBytes(kCfg, before));
    EXPECT_FALSE(WritePatchVersion("1.250"));
    EXPECT_EQ(ReadFileBytes(kCfg), before);
  });
  // The new file is written beside the old one; where it cannot be, the
  // old one stays as it was and the result says so.
  InFolder("record_unsaved", [] {
    std::string before = Cfg("full");
    ASSERT_TRUE(WriteFileBytes(kCfg, before));
    ASSERT_TRUE(CreateDirectoryA((std::string(kCfg) + ".new").c_str(), nullptr));
    EXPECT_FALSE(WritePatchVersion("1.250"));
    EXPECT_EQ(ReadFileBytes(kCfg), before);
  });
}

TEST(PackageUrl, LowerCasesSingleByteLettersAndAppendsPak) {
  // 丄 and 乑 are double-byte characters whose second bytes are 'A' and 'Z'.
  EXPECT_EQ(std::string(PackageUrl("HTTP://Host:80/Launcher/丄乑/1.25")), "http://host:80/launcher/丄乑/1.25.pak");
  EXPECT_EQ(std::string(PackageUrl("")), ".pak");
}

TEST(LauncherFolderOk, NeedsTheLauncherInAFolderThatFitsTheBuffer) {
  InFolder("folder_without", [] { EXPECT_FALSE(LauncherFolderOk()); });
  InFolder("folder_with", [] {
    WriteFileBytes(kLauncherExe, "x");
    EXPECT_TRUE(LauncherFolderOk());
  });
  // The folder and the launcher's name must fit 255 bytes, the folder alone
  // the buffer: a folder name the buffer cannot hold is never used cut.
  const struct {
    size_t length;
    bool ok;
  } cases[] = {{200, true}, {236, true}, {237, false}, {254, false}, {255, false}, {256, false}};
  for (const auto& c : cases) {
    std::string folder = FolderOfLength(c.length);
    ASSERT_FALSE(folder.empty()) << c.length;
    WriteFileBytes(folder + "/" + kLauncherExe, "x");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << c.length;
    EXPECT_EQ(LauncherFolderOk(), c.ok) << c.length;
    SetCurrentDirectoryA(previous);
  }
}
