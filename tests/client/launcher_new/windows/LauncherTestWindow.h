// The launcher's main window and panel made in a test program over a copy of
// the kit's installation folder, for the windowed launcher tests.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "PatchDlg.h"
#include "afx/AfxGdiPlus.h"
#include "support/TestSupport.h"

namespace launchertest {

// One installation folder for the whole program: the configuration pack is a
// process-wide manager and stays open on it. The stand-in program is copied
// in under each name in `programs`; the launcher's ends are counted.
class FolderEnvironment : public testing::Environment {
 public:
  FolderEnvironment(std::string name, std::vector<std::string> programs)
      : name_(std::move(name)), programs_(std::move(programs)) {
    current = this;
  }
  void SetUp() override {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::string dir = std::string(cwd) + "\\" + name_;
    testsupport::RemoveTree(dir);
    testsupport::CopyTree(testsupport::FixturePath("launcher_ui/folder"), dir);
    const std::string fake = FAKE_EXE[0] == '/' ? std::string("Z:") + FAKE_EXE : FAKE_EXE;
    for (const std::string& program : programs_)
      ASSERT_TRUE(CopyFileA(fake.c_str(), (dir + "\\" + program).c_str(), FALSE)) << program;
    SetCurrentDirectoryA(dir.c_str());
    config = testsupport::ReadFileBytes("LauncherCfg\\config.xml");
    ASSERT_TRUE(gdiplus.Start());
    CoInitialize(nullptr);
    LauncherCfg::SetEndProcessHook(&OnEnd);
  }
  void TearDown() override {
    gdiplus.Shutdown();
    CoUninitialize();
  }
  static void OnEnd(int code) { ++ends, lastCode = code; }
  static inline FolderEnvironment* current = nullptr;
  static inline int ends = 0;
  static inline int lastCode = 0;
  std::string config;  // as the kit wrote it, put back for each window

 private:
  std::string name_;
  std::vector<std::string> programs_;
  afx::GdiPlusSession gdiplus;
};

// Pumps this thread's messages until done() or about ms milliseconds.
template <class Done>
bool PumpUntil(Done done, DWORD ms = testsupport::kEventWaitMs) {
  const DWORD start = GetTickCount();
  for (MSG msg;; Sleep(5)) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
  }
}
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

struct Launcher {
  std::unique_ptr<CPatchDlg> main;
  CChildControlDlg* panel = nullptr;

  Launcher() {
    testsupport::WriteFileBytes("LauncherCfg\\config.xml", FolderEnvironment::current->config);
    testsupport::ClearShownBoxes();
    main.reset(new CPatchDlg);
    if (!main->Create(CPatchDlg::IDD, nullptr)) return;
    main->ShowWindow(SW_SHOW);
    panel = main->Panel();
    PumpFor(200);
  }
  ~Launcher() {
    if (main && main->m_hWnd) main->DestroyWindow();
    main.reset();  // the run's threads end here
  }
  // What a click on the button sends, visible or not.
  void Click(int id) {
    panel->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel->m_hWnd, id)));
    PumpFor(50);
  }
};

// Each test gets its own windows; none runs without a panel.
class LauncherTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, l.panel); }
  Launcher l;
};

}  // namespace launchertest
