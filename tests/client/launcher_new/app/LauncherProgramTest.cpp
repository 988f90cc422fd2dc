// zarn_launcher.exe started as a player starts it, in generated
// installation folders, and watched from outside: its start-up checks, its
// windows, its end, and what damaged skins and layouts do to it.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "WinDriver.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

const char* const kDialogClass = "#32770";
const char* const kCaption = "赞恩登录器";
const DWORD kWait = testsupport::kEventWaitMs;
const DWORD kLeft = 0xFFFFFFFF;  // exit code -1: 255 as Linux sees it

std::string WinPath(const char* path) { return path[0] == '/' ? std::string("Z:") + path : path; }

// A fresh copy of a kit folder, with the stand-in programs beside it.
std::string Folder(const std::string& name, const std::string& from = "launcher_ui/folder") {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string dir = std::string(cwd) + "\\" + name;
  testsupport::RemoveTree(dir);
  testsupport::CopyTree(testsupport::FixturePath(from), dir);
  for (const char* program : {"fake_game.exe", "tunedesk.exe", "Quickmend.exe"})
    CopyFileA(WinPath(FAKE_EXE).c_str(), (dir + "\\" + program).c_str(), FALSE);
  return dir;
}

struct Launcher {
  windriver::Process process;
  HWND main = nullptr;
  HWND panel = nullptr;

  bool Start(const std::string& dir, const std::string& line = "", const std::vector<std::string>& env = {}) {
    CopyFileA(WinPath(LAUNCHER_EXE).c_str(), (dir + "\\zarn_launcher.exe").c_str(), FALSE);
    return process.Start(dir + "\\zarn_launcher.exe", line, dir, 300000, env);
  }
  testing::AssertionResult WaitWindows() {
    main = windriver::WaitForWindow(process.Id(), kDialogClass, kCaption, kWait);
    if (main == nullptr) return testing::AssertionFailure() << "no main window after " << kWait << " ms";
    testing::AssertionResult shown = testsupport::WaitFor("the panel owned by the main window", [&] {
      panel = windriver::OwnedWindow(process.Id(), main);
      return panel != nullptr;
    });
    if (!shown) return shown;
    if (!windriver::WaitIdle(main)) return testing::AssertionFailure() << "the main window never went idle";
    return testing::AssertionSuccess();
  }
  bool Ends(DWORD* code) { return process.WaitExit(kWait, code); }
  // The exit button: the launcher leaves with -1.
  void Exit() {
    EXPECT_TRUE(windriver::Click(panel, 1001));
    DWORD code = 0;
    EXPECT_TRUE(Ends(&code));
    EXPECT_EQ(kLeft, code);
  }
};

// A process the launcher must notice, held alive until the object goes.
struct Holder {
  std::string hold;
  windriver::Process process;
  Holder(const std::string& dir, const char* name, const std::string& line = "") {
    std::string exe = dir + "\\" + name;
    CopyFileA(WinPath(FAKE_EXE).c_str(), exe.c_str(), FALSE);
    hold = exe + ".hold";
    testsupport::WriteFileBytes(hold, "");
    process.Start(exe, line, dir);
    // Running once it has made its command line's file.
    EXPECT_TRUE(testsupport::WaitFor(name + std::string(" running"), [&] { return FileExists(exe + ".cmdline"); }));
  }
  ~Holder() {
    DeleteFileA(hold.c_str());
    EXPECT_TRUE(process.WaitExit(kWait)) << "the held program ending once its hold file went";
  }
};

// Waits for the launcher's box, dismisses it and expects the launcher to end
// with `want`; the box's text comes back ("" with no box).
std::string BoxThenEnd(Launcher& l, DWORD want, std::string* caption = nullptr) {
  HWND box = windriver::WaitForBox(l.process.Id(), nullptr, kWait);
  EXPECT_NE(nullptr, box);
  if (box == nullptr) return "";
  const std::string text = windriver::BoxText(box);
  if (caption != nullptr) *caption = windriver::WindowText(box);
  windriver::DismissOtherDialogs(l.process.Id(), nullptr);
  DWORD code = want + 1;
  EXPECT_TRUE(l.Ends(&code));
  EXPECT_EQ(want, code);
  return text;
}

const char* const kRefused = "检测到有登陆器在运行，无法多开!";

}  // namespace

TEST(LauncherProgram, ShowsItsWindowsAndLeavesWithMinusOne) {
  std::string dir = Folder("plain");
  Launcher l;
  ASSERT_TRUE(l.Start(dir));
  ASSERT_TRUE(l.WaitWindows());
  // The exit button: placed, with its skin's normal look.
  HWND exit = GetDlgItem(l.panel, 1001);
  ASSERT_NE(nullptr, exit);
  EXPECT_TRUE(IsWindowVisible(exit));
  EXPECT_EQ(0, windriver::WindowProp(exit, "ZarnSkinDisabled"));
  EXPECT_TRUE(testsupport::WaitFor("the exit button drawn",
                                   [&] { return windriver::WindowProp(exit, "ZarnSkinFrame") != 0; }));
  EXPECT_EQ(1, windriver::WindowProp(exit, "ZarnSkinFrame"));
  EXPECT_TRUE(windriver::OtherDialogs(l.process.Id(), l.main).size() <= 1);  // the panel alone
  l.Exit();
}

TEST(LauncherProgram, SecondLauncherIsRefusedUnlessRestarted) {
  std::string dir = Folder("twice");
  Launcher first;
  ASSERT_TRUE(first.Start(dir));
  ASSERT_TRUE(first.WaitWindows());
  Launcher second;
  ASSERT_TRUE(second.Start(dir));
  EXPECT_EQ(kRefused, BoxThenEnd(second, 0));
  // "zarn_restart" anywhere on the line skips the checks.
  Launcher restarted;
  ASSERT_TRUE(restarted.Start(dir, "x zarn_restart y"));
  EXPECT_TRUE(restarted.WaitWindows());
}

TEST(LauncherProgram, PluginUpdaterRunningEndsSilently) {
  std::string dir = Folder("updater");
  Holder updater(dir, "sprigfetch.exe");
  Launcher l;
  ASSERT_TRUE(l.Start(dir));
  DWORD code = 1;
  ASSERT_TRUE(l.Ends(&code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(nullptr, windriver::WaitForWindow(l.process.Id(), nullptr, nullptr, 0));
  Launcher restarted;
  ASSERT_TRUE(restarted.Start(dir, "zarn_restart"));
  EXPECT_TRUE(restarted.WaitWindows());
}

TEST(LauncherProgram, ProcessWithTheBrowserPluginLoadedIsAnotherLauncher) {
  std::string dir = Folder("plugin");
  CopyFileA(WinPath(PLUGIN_DLL).c_str(), (dir + "\\orbicast.dll").c_str(), FALSE);
  Holder host(dir, "plugin_host.exe", "--load orbicast.dll");
  Launcher l;
  ASSERT_TRUE(l.Start(dir));
  EXPECT_EQ(kRefused, BoxThenEnd(l, 0));
}

TEST(LauncherProgram, PicturesPastTheBoundAreLeftOutAndTheRestDrawn) {
  // The panel's picture declares 16384 x 16384 pixels (decoded: seconds and
  // over a gigabyte), the action link's strip 4096 x 4096, twice the bound
  // (which the 32-bit build still decodes).
  std::string dir = Folder("oversized", "launcher_ui/oversized");
  Launcher l;
  const DWORD start = GetTickCount();
  ASSERT_TRUE(l.Start(dir, "zarn_restart"));
  ASSERT_TRUE(l.WaitWindows());
  std::cout << "windows up and idle after " << GetTickCount() - start << " ms\n";
  // The strip is left out: its button keeps the template's zero size.
  RECT action;
  GetWindowRect(GetDlgItem(l.panel, 1003), &action);
  EXPECT_EQ(0, action.right - action.left);
  // The rest is drawn: the exit button's normal frame, above its caption.
  RECT exit;
  GetWindowRect(GetDlgItem(l.panel, 1001), &exit);
  windriver::Image shot;
  EXPECT_TRUE(testsupport::WaitFor("the exit button's normal frame on the screen", [&] {
    return windriver::CaptureScreen(exit, &shot) && shot.Pixel(12, 1) == 0x285AC8u;
  }));
  EXPECT_EQ(nullptr, windriver::WaitForBox(l.process.Id(), l.main, 0));
  l.Exit();
}

TEST(LauncherProgram, DamagedSkinsAndLayoutsFailCleanly) {
  std::istringstream list(ReadFileBytes(testsupport::FixturePath("launcher_ui/damaged.txt")));
  std::string name, expect;
  int cases = 0;
  while (list >> name >> expect) {
    ++cases;
    SCOPED_TRACE(name);
    std::string dir = Folder("damaged_" + name, "launcher_ui/damaged/" + name);
    Launcher l;
    ASSERT_TRUE(l.Start(dir, "zarn_restart"));
    if (expect == "runs" || expect == "noupdate") {
      ASSERT_TRUE(l.WaitWindows());
      Sleep(300);
      EXPECT_EQ(nullptr, windriver::WaitForBox(l.process.Id(), l.main, 0));
      EXPECT_FALSE(l.process.WaitExit(0));  // still running
      // A panel whose making failed is left where it was made, unplaced.
      RECT r;
      GetWindowRect(l.main, &r);
      EXPECT_EQ(expect == "runs", r.left == (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
      l.Exit();
      continue;
    }
    std::string caption, text = BoxThenEnd(l, kLeft, &caption);
    if (expect == "exit43") {
      EXPECT_EQ(0u, text.find("无法创建窗口,错误码")) << text;
    } else {
      EXPECT_EQ("error: Read the configuration file failed!", text);
      EXPECT_EQ("error", caption);
    }
  }
  EXPECT_GE(cases, 10);
}
