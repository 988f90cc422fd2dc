// The optimisation popup over nine small real packs, as the launcher's
// process-wide managers hold them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "LauncherText.h"
#include "OptimizationDlg.h"
#include "PopupIds.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackWriteTestUtil.h"
#include "support/TestSupport.h"

namespace {

// Pumps this thread's messages until done() or about ms milliseconds.
template <class Done> bool PumpUntil(DWORD ms, Done done) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    if (done()) return true;
    if (::GetTickCount() - start > ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::string OwnProgramName() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string name = path;
  return name.substr(name.find_last_of("\\/") + 1);
}

bool NeverRunning(const std::string&) { return false; }
bool PlentyOfSpace(uint32_t, uint32_t) { return true; }
// Short of exactly the 2 GiB asked for.
bool LittleSpace(uint32_t low, uint32_t high) { return !(low == 0x80000000u && high == 0); }

class Optimization : public testing::Test {
 protected:
  void SetUp() override {
    LauncherTextTable& texts = GetLauncherTextTable();
    for (int id : {16, 27, 34}) texts.Set(id, "text " + std::to_string(id));
    testsupport::ClearShownBoxes();
    ::CreateDirectoryA("opt", nullptr);
  }
  void TearDown() override {
    if (dialog && dialog->m_hWnd != nullptr) dialog->DestroyWindow();
    for (auto& pack : packs) pack.Close(true);
  }
  HWND Open(const OptimisationChecks& checks) {
    OptimisedPacks order;
    for (int i = 0; i < kOptimisedPackCount; ++i) order[i] = &packs[i];
    dialog.reset(new CDlg_Optimization(nullptr, checks, order));
    EXPECT_TRUE(dialog->Create(CDlg_Optimization::IDD));
    return dialog->m_hWnd;
  }
  static std::string Label(HWND dlg, int id) {
    char text[256] = {};
    ::GetDlgItemTextA(dlg, id, text, sizeof(text));
    return text;
  }
  static bool Enabled(HWND dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE; }

  FilePack::CFilePackIndexMgr packs[kOptimisedPackCount];
  std::unique_ptr<CDlg_Optimization> dialog;
};

TEST_F(Optimization, CompactsEveryPackToAFullBar) {
  // Gaps and a replaced entry in the small packs, two big ones, one empty.
  const char* kit[kOptimisedPackCount] = {"small_lz0_w0", "small_lz0_w1", "small_lz1_w0", "small_lz1_w1",
                                          "big_stored_w0", "small_lz1_w1", "empty", "small_lz0_w0", "big_lzma"};
  int64_t total = 0;
  for (int i = 0; i < kOptimisedPackCount; ++i) {
    const std::string local = "opt/" + std::to_string(i);
    ASSERT_TRUE(packtest::CopyKitPack(kit[i], local)) << kit[i];
    ASSERT_TRUE(packs[i].OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), i % 2 == 0)) << kit[i];
    total += packs[i].EntryCount();
  }
  HWND dlg = Open({"", &NeverRunning, &PlentyOfSpace});

  ::SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(dialog->Running());
  EXPECT_TRUE(IsPackOptimisationRunning());
  EXPECT_FALSE(Enabled(dlg, IDOK) || Enabled(dlg, IDCANCEL));
  // Neither Cancel nor the close box ends it while the workers run.
  ::SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  ::SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(::IsWindow(dlg));

  ASSERT_TRUE(PumpUntil(testsupport::kEventWaitMs, [&] { return !dialog->Running(); }));
  EXPECT_FALSE(IsPackOptimisationRunning());
  EXPECT_EQ(total, ::SendDlgItemMessageA(dlg, IDC_OPT_PROGRESS, PBM_GETRANGE, FALSE, 0));
  EXPECT_EQ(total, ::SendDlgItemMessageA(dlg, IDC_OPT_PROGRESS, PBM_GETPOS, 0, 0));
  EXPECT_EQ("100%", Label(dlg, IDC_OPT_PERCENT));
  EXPECT_TRUE(Enabled(dlg, IDCANCEL));
  EXPECT_FALSE(Enabled(dlg, IDOK));  // one run per dialog

  // Every pack reads back whole, without its gaps.
  for (int i = 0; i < kOptimisedPackCount; ++i) {
    packs[i].Close(true);
    const std::string local = "opt/" + std::to_string(i);
    EXPECT_TRUE(packtest::PackHolds(local, packtest::KitFiles(kit[i]))) << kit[i];
    if (std::string(kit[i]).find("small") == 0) {
      EXPECT_LT(testsupport::ReadFileBytes(local + ".pkg").size(),
                testsupport::ReadFileBytes(packtest::Fx(std::string(kit[i]) + ".pkg")).size());
    }
  }
  ::SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(PumpUntil(testsupport::kEventWaitMs, [&] { return dialog->m_hWnd == nullptr; }));
}

TEST_F(Optimization, RefusesWhileTheGameRunsOrSpaceIsShort) {
  ASSERT_TRUE(packtest::CopyKitPack("small_lz1_w0", "opt/r"));
  ASSERT_TRUE(packs[0].OpenPack("opt/r.pkg1", "opt/r.pkg", true));
  const std::string before = testsupport::ReadFileBytes("opt/r.pkg");
  struct Case {
    OptimisationChecks checks;
    const char* text;
  } cases[] = {
      // This test program stands in for the running game client.
      {DefaultOptimisationChecks(OwnProgramName()), "text 27"},
      {{"", &NeverRunning, &LittleSpace}, "text 34"},
  };
  for (const Case& c : cases) {
    testsupport::ClearShownBoxes();
    HWND dlg = Open(c.checks);
    ::SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(dialog->Running());
    auto boxes = testsupport::ShownBoxes();
    ASSERT_EQ(1u, boxes.size()) << c.text;
    EXPECT_EQ(c.text, boxes[0].text);
    EXPECT_EQ("text 16", boxes[0].caption);
    EXPECT_TRUE(Enabled(dlg, IDOK));
    dialog->DestroyWindow();
  }
  EXPECT_EQ(before, testsupport::ReadFileBytes("opt/r.pkg"));
}

TEST_F(Optimization, NothingOpenEndsWithTheCloseBoxOnly) {
  HWND dlg = Open({"", &NeverRunning, &PlentyOfSpace});
  ::SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(PumpUntil(testsupport::kEventWaitMs, [&] { return !dialog->Running(); }));
  EXPECT_FALSE(Enabled(dlg, IDCANCEL));
  EXPECT_EQ("", Label(dlg, IDC_OPT_PERCENT));
  ::SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(PumpUntil(testsupport::kEventWaitMs, [&] { return dialog->m_hWnd == nullptr; }));
}

TEST(OptimisationPercent, ComputesInSixtyFourBits) {
  struct Case {
    int64_t done, total;
    int percent;
  } cases[] = {{0, 7, 0}, {3, 7, 42}, {7, 7, 100}, {9, 7, 100}, {-1, 7, 0}, {0, 0, 100},
               {30000000, 40000000, 75}, {int64_t(3) << 40, int64_t(4) << 40, 75}};
  for (const Case& c : cases) EXPECT_EQ(c.percent, PackOptimisation::Percent(c.done, c.total)) << c.done;
}

}  // namespace
