// Quickmend.exe started as the launcher starts it, against the kit's nginx
// and the fault server, with a fake launcher inside the served packages.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "WinDriver.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::FixturePath;
using testsupport::ReadFileBytes;
using namespace testhttp;

namespace {

const DWORD kWait = testsupport::kEventWaitMs;
const DWORD kEnded = 0xFFFFFFFFu;  // exit code -1
const std::string kOld = "the old launcher";
const int kStatus = 1001, kRetry = 1003, kProgress = 1000;

std::string WindowsPath(const std::string& path) { return path[0] == '/' ? "Z:" + path : path; }
std::string Served(const std::string& name) { return ReadFileBytes(FixturePath("quickmend_server/" + name)); }
std::string NginxUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(std::atoi(Served("port").c_str())) + path;
}

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

// The fake launcher installed, started with "1" as its whole command line.
testing::AssertionResult InstalledAndStarted(const std::string& dir) {
  if (ReadFileBytes(dir + "\\zarn_launcher.exe") != ReadFileBytes(WindowsPath(FAKE_LAUNCHER_EXE)))
    return testing::AssertionFailure() << "the fake launcher is not installed in " << dir;
  return testsupport::WaitFor("the installed launcher to start with \"1\"",
                              [&] { return ReadFileBytes(dir + "\\launcher_started.txt") == "1\n"; });
}

// CPU ms of a thread, 0 when it cannot be asked.
uint64_t CpuMsOf(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  auto ms = [](const FILETIME& t) { return ((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10000; };
  return GetThreadTimes(thread, &created, &exited, &kernel, &user) ? ms(kernel) + ms(user) : 0;
}

// CPU ms of each thread of the process (Wine gives the times of another
// process's threads, not of the process).
std::map<DWORD, uint64_t> ThreadCpuMs(DWORD pid) {
  std::map<DWORD, uint64_t> times;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    HANDLE thread = entry.th32OwnerProcessID == pid ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)
                                                    : nullptr;
    if (thread == nullptr) continue;
    times[entry.th32ThreadID] = CpuMsOf(thread);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return times;
}

// CPU ms that a thread polling without a pause gets in `ms` of wall time on
// this machine as loaded now, measured on a thread of this process: under
// load and emulation alike, a busy poll in the program would get as much.
uint64_t BusyThreadCpuMs(DWORD ms) {
  uint64_t used = 0;
  std::thread spinner([&] {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    }
    used = CpuMsOf(GetCurrentThread());
  });
  spinner.join();
  return used;
}

bool FromWinINet(const std::string& request) { return request.find("InetURL:/1.0") != std::string::npos; }
Script NotFound() { return Script{Send(Reply("404 Not Found", "Content-Length: 0\r\n", ""))}; }

struct Quickmend {
  windriver::Process process;
  HWND dialog = nullptr;

  // url as the whole command line, as the launcher passes it. The lifetime
  // only ends a program that hangs: six attempts on a loaded machine take
  // minutes.
  bool Launch(const std::string& dir, const std::string& url) {
    return process.Start(WindowsPath(QUICKMEND_EXE), url, dir, 600000);
  }
  bool Start(const std::string& dir, const std::string& url) {
    if (!Launch(dir, url)) return false;
    dialog = windriver::WaitForWindow(process.Id(), "#32770", "Quickmend", kWait);
    return dialog != nullptr && windriver::WaitIdle(dialog, kWait);
  }
  std::string Status() const { return windriver::WindowText(GetDlgItem(dialog, kStatus)); }
  // A finished attempt: its text shown and Retry enabled.
  testing::AssertionResult Failed(const std::string& text) {
    return testsupport::WaitFor("Retry enabled under \"" + text + "\"",
                                [&] { return windriver::IsEnabled(dialog, kRetry) && Status() == text; });
  }
  bool Retry() { return windriver::Click(dialog, kRetry) && windriver::WaitIdle(dialog, kWait); }
  int Progress(UINT message, WPARAM wParam = 0) const {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, kProgress), message, wParam, 0));
  }
  DWORD ExitCode() {
    DWORD code = 99;
    return process.WaitExit(kWait, &code) ? code : 99;
  }
};

}  // namespace

TEST(QuickmendGui, InstallsTheLowerCasedPackageAndRestartsTheLauncher) {
  size_t logMark = Served("access.log").size();
  std::string dir = Folder("install");
  Quickmend run;
  ASSERT_TRUE(run.Launch(dir, NginxUrl("/LAUNCHER/1.25")));
  EXPECT_EQ(run.ExitCode(), kEnded);
  EXPECT_TRUE(InstalledAndStarted(dir));
  EXPECT_FALSE(FileExists(dir + "\\zarn_launcher_new.exe") || FileExists(dir + "\\launcher.pak"));
  std::string cfg = ReadFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml");
  EXPECT_NE(cfg.find("<PatchVer>1.250</PatchVer>"), std::string::npos) << cfg;
  EXPECT_TRUE(testsupport::WaitFor("nginx's log line of the lower-cased package", [&] {
    return Served("access.log").find("\"GET /launcher/1.25.pak HTTP/1.1\"", logMark) != std::string::npos;
  }));
}

TEST(QuickmendGui, AFailedDownloadWithWinINetInstallsWithThePlainGet) {
  const std::string package = Served("www/launcher/1.25.pak");
  Server server([&](const std::string& request, int) {
    return FromWinINet(request) ? NotFound() : Script{Send(Ok(package))};
  });
  std::string dir = Folder("fallback");
  testsupport::WriteFileBytes(dir + "\\launcher.pak_0", std::string(100, 'o'));  // another version's part
  Quickmend run;
  ASSERT_TRUE(run.Launch(dir, server.Url("/launcher/1.25")));
  EXPECT_EQ(run.ExitCode(), kEnded);
  EXPECT_TRUE(InstalledAndStarted(dir));
  ASSERT_GE(server.RequestCount(), 2);
  EXPECT_TRUE(FromWinINet(server.Requests().front()));
  for (const std::string& request : server.Requests())
    EXPECT_TRUE(FromWinINet(request) || request.find("Range: bytes=0-\r\n") != std::string::npos) << request;
}

TEST(QuickmendGui, FiveRetriesWithTheSwitchedDownloaderThenTheSixthPressEnds) {
  Server server([](const std::string&, int) { return NotFound(); });
  std::string url = server.Url("/launcher/2.0");
  std::string dir = Folder("retries");
  Quickmend run;
  ASSERT_TRUE(run.Start(dir, url));
  size_t firstThreads = 0;
  std::vector<std::string> before;
  for (int round = 0; round <= 5; ++round) {
    ASSERT_TRUE(run.Failed("下载" + url + ".pak 失败")) << round << ": " << run.Status();
    // The requests of this attempt: the first one's WinINet request, then
    // only the plain GET it switched to; no attempt switches back.
    std::vector<std::string> requests = server.Requests();
    int inet = 0, get = 0;
    for (size_t i = before.size(); i < requests.size(); ++i) (FromWinINet(requests[i]) ? inet : get) += 1;
    EXPECT_TRUE(round == 0 ? inet >= 1 && FromWinINet(requests.front()) : inet == 0) << round << ": " << inet;
    EXPECT_GE(get, 1) << round;
    before = requests;
    // Each attempt's progress thread ends with it (a few of Wine's own come
    // and go); it sees the end on its next poll, after the result is shown.
    size_t threads = ThreadCpuMs(run.process.Id()).size();
    if (round == 0) firstThreads = threads;
    EXPECT_TRUE(testsupport::WaitFor("the attempt's threads to end", [&] {
      threads = ThreadCpuMs(run.process.Id()).size();
      return threads <= firstThreads + 2;
    })) << round << ": " << threads << " threads, " << firstThreads << " after the first attempt";
    if (round < 5)
      ASSERT_TRUE(run.Retry()) << round;
    else  // the sixth press ends the program: its window may be gone at once
      ASSERT_TRUE(windriver::Click(run.dialog, kRetry));
  }
  EXPECT_EQ(run.ExitCode(), kEnded);
  EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe"), kOld);
}

TEST(QuickmendGui, FailureTexts) {
  {
    Quickmend run;
    ASSERT_TRUE(run.Start(Folder("no_address"), ""));
    EXPECT_EQ(run.Status(), "请使用 zarn_launcher.exe 更新");
    EXPECT_FALSE(windriver::IsEnabled(run.dialog, kRetry));
    PostMessageA(run.dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.ExitCode(), 0u);
  }
  {
    Quickmend run;
    ASSERT_TRUE(run.Launch(Folder("no_launcher", "full", false), NginxUrl("/launcher/1.25")));
    HWND box = windriver::WaitForWindow(run.process.Id(), "#32770", nullptr, kWait);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(FindWindowExA(box, nullptr, "Static", "存放目录不正确"), nullptr);
    windriver::DismissOtherDialogs(run.process.Id(), nullptr);
    EXPECT_EQ(run.ExitCode(), kEnded);
  }
  // The download succeeded (the bar stands full), what follows failed.
  const struct {
    const char *name, *path, *cfg, *text;
    bool installed;
  } cases[] = {
      {"damaged", "/launcher/damaged", "full", "解压zarn_launcher.exe失败", false},
      {"unrecorded", "/launcher/1.25", "no_update", "写入版本号失败", true},
      // Installed, it would leave the launcher older than the chain asks and
      // bring it back here at every start.
      {"outdated", "/launcher/1.3", "full", "解压zarn_launcher.exe失败", false},
  };
  for (const auto& c : cases) {
    std::string dir = Folder(c.name, c.cfg);
    Quickmend run;
    ASSERT_TRUE(run.Start(dir, NginxUrl(c.path))) << c.name;
    ASSERT_TRUE(run.Failed(c.text)) << run.Status();
    EXPECT_TRUE(testsupport::WaitFor("the progress bar standing full", [&] {
      int upper = run.Progress(PBM_GETRANGE, FALSE);
      return upper > 0 && run.Progress(PBM_GETPOS) == upper;
    })) << c.name;
    std::string launcher = ReadFileBytes(dir + "\\zarn_launcher.exe");
    EXPECT_EQ(launcher, c.installed ? ReadFileBytes(WindowsPath(FAKE_LAUNCHER_EXE)) : kOld) << c.name;
    EXPECT_EQ(FileExists(dir + "\\launcher.pak"), !c.installed) << c.name;  // kept when unpacking failed
    PostMessageA(run.dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.ExitCode(), 0u) << c.name;
    EXPECT_FALSE(FileExists(dir + "\\launcher_started.txt")) << c.name;
  }
}

TEST(QuickmendGui, WaitsWithTheCpuIdleAndCancelEndsMidDownload) {
  // Part of the body, then nothing for longer than the test waits.
  Server server([](const std::string& request, int) {
    if (!FromWinINet(request)) return NotFound();
    return Script{Send(Reply("200 OK", "Content-Length: 100000\r\n", Pattern(8192))), Stall(200000)};
  });
  std::string url = server.Url("/Launcher/3.0");
  std::string dir = Folder("cancel");
  const std::string earlier = "an earlier package";
  testsupport::WriteFileBytes(dir + "\\launcher.pak", earlier);
  Quickmend run;
  ASSERT_TRUE(run.Start(dir, url));
  EXPECT_EQ(run.Status(), "正在下载:" + url + ",请稍候...");
  ASSERT_TRUE(testsupport::WaitFor("the first bytes on the progress bar", [&] { return run.Progress(PBM_GETPOS) > 0; }))
      << run.Status();
  EXPECT_EQ(run.Progress(PBM_GETRANGE, FALSE), 100000);

  // Waiting, the program takes less than a quarter of what a busy thread gets.
  std::map<DWORD, uint64_t> before = ThreadCpuMs(run.process.Id());
  const uint64_t busy = BusyThreadCpuMs(3000);
  std::map<DWORD, uint64_t> after = ThreadCpuMs(run.process.Id());
  uint64_t cpu = 0;
  for (const auto& thread : after)
    if (before.count(thread.first)) cpu += thread.second - before[thread.first];
  ASSERT_GE(after.size(), 3u);  // the dialog's, the download and the progress thread at least
  EXPECT_LT(cpu * 4, busy) << cpu << " ms of CPU in 3 s, where a busy thread got " << busy << " ms";

  DWORD closed = GetTickCount();
  PostMessageA(run.dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(), 0u);
  // Well before the server's stall ends.
  EXPECT_LT(GetTickCount() - closed, 40000u) << "ms from the close to the end";
  EXPECT_EQ(ReadFileBytes(dir + "\\zarn_launcher.exe"), kOld);
  // Ended mid-body: the package's name still holds what it held.
  EXPECT_TRUE(ReadFileBytes(dir + "\\launcher.pak") == earlier);
}

TEST(QuickmendGui, AClosedWindowWaitsForTheInstall) {
  // This build holds the install at its first write while install.hold exists.
  std::string dir = Folder("close_installing");
  const std::string hold = dir + "\\install.hold";
  testsupport::WriteFileBytes(hold, "");
  Quickmend run;
  ASSERT_TRUE(run.process.Start(WindowsPath(QUICKMEND_SLOW_INSTALL_EXE), NginxUrl("/launcher/1.25"), dir, 240000));
  run.dialog = windriver::WaitForWindow(run.process.Id(), "#32770", "Quickmend", kWait);
  ASSERT_NE(run.dialog, nullptr);
  ASSERT_TRUE(testsupport::WaitFor("the install writing the new program",
                                   [&] { return FileExists(dir + "\\zarn_launcher_new.exe"); }));
  // Sent, so that it has been handled when the install goes on.
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutA(run.dialog, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kWait, &answer), 0);
  DeleteFileA(hold.c_str());
  EXPECT_EQ(run.ExitCode(), kEnded);
  // The program and its version record, both new.
  EXPECT_TRUE(InstalledAndStarted(dir));
  std::string cfg = ReadFileBytes(dir + "\\LauncherCfg\\UpdateCfg.xml");
  EXPECT_NE(cfg.find("<PatchVer>1.250</PatchVer>"), std::string::npos) << cfg;
}
