#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "AllocationProbe.h"
#include "PackTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PatchFileList.h"
#include "common/Pack/ServerListPak.h"
#include "common/Pack/XmlLoad.h"
#include "tinyxml.h"

using packtest::Fx;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

TEST(ServerListPak, SplitsIntoAPackWithTheFiveMembers) {
  CreateDirectoryA("slp", nullptr);
  ASSERT_TRUE(WriteFileBytes("slp/serverlist.pak", ReadFileBytes(Fx("slp/serverlist.pak"))));
  ASSERT_TRUE(PackClient::SplitServerListPak("slp/serverlist.pak"));
  EXPECT_TRUE(FileExists("slp/serverlist.pak"));
  FilePack::CFilePackIndexMgr m;
  ASSERT_TRUE(m.OpenPack("slp/serverlist.pkg1", "slp/serverlist.pkg", false));
  for (const char* name : {"Version.xml", "NewVersion.xml", "AreaList.xml", "FileMD5.xml", "needdownloadfile.xml"}) {
    PackEntry e;
    ASSERT_TRUE(m.FindEntry(name, &e)) << name;
    std::string text(e.size, '\0');
    ASSERT_TRUE(m.ReadEntryData(&e, reinterpret_cast<uint8_t*>(&text[0]), true));
    EXPECT_EQ(ReadFileBytes(Fx("slp/members/" + FilePack::NormalizeKey(name))), text) << name;
  }
}

TEST(ServerListPak, TrailerCases) {
  CreateDirectoryA("slp2", nullptr);
  ASSERT_TRUE(WriteFileBytes("slp2/noindex.pak", ReadFileBytes(Fx("slp/noindex.pak"))));
  ASSERT_TRUE(PackClient::SplitServerListPak("slp2/noindex.pak"));
  EXPECT_TRUE(FileExists("slp2/noindex.pkg1"));
  EXPECT_EQ("", ReadFileBytes("slp2/noindex.pkg1"));

  int refused = 0;
  for (auto& row : packtest::Manifest("damaged.txt")) {
    if (row[0] != "split") continue;
    ASSERT_TRUE(WriteFileBytes("slp2/bad.pak", ReadFileBytes(Fx(row[1]))));
    DeleteFileA("slp2/bad.pkg");
    EXPECT_FALSE(PackClient::SplitServerListPak("slp2/bad.pak")) << row[1];
    EXPECT_TRUE(FileExists("slp2/bad.pak"));
    EXPECT_FALSE(FileExists("slp2/bad.pkg"));
    ++refused;
  }
  EXPECT_EQ(7, refused);

  testsupport::ReportCapture reports;
  ASSERT_TRUE(WriteFileBytes("slp2/zero.pak", ""));
  EXPECT_FALSE(PackClient::SplitServerListPak("slp2/zero.pak"));
  EXPECT_FALSE(FileExists("slp2/zero.pak"));
  EXPECT_TRUE(reports.Contains("serverlist.pak文件长度为0"));
  EXPECT_FALSE(PackClient::SplitServerListPak("slp2/missing.pak"));
}

TEST(ServerListPak, OnlyTheLastComponentLosesItsExtension) {
  CreateDirectoryA("dir.pkg", nullptr);
  ASSERT_TRUE(WriteFileBytes("dir.pkg/serverlist.pak", ReadFileBytes(Fx("slp/serverlist.pak"))));
  ASSERT_TRUE(PackClient::SplitServerListPak("dir.pkg/serverlist.pak"));
  EXPECT_TRUE(FileExists("dir.pkg/serverlist.pkg"));
  EXPECT_TRUE(FileExists("dir.pkg/serverlist.pkg1"));
  CreateDirectoryA("world.x", nullptr);
  ASSERT_TRUE(WriteFileBytes("world.x/abc", ReadFileBytes(Fx("slp/serverlist.pak"))));
  ASSERT_TRUE(PackClient::SplitServerListPak("world.x/abc"));
  EXPECT_TRUE(FileExists("world.x/abc.pkg1"));
  EXPECT_FALSE(FileExists("world.pkg"));
}

class XmlLoad : public ::testing::Test {
 protected:
  void TearDown() override { FilePack::GlobalPackManager()->Close(false); }
};

TEST_F(XmlLoad, PrefersThePackAndFallsBackToThePlainFile) {
  for (const char* pack : {"xml_lz0", "xml_lz1"}) {
    FilePack::CFilePackIndexMgr* global = FilePack::GlobalPackManager();
    ASSERT_TRUE(global->OpenPack(Fx(std::string(pack) + ".pkg1").c_str(), Fx(std::string(pack) + ".pkg").c_str(), true));
    CreateDirectoryA("config", nullptr);
    ASSERT_TRUE(WriteFileBytes("config/a.xml", "<plain/>"));
    ASSERT_TRUE(WriteFileBytes("config/only_plain.xml", "<plain v=\"3\"/>"));

    TiXmlDocument fromPack;
    ASSERT_TRUE(LoadXmlDocument(fromPack, "Config\\A.xml")) << pack;
    ASSERT_NE(nullptr, fromPack.RootElement());
    EXPECT_STREQ("a", fromPack.RootElement()->Value());

    TiXmlDocument lone;
    ASSERT_TRUE(LoadXmlDocument(lone, "config/lonecr.xml"));
    EXPECT_STREQ("2", lone.RootElement()->FirstChildElement("b")->Attribute("v"));
    EXPECT_EQ(2, lone.RootElement()->FirstChildElement("b")->Row());  // lone CR ends a line

    TiXmlDocument plain;
    ASSERT_TRUE(LoadXmlDocument(plain, "config/only_plain.xml"));
    EXPECT_STREQ("plain", plain.RootElement()->Value());

    TiXmlDocument broken, missing, deep;
    EXPECT_FALSE(LoadXmlDocument(broken, "config/broken.xml"));
    EXPECT_TRUE(broken.Error());
    EXPECT_FALSE(LoadXmlDocument(deep, "config/deep.xml"));  // 20,000 levels, refused before TinyXML
    EXPECT_EQ(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, deep.ErrorId());
    EXPECT_FALSE(LoadXmlDocument(missing, "config/none.xml"));
    EXPECT_EQ(TiXmlBase::TIXML_ERROR_OPENING_FILE, missing.ErrorId());
    EXPECT_STREQ("Failed to open file", missing.ErrorDesc());
  }
}

TEST_F(XmlLoad, WithoutAnOpenPackReadsThePlainFile) {
  ASSERT_TRUE(WriteFileBytes("plain_only.xml", "<p/>"));
  TiXmlDocument doc;
  EXPECT_TRUE(LoadXmlDocument(doc, "plain_only.xml"));
  TiXmlDocument none;
  EXPECT_FALSE(LoadXmlDocumentFromPack(none, nullptr, FilePack::GlobalPackManager()));
  EXPECT_EQ(TiXmlBase::TIXML_ERROR_OPENING_FILE, none.ErrorId());
}

TEST_F(XmlLoad, RefusesEmptyAndHugeEntries) {
  FilePack::CFilePackIndexMgr* global = FilePack::GlobalPackManager();
  ASSERT_TRUE(global->OpenPack(Fx("xml_lz0.pkg1").c_str(), Fx("xml_lz0.pkg").c_str(), true));
  PackEntry entry = {};
  TiXmlDocument empty, huge;
  EXPECT_FALSE(LoadXmlDocumentFromPack(empty, &entry, global));
  EXPECT_EQ(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, empty.ErrorId());
  entry.size = 0x80000000u;
  EXPECT_FALSE(LoadXmlDocumentFromPack(huge, &entry, global));
  entry.size = 0xFFFFFFFFu;
  EXPECT_FALSE(LoadXmlDocumentFromPack(huge, &entry, global));

  // A real entry that claims 1 GiB gets no buffer of that size: more than
  // its stream can unpack to, or stored bytes past the end of the data file.
  const struct {
    const char* pack;
    uint32_t packedSize;  // 0: the entry's own
  } claims[] = {{"xml_lz1", 0}, {"xml_lz1", 1u << 20}, {"xml_lz0", 0}};
  for (const auto& c : claims) {
    global->Close(false);
    const std::string base = Fx(c.pack);
    ASSERT_TRUE(global->OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), true));
    ASSERT_TRUE(FilePack::FindFileInGlobalPack("config/a.xml", &entry));
    entry.size = 1u << 30;
    if (c.packedSize != 0) entry.packedSize = c.packedSize;
    packtest::LargestAllocation probe;
    TiXmlDocument claimed;
    EXPECT_FALSE(LoadXmlDocumentFromPack(claimed, &entry, global)) << c.pack << c.packedSize;
    EXPECT_LT(probe.Bytes(), 1u << 20) << c.pack << c.packedSize;
  }
}

namespace {

std::string Nested(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<a>", close += "</a>";
  return open + close;
}

std::string Wide(int attributes, const char* end = "/>") {
  std::string element = "<w";
  for (int i = 0; i < attributes; ++i) element += " a" + std::to_string(i) + "='1'";
  return element + end;
}

// Bytes whose last one lies right before a page that may not be read;
// Bytes() is null when the page could not be made so.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    m_base = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD previous = 0;
    if (m_base == nullptr || !VirtualProtect(m_base + page, page, PAGE_NOACCESS, &previous)) return;
    m_bytes = static_cast<char*>(memcpy(m_base + page - bytes.size(), bytes.data(), bytes.size()));
  }
  ~GuardedBytes() { VirtualFree(m_base, 0, MEM_RELEASE); }
  char* Bytes() const { return m_bytes; }

 private:
  char* m_base = nullptr;
  char* m_bytes = nullptr;
};

}  // namespace

// TinyXML recurses once per level, and 20,000 levels end the thread; it
// checks each attribute against every earlier one of its element. The
// nesting and the attributes are counted first as TinyXML reads the text
// (markup in values, comments, CDATA and unknown tags opens nothing, nor
// does an empty element), and a document past either bound is refused as
// malformed.
TEST(XmlParse, DeepOrWideDocumentsAreRefusedBeforeTinyXmlParsesThem) {
  const std::string past = Nested(kMaxXmlDepth + 1);
  std::string siblings = "<r>", hidden = "<r>", quoted = "<r>", wideSiblings = "<r>";
  for (int i = 0; i < kMaxXmlDepth; ++i) {
    siblings += "<a/><b x='1'></b>";
    hidden += "<!-- <a> --><![CDATA[<a>]]><?x <a>?>";
    quoted += "<a x=\"/>\" y='</a>'>";
  }
  for (int i = 0; i < 4; ++i) wideSiblings += Wide(kMaxXmlAttributes);
  const char* const kDeep = "XML文件嵌套超过";
  const char* const kWide = "XML元素属性超过";
  const struct {
    const char* name;
    std::string text;
    const char* refusal;  // the report, null when parsed
  } cases[] = {
      {"at the bound", Nested(kMaxXmlDepth), nullptr},
      {"one past", past, kDeep},
      {"siblings", siblings + "</r>", nullptr},
      {"markup that opens nothing", hidden + "</r>", nullptr},
      {"end marks in values", quoted, kDeep},
      {"UTF-8 declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + past, kDeep},
      {"widest element", Wide(kMaxXmlAttributes), nullptr},
      {"widest elements side by side", wideSiblings + "</r>", nullptr},
      {"one attribute past, empty", Wide(kMaxXmlAttributes + 1), kWide},
      {"one attribute past, nested", "<r>" + Wide(kMaxXmlAttributes + 1, "></w>") + "</r>", kWide},
  };
  for (const auto& c : cases) {
    testsupport::ReportCapture reports;
    TiXmlDocument doc;
    EXPECT_EQ(c.refusal == nullptr, ParseXmlText(doc, c.text.c_str())) << c.name;
    EXPECT_EQ(c.refusal != nullptr, reports.Count() != 0) << c.name;
    if (c.refusal != nullptr) {
      EXPECT_TRUE(reports.Contains(c.refusal)) << c.name;
      EXPECT_EQ(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, doc.ErrorId()) << c.name;
    }
  }
  // A plain file and a patch's file list (a pack's entry: PrefersThePackAndFallsBackToThePlainFile).
  const std::string deep = Nested(20000);
  ASSERT_TRUE(WriteFileBytes("deep_plain.xml", deep));
  TiXmlDocument doc;
  EXPECT_FALSE(LoadXmlDocument(doc, "deep_plain.xml"));
  EXPECT_EQ(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, doc.ErrorId());
  const std::string list = "<VersionInfo><FileList>" + deep + "</FileList></VersionInfo>";
  bool parsed = true;
  EXPECT_TRUE(PackClient::ParseFileList(list.data(), static_cast<int>(list.size()), "", true, &parsed)->empty());
  EXPECT_FALSE(parsed);
}

// TinyXML steps over a UTF-8 character by the length its lead byte claims,
// also across the end of the text. A text that ends in a lead byte, right
// against a page that may not be read, is parsed or refused through every
// entry, never read past.
TEST(XmlParse, TextEndingInALeadByteIsNeverReadPast) {
  const struct {
    const char* head;
    bool parses;
  } cases[] = {
      {"<?xml version=\"1.0\"?><a>x", false},       // element text
      {"<?xml version=\"1.0\"?><a v=\"", false},     // attribute value
      {"<?xml version=\"1.0\"?><a/>", true},          // after the root, ignored
  };
  for (const auto& c : cases) {
    for (int lead = 0xC0; lead <= 0xFF; ++lead) {
      const std::string text = c.head + std::string(1, static_cast<char>(lead));
      GuardedBytes terminated(text + '\0'), counted(text);
      ASSERT_NE(nullptr, terminated.Bytes());
      ASSERT_NE(nullptr, counted.Bytes());
      TiXmlDocument asString, asLength, asBuffer;
      EXPECT_EQ(c.parses, ParseXmlText(asString, terminated.Bytes())) << c.head << lead;
      EXPECT_EQ(c.parses, ParseXmlText(asLength, counted.Bytes(), text.size())) << c.head << lead;
      EXPECT_EQ(c.parses, ParseXmlBuffer(asBuffer, counted.Bytes(), text.size())) << c.head << lead;
    }
  }
}
