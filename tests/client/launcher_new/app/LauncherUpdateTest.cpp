// zarn_launcher.exe running the whole update of the update kit's client
// against its own nginx: the stages on the status line, the result on disk,
// then the game start or the hand-over to the emergency updater.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <sstream>

#include "WinDriver.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

const char* const kCaption = "赞恩登录器";
const DWORD kLeft = 0xFFFFFFFF;
const std::string kDone = "更新完成";

std::string WinPath(const char* path) { return path[0] == '/' ? std::string("Z:") + path : path; }

std::string Server(const std::string& name) { return testsupport::FixturePath("launcher_update/" + name); }

int Port() { return atoi(ReadFileBytes(Server("port")).c_str()); }

// The kit's client at 1.0.0.1 with the launcher's own files over it,
// pointed at one of the server's trees.
std::string Client(const std::string& name, const std::string& tree) {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string dir = std::string(cwd) + "\\" + name;
  testsupport::RemoveTree(dir);
  testsupport::CopyTree(Server("client"), dir);
  testsupport::CopyTree(testsupport::FixturePath("launcher_ui/ui"), dir);
  for (const char* program : {"fake_game.exe", "tunedesk.exe", "Quickmend.exe"})
    CopyFileA(WinPath(FAKE_EXE).c_str(), (dir + "\\" + program).c_str(), FALSE);
  CopyFileA(WinPath(LAUNCHER_EXE).c_str(), (dir + "\\zarn_launcher.exe").c_str(), FALSE);
  std::string host = "http://127.0.0.1:" + std::to_string(Port()) + "/" + tree;
  std::string ini = dir + "\\launcher.ini";
  WritePrivateProfileStringA("Default", "URL", (host + "/serverlist").c_str(), ini.c_str());
  WritePrivateProfileStringA("Default", "BackURL", (host + "/backup/serverlist").c_str(), ini.c_str());
  return dir;
}

// Every status line the layout's texts can make: a stage's text, with dots
// or counts behind it, or the download line.
bool IsStageLine(const std::string& line) {
  static const char* const starts[] = {"正在下载服务器列表", "服务器列表下载完成,正在读取", "正在下载补丁", "正在校验补丁",
                                       "正在安装补丁", "正在准备客户端文件", "正在下载客户端文件", "正在合并文件",
                                       "正在记录新版本", "正在检查客户端", "正在校验客户端文件", "更新完成"};
  for (const char* s : starts)
    if (line.compare(0, strlen(s), s) == 0) return true;
  return false;
}

// A message box of the program instead of, or over, its main window: its
// caption and text, or empty.
std::string BoxShown(DWORD pid) {
  for (HWND box : windriver::OtherDialogs(pid, nullptr))
    if (windriver::WindowText(box) != kCaption && FindWindowExA(box, nullptr, "Static", nullptr) != nullptr)
      return windriver::WindowText(box) + ": " + windriver::BoxText(box);
  return std::string();
}

// The first line of a file a stand-in program writes: the program makes the
// file before it writes it.
testing::AssertionResult LineWritten(const std::string& path, std::string* text) {
  return testsupport::WaitFor(path + " with a whole line", [&] {
    *text = ReadFileBytes(path);
    return text->find('\n') != std::string::npos;
  });
}

struct Watched {
  windriver::Process process;
  HWND main = nullptr, panel = nullptr;
  std::vector<std::string> seen;
  std::string why;  // what Watch waited for when it gave up

  // The status lines in order until `until` shows or the program ends. A
  // box ends the watch at once: the launcher waits for a click then.
  bool Watch(const std::string& dir, const std::string& until, DWORD ms = 300000) {
    if (!process.Start(dir + "\\zarn_launcher.exe", "", dir, ms + 180000)) return Stop("the launcher did not start");
    // Seconds on a loaded machine; the bound is for a launcher that hangs.
    const DWORD kWindowMs = 120000;
    for (DWORD start = GetTickCount(); main == nullptr; Sleep(50)) {
      main = windriver::WaitForWindow(process.Id(), "#32770", kCaption, 0);
      if (main != nullptr) break;
      if (Ended() || Boxed()) return false;
      if (GetTickCount() - start > kWindowMs) return Stop("no main window after 120 s");
    }
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20)) {
      if (panel == nullptr) panel = windriver::OwnedWindow(process.Id(), main);
      if (panel != nullptr) {
        std::string now = windriver::WindowText(panel);
        if (!now.empty() && (seen.empty() || seen.back() != now)) seen.push_back(now);
        if (now == until) return true;
      }
      if (Ended() || Boxed()) return false;
    }
    return Stop("no \"" + until + "\" on the status line in time");
  }
  bool Stop(const std::string& reason) {
    why = reason;
    return false;
  }
  bool Ended() {
    DWORD code = 0;
    if (!process.WaitExit(0, &code)) return false;
    Stop("the launcher ended with " + std::to_string(static_cast<int>(code)));
    return true;
  }
  bool Boxed() {
    std::string box = BoxShown(process.Id());
    if (!box.empty()) Stop("the launcher shows a box: " + box);
    return !box.empty();
  }
  std::string Seen() const {
    std::string all = why + "; seen: ";
    for (const std::string& s : seen) all += s + " | ";
    return all;
  }
};

}  // namespace

TEST(LauncherUpdate, WholeUpdateShowsItsStagesThenStartsTheGame) {
  // The "paced" tree's patches take seconds to come: their download line
  // stays on the status line for many repaints.
  std::string dir = Client("good", "paced");
  Watched run;
  ASSERT_TRUE(run.Watch(dir, kDone)) << run.Seen();
  // Several stages went by, each as its text shows it.
  EXPECT_GE(run.seen.size(), 3u) << run.Seen();
  for (const std::string& line : run.seen) EXPECT_TRUE(IsStageLine(line)) << line;
  EXPECT_TRUE(std::any_of(run.seen.begin(), run.seen.end(),
                          [](const std::string& s) { return s.find("KB/S") != std::string::npos; }))
      << run.Seen();
  // The exit button is usable again.
  EXPECT_TRUE(testsupport::WaitFor("the exit button usable again", [&] {
    return windriver::WindowProp(GetDlgItem(run.panel, 1001), "ZarnSkinDisabled") == 0;
  }));
  // The stage bar fills on the next repaint: its last column shows the
  // bar's colour.
  RECT r;
  GetWindowRect(run.main, &r);
  windriver::Image shot;
  EXPECT_TRUE(testsupport::WaitFor("the stage bar's last column in its colour", [&] {
    return windriver::CaptureScreen(r, &shot) && shot.Pixel(140 + 299, 378 + 2) == 0xFFC800u;
  }));
  testsupport::WriteFileBytes("launcher_update.png", windriver::EncodePng(shot));

  // The client is current.
  EXPECT_NE(std::string::npos, ReadFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml").find("<Version>1.0.0.3</Version>"));
  std::istringstream expect(ReadFileBytes(Server("expect.txt")));
  std::string kind, path, plain;
  int files = 0;
  while (expect >> kind) {
    if (kind == "file" && expect >> path >> plain) {
      EXPECT_EQ(ReadFileBytes(Server(plain)), ReadFileBytes(dir + "\\" + path)) << path;
      ++files;
    } else {
      std::getline(expect, path);
    }
  }
  EXPECT_GE(files, 5);

  // The page's hand-over: the game starts with the area's servers written,
  // the patch folder goes, the launcher leaves with -1.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(run.main, 2029, 0, 0, SMTO_NORMAL, 30000, &result);
  DWORD code = 0;
  ASSERT_TRUE(run.process.WaitExit(testsupport::kEventWaitMs, &code));
  EXPECT_EQ(kLeft, code);
  std::string line;
  EXPECT_TRUE(LineWritten(dir + "\\fake_game.exe.cmdline", &line)) << "the game did not start";
  EXPECT_FALSE(ReadFileBytes(dir + "\\server_list.ini").empty());
  EXPECT_FALSE(FileExists(dir + "\\LauncherCfg\\PatchTemp\\serverlist.pak"));
}

TEST(LauncherUpdate, OlderLauncherHandsOverToTheEmergencyUpdater) {
  std::string dir = Client("oldlauncher", "oldlauncher");
  Watched run;
  run.Watch(dir, "");  // until the program ends
  DWORD code = 0;
  ASSERT_TRUE(run.process.WaitExit(testsupport::kEventWaitMs, &code)) << run.Seen();
  EXPECT_EQ(kLeft, code);
  // The shell puts the program's name first; the updater takes the rest.
  std::string want = "\"Quickmend.exe\" http://127.0.0.1:" + std::to_string(Port()) + "/good/patch/launcher/13\n";
  std::string line;
  EXPECT_TRUE(LineWritten(dir + "\\Quickmend.exe.cmdline", &line));
  EXPECT_EQ(want, line);
  EXPECT_NE(std::string::npos, ReadFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml").find("<Version>1.0.0.1</Version>"));
}
