// Quickmend.exe started as the launcher starts it, against the kit's nginx
// and the fault server, with a fake launcher inside the served package.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "WinDriver.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::FixturePath;
using testsupport::ReadFileBytes;
using namespace testhttp;

namespace {

const char* const kDialogClass = "#32770";
const char* const kCaption = "Quickmend";
// Generous: the 32-bit programs run emulated on a shared machine.
const DWORD kWait = 60000;
const DWORD kEnded = 0xFFFFFFFFu;  // exit code -1
const std::string kOld = "the old launcher";
const int kStatus = 1001, kRetry = 1003, kProgress = 1000;

std::string WindowsPath(const std::string& path) { return path[0] == '/' ? "Z:" + path : path; }
std::string FakeLauncher() { return ReadFileBytes(WindowsPath(FAKE_LAUNCHER_EXE)); }
std::string ServedDir() { return FixturePath("quickmend_server"); }

// A fresh installation folder: an old launcher (or none) and UpdateCfg.xml.
std::string Folder(const std::string& name, const char* cfg = "full", bool launcher = true) {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string dir = std::string(cwd) + "\\" + name;
  testsupport::RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\LauncherCfg").c_str(), nullptr);
  if (launcher) testsupport::WriteFileBytes(dir + "\\zarn_launcher.exe", kOld);
  testsupport::WriteFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml",
                              ReadFileBytes(FixturePath(std::string("quickmend/updatecfg/") + cfg + ".xml")));
  return dir;
}

// Waits up to timeoutMs for the condition.
template <class Condition>
bool Eventually(Condition condition, DWORD timeoutMs = kWait) {
  for (DWORD start = GetTickCount(); !condition(); Sleep(50))
    if (GetTickCount() - start > timeoutMs) return false;
  return true;
}

// The fake launcher's record of how it was started.
bool LauncherStartedWith(const std::string& dir, const std::string& commandLine) {
  return Eventually([&] { return ReadFileBytes(dir + "\\launcher_started.txt") == commandLine + "\n"; });
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// CPU time of each thread of the process, in ms (Wine gives the times of
// another process's threads, not of the process).
std::map<DWORD, uint64_t> ThreadCpuMs(DWORD pid) {
  std::map<DWORD, uint64_t> times;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    FILETIME created, exited, kernel, user;
    if (thread != nullptr && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
      auto ms = [](const FILETIME& t) { return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
      times[entry.th32ThreadID] = ms(kernel) + ms(user);
    }
    if (thread != nullptr) CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return times;
}

bool FromWinINet(const std::string& request) { return request.find("InetURL:/1.0") != std::string::npos; }

Script NotFound() { return Script{Send(Reply("404 Not Found", "Content-Length: 0\r\n", ""))}; }

struct Quickmend {
  windriver::Process process;
  HWND dialog = nullptr;

  // url as the whole command line, as the launcher passes it.
  bool Launch(const std::string& dir, const std::string& url) {
    return process.Start(WindowsPath(QUICKMEND_EXE), url, dir, 240000);
  }
  bool Start(const std::string& dir, const std::string& url) {
    if (!Launch(dir, url)) return false;
    dialog = windriver::WaitForWindow(process.Id(), kDialogClass, kCaption, kWait);
    return dialog != nullptr && windriver::WaitIdle(dialog, kWait);
  }
  std::string Status() const { return windriver::WindowText(GetDlgItem(dialog, kStatus)); }
  // A finished attempt: its text shown and Retry enabled.
  bool Failed(const std::string& text) {
    return Eventually([&] { return windriver::IsEnabled(dialog, kRetry) && Status() == text; });
  }
  bool Retry() { return windriver::Click(dialog, kRetry) && windriver::WaitIdle(dialog, kWait); }
  int Progress(UINT message, WPARAM wParam = 0) const {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, kProgress), message, wParam, 0));
  }
  bool Ends(DWORD* code) { return process.WaitExit(kWait, code); }
};

// nginx of the kit, serving DIR/www/launcher/; its access log records the requests.
struct Served {
  int port = std::atoi(ReadFileBytes(ServedDir() + "/port").c_str());
  size_t mark = ReadFileBytes(ServedDir() + "/access.log").size();
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
  std::string NewLog() { return ReadFileBytes(ServedDir() + "/access.log").substr(mark); }
};

}  // namespace

TEST(QuickmendGui, InstallsTheLowerCasedPackageAndRestartsTheLauncher) {
  Served served;
  ASSERT_GT(served.port, 0) << "no nginx in " << ServedDir();
  std::string dir = Folder("install");
  Quickmend run;
  ASSERT_TRUE(run.Launch(dir, served.Url("/LAUNCHER/1.25")));
  DWORD code = 0;
  ASSERT_TRUE(run.Ends(&code));
  EXPECT_EQ(code, kEnded);

  EXPECT_TRUE(ReadFileBytes(dir + "\\zarn_launcher.exe") == FakeLauncher());
  EXPECT_FALSE(FileExists(dir + "\\zarn_launcher_new.exe"));
  EXPECT_FALSE(FileExists(dir + "\\launcher.pak"));
  std::string cfg = ReadFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml");
  EXPECT_EQ(Count(cfg, "<PatchVer"), 1u) << cfg;
  EXPECT_EQ(Count(cfg, "<PatchVer>1.250</PatchVer>"), 1u) << cfg;
  EXPECT_EQ(Count(cfg, "<Version>1.0.0.4</Version>"), 1u) << cfg;
  EXPECT_TRUE(LauncherStartedWith(dir, "1"));
  EXPECT_TRUE(Eventually([&] { return served.NewLog().find("\"GET /launcher/1.25.pak HTTP/1.1\"") != std::string::npos; },
                         5000))
      << served.NewLog();
}

TEST(QuickmendGui, TheOtherDownloaderInstallsWhenOneFails) {
  const std::string package = ReadFileBytes(ServedDir() + "/www/launcher/1.25.pak");
  ASSERT_FALSE(package.empty());
  std::atomic<int> servedTo{-1};  // 0 WinINet, 1 plain-socket GET, -1 neither
  Server server([&](const std::string& request, int) {
    return (FromWinINet(request) ? 0 : 1) == servedTo ? Script{Send(Ok(package))} : NotFound();
  });
  std::string url = server.Url("/launcher/1.25");

  // The first attempt falls back from WinINet to the plain GET.
  {
    servedTo = 1;
    std::string dir = Folder("fallback_get");
    Quickmend run;
    ASSERT_TRUE(run.Launch(dir, url));
    DWORD code = 0;
    ASSERT_TRUE(run.Ends(&code));
    EXPECT_EQ(code, kEnded);
    EXPECT_TRUE(ReadFileBytes(dir + "\\zarn_launcher.exe") == FakeLauncher());
    EXPECT_TRUE(LauncherStartedWith(dir, "1"));
    std::vector<std::string> requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_TRUE(FromWinINet(requests.front()));
    EXPECT_FALSE(FromWinINet(requests.back()));
  }

  // Both fail; Retry starts with the plain GET it ended on and falls back to WinINet.
  servedTo = -1;
  std::string dir = Folder("fallback_inet");
  Quickmend run;
  ASSERT_TRUE(run.Start(dir, url));
  ASSERT_TRUE(run.Failed("下载" + url + ".pak 失败")) << run.Status();
  size_t before = server.Requests().size();
  servedTo = 0;
  ASSERT_TRUE(run.Retry());
  DWORD code = 0;
  ASSERT_TRUE(run.Ends(&code));
  EXPECT_EQ(code, kEnded);
  EXPECT_TRUE(ReadFileBytes(dir + "\\zarn_launcher.exe") == FakeLauncher());
  std::vector<std::string> requests = server.Requests();
  ASSERT_GE(requests.size(), before + 2);
  EXPECT_FALSE(FromWinINet(requests[before]));
  EXPECT_TRUE(FromWinINet(requests.back()));
}

TEST(QuickmendGui, FiveRetriesThenTheSixthPressEndsWithoutThreadsLeftOver) {
  Server server([](const std::string&, int) { return NotFound(); });
  std::string url = server.Url("/launcher/2.0");
  std::string dir = Folder("retries");
  Quickmend run;
  ASSERT_TRUE(run.Start(dir, url));
  const std::string failed = "下载" + url + ".pak 失败";
  int firstThreads = 0;
  for (int round = 0; round <= 5; ++round) {
    ASSERT_TRUE(run.Failed(failed)) << round << ": " << run.Status();
    int threads = static_cast<int>(ThreadCpuMs(run.process.Id()).size());
    if (round == 0) firstThreads = threads;
    // The progress thread of each attempt ends with it (a few of Wine's own may come and go).
    EXPECT_LE(threads, firstThreads + 2) << round;
    ASSERT_TRUE(run.Retry()) << round;
  }
  DWORD code = 0;
  ASSERT_TRUE(run.Ends(&code));
  EXPECT_EQ(code, kEnded);
  // Six attempts, each one WinINet request (a 404 is not retried) beside the plain GET's.
  int inet = 0;
  for (const std::string& request : server.Requests()) inet += FromWinINet(request) ? 1 : 0;
  EXPECT_EQ(inet, 6);
  EXPECT_GT(server.RequestCount(), 12);
  EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe"), kOld);
  EXPECT_FALSE(FileExists(dir + "\\launcher_started.txt"));
}

TEST(QuickmendGui, FailureTexts) {
  {  // No address: only closing is left.
    Quickmend run;
    ASSERT_TRUE(run.Start(Folder("no_address"), ""));
    EXPECT_EQ(run.Status(), "请使用 zarn_launcher.exe 更新");
    EXPECT_FALSE(windriver::IsEnabled(run.dialog, kRetry));
    PostMessageA(run.dialog, WM_CLOSE, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(run.Ends(&code));
    EXPECT_EQ(code, 0u);
  }
  {  // No launcher in the working folder: a box, and the program ends.
    Quickmend run;
    ASSERT_TRUE(run.Launch(Folder("no_launcher", "full", false), "http://127.0.0.1:1/launcher/1.25"));
    HWND box = windriver::WaitForWindow(run.process.Id(), kDialogClass, nullptr, kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windriver::WindowText(FindWindowExA(box, nullptr, "Static", "存放目录不正确")), "存放目录不正确");
    windriver::DismissOtherDialogs(run.process.Id(), nullptr);
    DWORD code = 0;
    ASSERT_TRUE(run.Ends(&code));
    EXPECT_EQ(code, kEnded);
  }
  Served served;
  const struct {
    const char* name;
    const char* path;
    const char* cfg;
    const char* text;
    bool installed;
  } cases[] = {
      {"damaged", "/launcher/damaged", "full", "解压zarn_launcher.exe失败", false},
      {"unrecorded", "/launcher/1.25", "no_update", "写入版本号失败", true},
  };
  for (const auto& c : cases) {
    std::string dir = Folder(c.name, c.cfg);
    Quickmend run;
    ASSERT_TRUE(run.Start(dir, served.Url(c.path))) << c.name;
    ASSERT_TRUE(run.Failed(c.text)) << c.name << ": " << run.Status();
    // The download itself succeeded: the bar stands full.
    EXPECT_TRUE(Eventually([&] {
      int upper = run.Progress(PBM_GETRANGE, FALSE);
      return upper > 0 && run.Progress(PBM_GETPOS) == upper;
    }, 5000)) << c.name;
    EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe") == FakeLauncher(), c.installed) << c.name;
    if (!c.installed) {
      EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe"), kOld) << c.name;
    }
    EXPECT_EQ(FileExists(dir + "\\launcher.pak"), !c.installed) << c.name;  // kept for a look when unpacking failed
    EXPECT_FALSE(FileExists(dir + "\\zarn_launcher_new.exe")) << c.name;
    Sleep(500);
    EXPECT_FALSE(FileExists(dir + "\\launcher_started.txt")) << c.name;
    PostMessageA(run.dialog, WM_CLOSE, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(run.Ends(&code)) << c.name;
    EXPECT_EQ(code, 0u) << c.name;
  }
}

TEST(QuickmendGui, WaitsWithTheCpuIdleAndCancelEndsMidDownload) {
  // Part of the body, then nothing for longer than the test waits.
  Server server([](const std::string& request, int) {
    if (!FromWinINet(request)) return NotFound();
    return Script{Send(Reply("200 OK", "Content-Length: 100000\r\n", Pattern(8192))), Stall(60000)};
  });
  std::string url = server.Url("/Launcher/3.0");
  std::string dir = Folder("cancel");
  Quickmend run;
  ASSERT_TRUE(run.Start(dir, url));
  EXPECT_EQ(run.Status(), "正在下载:" + url + ",请稍候...");
  ASSERT_TRUE(Eventually([&] { return run.Progress(PBM_GETPOS) > 0; })) << run.Status();
  EXPECT_EQ(run.Progress(PBM_GETRANGE, FALSE), 100000);

  std::map<DWORD, uint64_t> before = ThreadCpuMs(run.process.Id());
  DWORD wallBefore = GetTickCount();
  Sleep(3000);
  std::map<DWORD, uint64_t> after = ThreadCpuMs(run.process.Id());
  DWORD wall = GetTickCount() - wallBefore;
  uint64_t cpu = 0;
  for (const auto& thread : after)
    if (before.count(thread.first)) cpu += thread.second - before[thread.first];
  ASSERT_GE(after.size(), 3u);  // the dialog's, the download and the progress thread at least
  EXPECT_LT(cpu * 10, wall) << cpu << " ms of CPU in " << wall << " ms";

  DWORD start = GetTickCount();
  PostMessageA(run.dialog, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(run.Ends(&code));
  EXPECT_EQ(code, 0u);
  EXPECT_LT(GetTickCount() - start, 15000u);
  EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe"), kOld);
  EXPECT_FALSE(FileExists(dir + "\\launcher_started.txt"));
}
