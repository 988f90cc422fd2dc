#include <windows.h>
#include <direct.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ClientDirUtil.h"
#include "common/Pack/PatchFileList.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/PatchPath.h"

using PackClient::FileEntry;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

std::vector<FileEntry> Parse(const std::string& xml, bool withDeletes, bool* ok, const char* base = "") {
  return *PackClient::ParseFileList(xml.data(), static_cast<int>(xml.size()), base, withDeletes, ok);
}

std::string List(const std::string& body) { return "<VersionInfo><FileList>" + body + "</FileList></VersionInfo>"; }

const char* const kFullList =
    "<delFolder>data/abc</delFolder>"
    "<delFolder>Data\\Old\\</delFolder>"
    "<File>zarn_client.exe<Size>10</Size><Date>d1</Date><Crc>c1</Crc></File>"
    "<File Compress=\"1\">readme.txt<Size>5</Size></File>"
    "<File>empty.txt<Size>0</Size></File>"
    "<Folder>ignored text<File>Data\\Item.pak<Size>7</Size><Crc>c2</Crc></File></Folder>"
    "<PackFolder>Data/006.pkg"
    "<File>data/world/a.dds<Crc>11</Crc></File>"
    "<File>data/world/zero.dds<Crc>0</Crc></File>"
    "<File Compress=\"\">data/world/nocrc.dds</File>"
    "<Folder><File>data/world/deep.dds<Crc>12</Crc></File></Folder>"
    "</PackFolder>";

}  // namespace

TEST(PatchFileList, ReadsEveryKindOfElement) {
  packtest::ScopedClientDir dir("lists");
  ASSERT_EQ(0, _mkdir("base"));
  ASSERT_TRUE(WriteFileBytes("base\\empty.txt", "old contents"));
  bool ok = false;
  std::vector<FileEntry> list = Parse(List(kFullList), true, &ok, "base");
  ASSERT_TRUE(ok);
  // A "File" of size 0 is left empty at its place and gives no entry.
  EXPECT_TRUE(FileExists("base\\empty.txt"));
  EXPECT_EQ("", ReadFileBytes("base\\empty.txt"));

  const struct {
    const char *downloadName, *location, *date, *name, *crc;
    int compressed, inPack, deleteFolder;
  } expected[] = {
      {"", "", "", "data/abc/", "", 0, 0, 1},
      {"", "", "", "data/old/", "", 0, 0, 1},
      {"zarn_client.exe", "base\\zarn_client.exe", "d1", "zarn_client.exe", "c1", 0, 0, 0},
      {"readme.txt.zip", "base\\readme.txt", "", "readme.txt", "", 1, 0, 0},
      {"Data\\Item.pak", "base\\Data\\Item.pak", "", "Data\\Item.pak", "c2", 0, 0, 0},
      {"Data/006.pkg/data/world/a.dds", "Data/006.pkg", "", "data/world/a.dds", "11", 0, 1, 0},
      {"Data/006.pkg/data/world/nocrc.dds.zip", "Data/006.pkg", "", "data/world/nocrc.dds", "", 1, 1, 0},
      {"Data/006.pkg/data/world/deep.dds", "Data/006.pkg", "", "data/world/deep.dds", "12", 0, 1, 0},
  };
  ASSERT_EQ(sizeof(expected) / sizeof(expected[0]), list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    const auto& e = expected[i];
    EXPECT_STREQ(e.downloadName, list[i].downloadName) << i;
    EXPECT_STREQ(e.location, list[i].location) << i;
    EXPECT_STREQ(e.date, list[i].date) << i;
    EXPECT_STREQ(e.name, list[i].name) << i;
    EXPECT_STREQ(e.crc, list[i].crc) << i;
    EXPECT_EQ(e.compressed, list[i].compressed) << i;
    EXPECT_EQ(e.inPack, list[i].inPack) << i;
    EXPECT_EQ(e.deleteFolder, list[i].deleteFolder) << i;
  }

  // Without deletes: no folders, of the files only the special client files.
  list = Parse(List(kFullList), false, &ok);
  ASSERT_TRUE(ok);
  std::vector<std::string> names;
  for (const FileEntry& e : list) names.push_back(e.name.Str());
  EXPECT_EQ((std::vector<std::string>{"zarn_client.exe", "Data\\Item.pak", "data/world/a.dds", "data/world/nocrc.dds",
                                      "data/world/deep.dds"}),
            names);
}

TEST(PatchFileList, MalformedListsFailWithTheBox) {
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"not xml", "this is not xml"},
      {"empty", ""},
      {"no VersionInfo", "<Other><FileList/></Other>"},
      {"no FileList", "<VersionInfo><Files/></VersionInfo>"},
      {"cut short", List(kFullList).substr(0, 120)},
  };
  for (const auto& c : cases) {
    testsupport::ClearShownBoxes();
    bool ok = true;
    std::vector<FileEntry> list = Parse(c.xml, true, &ok);
    EXPECT_FALSE(ok) << c.what;
    EXPECT_TRUE(list.empty()) << c.what;
    auto boxes = testsupport::ShownBoxes();
    ASSERT_EQ(1u, boxes.size()) << c.what;
    EXPECT_EQ("分析文件列表失败", boxes[0].text) << c.what;
  }
  // The given length bounds the parse: a complete list cut by it fails too.
  std::string whole = List("<File>a.txt<Size>1</Size></File>");
  bool ok = true;
  PackClient::ParseFileList(whole.data(), static_cast<int>(whole.size()) - 3, "", true, &ok);
  EXPECT_FALSE(ok);
}

TEST(PatchFileList, NamesLeavingTheClientFolderFailTheWholeList) {
  packtest::ScopedClientDir dir("hostile_lists");
  const char* const hostile[] = {
      "<File>../victim.txt<Size>0</Size></File>",
      "<File>data\\..\\..\\victim.txt<Size>0</Size></File>",
      "<File>/victim.txt<Size>3</Size></File>",
      "<File>\\\\server\\share\\victim.txt<Size>3</Size></File>",
      "<File>C:/victim.txt<Size>3</Size></File>",
      "<File>c:victim.txt<Size>3</Size></File>",
      "<File>data/a.txt:stream<Size>3</Size></File>",
      "<File><Size>3</Size></File>",
      "<Folder><File>.. /victim.txt<Size>0</Size></File></Folder>",
      "<delFolder></delFolder>",
      "<delFolder>/</delFolder>",
      "<delFolder>./</delFolder>",
      "<delFolder>..\\..</delFolder>",
      "<delFolder>D:\\games</delFolder>",
      "<PackFolder>../Data/006.pkg<File>a.dds<Crc>1</Crc></File></PackFolder>",
      "<PackFolder>Data/006<File>a.dds<Crc>1</Crc></File></PackFolder>",
  };
  for (const char* body : hostile) {
    // A size-0 file before the hostile name is not touched either.
    ASSERT_TRUE(WriteFileBytes("kept.txt", "kept"));
    bool ok = true;
    testsupport::ReportCapture reports;
    std::vector<FileEntry> list = Parse(List(std::string("<File>kept.txt<Size>0</Size></File>") + body), true, &ok);
    EXPECT_FALSE(ok) << body;
    EXPECT_TRUE(list.empty()) << body;
    EXPECT_EQ("kept", ReadFileBytes("kept.txt")) << body;
    EXPECT_GE(reports.Count(), 1u) << body;
  }
}

TEST(PatchPath, ClientPathTable) {
  const struct {
    const char* name;
    bool path, folder;
  } cases[] = {
      {"data/world/a.dds", true, true},
      {"zarn_client.exe", true, true},
      {"data\\abc\\", true, true},
      {"./data/a", true, true},
      {"a..b/c...d", true, true},
      {"\xd6\xd0\xce\xc4/a.txt", true, true},
      {".", true, false},
      {"./", true, false},
      {"", false, false},
      {nullptr, false, false},
      {"/", false, false},
      {"\\", false, false},
      {"/etc/passwd", false, false},
      {"\\\\host\\share\\a", false, false},
      {"//host/share/a", false, false},
      {"C:\\a", false, false},
      {"c:a", false, false},
      {"a/b:c", false, false},
      {"..", false, false},
      {"../a", false, false},
      {"a/../../b", false, false},
      {"a\\..\\b", false, false},
      {"a/.../b", false, false},
      {"a/. ./b", false, false},
      {"a/.. /b", false, false},
      // Device names, whatever the case, folder, extension or trailing dots and blanks.
      {"aux", false, false},          {"data/COM1.dds", false, false},    {"data\\lpt9", false, false},
      {"Con .txt", false, false},     {"prn./a", false, false},           {"com0.a.b", false, false},
      {"CONOUT$.log", false, false},  {"com10.txt", true, true},          {"data/console.xml", true, true},
      {"comA", true, true},
  };
  for (const auto& c : cases) {
    const char* shown = c.name ? c.name : "(null)";
    EXPECT_EQ(c.path, PackClient::IsSafeClientPath(c.name)) << shown;
    EXPECT_EQ(c.folder, PackClient::IsSafeClientFolder(c.name)) << shown;
  }
}

TEST(PatchFolders, CreateAndDeleteTrees) {
  packtest::ScopedClientDir dir("folders");
  PackClient::CreateFolders("Tree\\Sub/Deeper\\file.txt");
  EXPECT_TRUE(GetFileAttributesA("tree/sub/deeper") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(FileExists("tree/sub/deeper/file.txt"));
  PackClient::CreateFolders("plainfile");
  EXPECT_FALSE(FileExists("plainfile"));

  ASSERT_TRUE(WriteFileBytes("tree/a.txt", "a"));
  ASSERT_TRUE(WriteFileBytes("tree/sub/deeper/b.txt", "b"));
  SetFileAttributesA("tree/sub/deeper/b.txt", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(WriteFileBytes("treex.txt", "beside"));
  PackClient::DeleteFolderTree("tree", false);
  EXPECT_TRUE(FileExists("tree"));
  EXPECT_FALSE(FileExists("tree/a.txt"));
  EXPECT_FALSE(FileExists("tree/sub"));
  PackClient::DeleteFolderTree("tree/", true);
  EXPECT_FALSE(FileExists("tree"));
  EXPECT_EQ("beside", ReadFileBytes("treex.txt"));

  // Names that name no folder would list the current folder: refused.
  for (const char* none : {"", ".", "./", ".\\"}) {
    PackClient::DeleteFolderTree(none, true);
    EXPECT_EQ("beside", ReadFileBytes("treex.txt")) << none;
  }
  PackClient::DeleteFolderTree(nullptr, true);
}
