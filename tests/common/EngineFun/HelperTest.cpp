#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "afx/AfxScoped.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"
#include "support/TestSupport.h"

using namespace EngineFunc;
using testsupport::ReportCapture;

namespace {
bool AllZero(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}
}  // namespace

TEST(StrNcpy, CopiesWhatFitsAndRefusesTheRest) {
  ReportCapture reports;
  char dest[8];
  memset(dest, 'x', sizeof(dest));
  EXPECT_EQ(dest, EngineFunc_StrNcpy(dest, sizeof(dest), "1234567", "caller.cpp", 7));
  EXPECT_STREQ("1234567", dest);
  EXPECT_EQ(0u, reports.Count());

  memset(dest, 'x', sizeof(dest));
  EXPECT_EQ(nullptr, EngineFunc_StrNcpy(dest, sizeof(dest), "12345678", "caller.cpp", 9));
  EXPECT_TRUE(AllZero(dest, sizeof(dest)));
  ASSERT_EQ(1u, reports.Count());
  EXPECT_EQ("有断言错误,断言信息:caller.cpp文件的9行。信息:EngineFunc::EngineFunc_StrNcpy error:源信息:12345678,目标长度:8",
            reports.Lines()[0]);
}

TEST(StrNcpy, PercentSourceIsNotEchoedAndNullFileIsSilent) {
  ReportCapture reports;
  char dest[4];
  EXPECT_EQ(nullptr, EngineFunc_StrNcpy(dest, sizeof(dest), "100%s", "a.cpp", 1));
  ASSERT_EQ(1u, reports.Count());
  EXPECT_EQ("有断言错误,断言信息:a.cpp文件的1行。信息:EngineFunc::EngineFunc_StrNcpy error", reports.Lines()[0]);

  reports.Clear();
  EXPECT_EQ(nullptr, EngineFunc_StrNcpy(dest, sizeof(dest), "ok", nullptr, 1));
  EXPECT_EQ(0u, reports.Count());

  EXPECT_EQ(nullptr, EngineFunc_StrNcpy(nullptr, 4, "ok", "b.cpp", 2));
  EXPECT_TRUE(reports.Contains("EngineFunc::EngineFunc_StrNcpy error, src or dst is null"));
}

TEST(DebugPrint, OutputsUpTo4095CharactersAndReplacesLongerTexts) {
  ReportCapture reports;
  std::string fits(4095, 'a');
  EngineFunc_DebugPrint(1, "%s", fits.c_str());
  ASSERT_EQ(1u, reports.Count());
  EXPECT_EQ(fits, reports.Lines()[0]);

  reports.Clear();
  std::string tooLong(4096, 'b');
  EXPECT_EQ(0, EngineFunc_DebugPrint(1, "%s", tooLong.c_str()));
  ASSERT_EQ(1u, reports.Count());
  const std::string line = reports.Lines()[0];
  EXPECT_NE(std::string::npos, line.find("common/EngineFun/Helper.cpp("));
  EXPECT_NE(std::string::npos, line.find(") 有断言错误,断言信息:false&&\"有错误\""));
  EXPECT_EQ(std::string::npos, line.find("bbbb"));

  reports.Clear();
  EXPECT_EQ(0, EngineFunc_DebugPrint(1, nullptr));
  EXPECT_EQ(0u, reports.Count());
}

TEST(DebugPrint, AssertMacroNamesFileLineAndExpression) {
  ReportCapture reports;
  int line = __LINE__ + 1;
  ENGINE_ASSERT(false && "文件名为空");
  ASSERT_EQ(1u, reports.Count());
  EXPECT_EQ("tests/common/EngineFun/HelperTest.cpp(" + std::to_string(line) + ") 有断言错误,断言信息:false && \"文件名为空\"",
            reports.Lines()[0]);
}

TEST(Sprintf, ResultsAndDestinationState) {
  ReportCapture reports;
  char dest[16];
  EXPECT_EQ(1, EngineFunc_Sprintf(dest, sizeof(dest), "%d-%s", 42, "ab"));
  EXPECT_STREQ("42-ab", dest);

  static char big[4096];
  memset(big, 'q', sizeof(big));
  EXPECT_EQ(-1, EngineFunc_Sprintf(big, sizeof(big), "x"));
  EXPECT_EQ('q', big[0]);

  // A text longer than the destination: zero-filled, reported, and a failure.
  memset(dest, 'x', sizeof(dest));
  reports.Clear();
  EXPECT_EQ(0, EngineFunc_Sprintf(dest, sizeof(dest), "%s", "0123456789abcdefXYZ"));
  EXPECT_TRUE(AllZero(dest, sizeof(dest)));
  EXPECT_TRUE(reports.Contains("EngineFunc::EngineFunc_StrNcpy error:源信息:0123456789abcdefXYZ,目标长度:16"));
}

TEST(ReportError, WrapsTheMessageWithFileAndLine) {
  ReportCapture reports;
  EngineFunc_ReportError(1, "x/y.cpp", 12, "值=%d", 5);
  ASSERT_EQ(1u, reports.Count());
  EXPECT_EQ("有断言错误,断言信息:x/y.cpp文件的12行。信息:值=5", reports.Lines()[0]);
}

TEST(Compare, StrCmpAndStrLower) {
  EXPECT_EQ(-1, EngineFunc_StrCmp(nullptr, "a"));
  EXPECT_EQ(-1, EngineFunc_StrCmp("a", nullptr));
  EXPECT_EQ(0, EngineFunc_StrCmp("abc", "abc"));
  EXPECT_LT(EngineFunc_StrCmp("abc", "abcd"), 0);
  EXPECT_GT(EngineFunc_StrCmp("abd", "abc"), 0);

  char text[8] = {'A', 'B', '\0', 'C', '\xD6', 'Z', 0, 0};
  EXPECT_EQ(1, EngineFunc_StrLower(text, 6));
  const char expected[8] = {'a', 'b', '\0', 'c', '\xD6', 'z', 0, 0};
  EXPECT_EQ(0, memcmp(expected, text, 8));
  EXPECT_EQ(-1, EngineFunc_StrLower(nullptr, 3));
}

TEST(Conversions, I64ToAUniqueIdAndConvertSlash) {
  char buffer[32];
  EXPECT_EQ(0, EngineFunc_I64ToA(buffer, sizeof(buffer), -9223372036854775807LL - 1));
  EXPECT_STREQ("-9223372036854775808", buffer);
  EXPECT_EQ(0, EngineFunc_I64ToA(buffer, sizeof(buffer), 0));
  EXPECT_STREQ("0", buffer);
  EXPECT_NE(0, EngineFunc_I64ToA(buffer, 3, 12345));
  EXPECT_EQ(-1, EngineFunc_I64ToA(nullptr, 3, 1));

  uint64_t id = EngineFunc_UniqueID();
  EXPECT_EQ(static_cast<uint64_t>(time(nullptr)) >> 1, (id >> 31) >> 1);

  EXPECT_EQ("data/textures/a.dds", EngineFunc_ConvertSlash("Data\\Textures\\A.DDS"));
  // GBK double-byte characters keep their bytes (0xB0A1 here).
  EXPECT_EQ("a/\xB0\xA1/b", EngineFunc_ConvertSlash("A\\\xB0\xA1\\B"));
}

TEST(DeleteFile, ReadOnlyMissingAndNull) {
  ReportCapture reports;
  const char* path = "readonly.txt";
  ASSERT_TRUE(testsupport::WriteFileBytes(path, "x"));
  SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(0, EngineFunc_DeleteFile(path));
  EXPECT_FALSE(testsupport::FileExists(path));
  EXPECT_EQ(-1, EngineFunc_DeleteFile(path));
  EXPECT_EQ(0u, reports.Count());
  EXPECT_EQ(0, EngineFunc_DeleteFile(nullptr));
  EXPECT_TRUE(reports.Contains("false&&\"文件名为空\""));
}

TEST(ReportSink, BoxesOnlyWhenTheProgramAsksForThem) {
  testsupport::ClearShownBoxes();
  EngineFunc_DebugPrint(1, "plain");
  EXPECT_TRUE(testsupport::ShownBoxes().empty());
  SetReportShowsBox(true);
  EngineFunc_DebugPrint(1, "boxed");
  EngineFunc_DebugPrint(0x100, "low byte zero");
  SetReportShowsBox(false);
  auto boxes = testsupport::ShownBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("boxed", boxes[0].text);
  EXPECT_EQ(static_cast<unsigned>(MB_OK), boxes[0].type);
}

// A side whose bytes cannot be forced to the disk (another reader refuses
// write sharing) leaves the target as it was, though a plain rename passes.
TEST(ReplaceFile, SideTakesThePlaceOnlyOnceFlushed) {
  ASSERT_TRUE(testsupport::WriteFileBytes("target.txt", "old"));
  ASSERT_TRUE(testsupport::WriteFileBytes("side.txt", "new bytes"));
  {
    afx::ScopedHandle held(CreateFileA("side.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(EngineFunc_ReplaceFile("side.txt", "target.txt"));
    EXPECT_EQ("old", testsupport::ReadFileBytes("target.txt"));
  }
  EXPECT_TRUE(EngineFunc_ReplaceFile("side.txt", "target.txt"));
  EXPECT_EQ("new bytes", testsupport::ReadFileBytes("target.txt"));
  EXPECT_FALSE(testsupport::FileExists("side.txt"));
  EXPECT_FALSE(EngineFunc_ReplaceFile("side.txt", "target.txt"));  // no side: the target stays
  EXPECT_EQ("new bytes", testsupport::ReadFileBytes("target.txt"));
}
