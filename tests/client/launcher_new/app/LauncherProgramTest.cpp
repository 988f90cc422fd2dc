// zarn_launcher.exe started as a player starts it, in generated
// installation folders, and watched from outside: its start-up checks, its
// windows, its end, and what damaged skins and layouts do to it.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "WinDriver.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

const char* const kDialogClass = "#32770";
const char* const kCaption = "赞恩登录器";
const DWORD kWait = 30000;
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
    return process.Start(dir + "\\zarn_launcher.exe", line, dir, 120000, env);
  }
  bool WaitWindows() {
    main = windriver::WaitForWindow(process.Id(), kDialogClass, kCaption, kWait);
    if (main == nullptr) return false;
    for (int i = 0; i < 100 && panel == nullptr; ++i, Sleep(50)) panel = windriver::OwnedWindow(process.Id(), main);
    return panel != nullptr && windriver::WaitIdle(main);
  }
  bool Ends(DWORD* code) { return process.WaitExit(kWait, code); }
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
    // Running once it has written its command line.
    for (int i = 0; i < 200 && !FileExists(exe + ".cmdline"); ++i) Sleep(50);
  }
  ~Holder() {
    DeleteFileA(hold.c_str());
    process.WaitExit(5000);
  }
};

}  // namespace

TEST(LauncherProgram, ShowsItsWindowsAndLeavesWithMinusOne) {
  std::string dir = Folder("plain");
  Launcher l;
  ASSERT_TRUE(l.Start(dir));
  ASSERT_TRUE(l.WaitWindows());
  RECT main, panel;
  GetWindowRect(l.main, &main);
  GetWindowRect(l.panel, &panel);
  EXPECT_EQ(640, main.right - main.left);
  EXPECT_EQ(main.left, panel.left);
  EXPECT_EQ(main.top, panel.top);
  EXPECT_TRUE(GetWindowLongA(l.main, GWL_EXSTYLE) & WS_EX_LAYERED);
  // The exit button: placed, with its skin's normal look.
  HWND exit = GetDlgItem(l.panel, 1001);
  ASSERT_NE(nullptr, exit);
  EXPECT_TRUE(IsWindowVisible(exit));
  EXPECT_EQ(0, windriver::WindowProp(exit, "ZarnSkinDisabled"));
  for (int i = 0; i < 40 && windriver::WindowProp(exit, "ZarnSkinFrame") == 0; ++i) Sleep(50);
  EXPECT_EQ(1, windriver::WindowProp(exit, "ZarnSkinFrame"));
  EXPECT_TRUE(windriver::OtherDialogs(l.process.Id(), l.main).size() <= 1);  // the panel alone
  ASSERT_TRUE(windriver::Click(l.panel, 1001));
  DWORD code = 0;
  ASSERT_TRUE(l.Ends(&code));
  EXPECT_EQ(kLeft, code);
}

TEST(LauncherProgram, SecondLauncherIsRefusedUnlessRestarted) {
  std::string dir = Folder("twice");
  Launcher first;
  ASSERT_TRUE(first.Start(dir));
  ASSERT_TRUE(first.WaitWindows());
  Launcher second;
  ASSERT_TRUE(second.Start(dir));
  HWND box = windriver::WaitForBox(second.process.Id(), nullptr, kWait);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("检测到有登陆器在运行，无法多开!", windriver::BoxText(box));
  windriver::DismissOtherDialogs(second.process.Id(), nullptr);
  DWORD code = 1;
  ASSERT_TRUE(second.Ends(&code));
  EXPECT_EQ(0u, code);
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
  HWND box = windriver::WaitForBox(l.process.Id(), nullptr, kWait);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("检测到有登陆器在运行，无法多开!", windriver::BoxText(box));
  windriver::DismissOtherDialogs(l.process.Id(), nullptr);
  DWORD code = 1;
  ASSERT_TRUE(l.Ends(&code));
  EXPECT_EQ(0u, code);
}

TEST(LauncherProgram, DamagedSkinsAndLayoutsFailCleanly) {
  std::istringstream list(ReadFileBytes(testsupport::FixturePath("launcher_ui/damaged.txt")));
  std::string name, expect;
  int cases = 0;
  while (list >> name >> expect) {
    ++cases;
    std::string dir = Folder("damaged_" + name, "launcher_ui/damaged/" + name);
    Launcher l;
    ASSERT_TRUE(l.Start(dir, "zarn_restart")) << name;
    if (expect == "runs" || expect == "noupdate") {
      ASSERT_TRUE(l.WaitWindows()) << name;
      Sleep(300);
      EXPECT_EQ(nullptr, windriver::WaitForBox(l.process.Id(), l.main, 0)) << name;
      DWORD code;
      EXPECT_FALSE(l.process.WaitExit(0, &code)) << name;  // still running
      // A panel whose making failed is left where it was made, unplaced.
      RECT r;
      GetWindowRect(l.main, &r);
      EXPECT_EQ(expect == "runs", r.left == (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2) << name;
      windriver::Click(l.panel, 1001);
      EXPECT_TRUE(l.Ends(&code)) << name;
      EXPECT_EQ(kLeft, code) << name;
      continue;
    }
    HWND box = windriver::WaitForBox(l.process.Id(), nullptr, kWait);
    ASSERT_NE(nullptr, box) << name;
    std::string text = windriver::BoxText(box);
    if (expect == "exit43") {
      EXPECT_EQ(0u, text.find("无法创建窗口,错误码")) << name << ": " << text;
    } else {
      EXPECT_EQ("error: Read the configuration file failed!", text) << name;
      EXPECT_EQ("error", windriver::WindowText(box)) << name;
    }
    windriver::DismissOtherDialogs(l.process.Id(), nullptr);
    DWORD code = 0;
    ASSERT_TRUE(l.Ends(&code)) << name;
    EXPECT_EQ(kLeft, code) << name;
  }
  EXPECT_GE(cases, 10);
}
