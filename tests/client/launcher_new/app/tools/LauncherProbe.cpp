// Looks at a running launcher from outside, for steps driven from Linux
// (the colour check, the demo):
//   probe box NAME MS          prints the caption and text of the first
//                              message box of a process named NAME, closes it
//   probe send CAPTION ID      sends message ID to the window with CAPTION
//   probe wait-status CAPTION TEXT MS
//                              waits until the panel of that window shows
//                              TEXT as its status line
//   probe shot CAPTION FILE    saves the window's pixels as a PNG
//   probe gone NAME MS         waits until no process named NAME is left;
//                              those still there at the end are ended
// Exit code 0 on success, 1 when what was asked for did not come.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "WinDriver.h"
#include "common/ScopedHandle.h"

namespace {

std::vector<DWORD> ProcessesNamed(const char* name) {
  std::vector<DWORD> ids;
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
    if (_stricmp(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  return ids;
}

// Only the launcher program's windows: tests that make the same window
// inside their own process may run on the same display.
HWND WindowWithCaption(const char* caption, DWORD ms) {
  DWORD start = GetTickCount();
  do {
    std::vector<DWORD> launchers = ProcessesNamed("zarn_launcher.exe");
    for (HWND found = FindWindowExA(nullptr, nullptr, nullptr, caption); found != nullptr;
         found = FindWindowExA(nullptr, found, nullptr, caption)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(found, &pid);
      bool ours = false;
      for (DWORD id : launchers) ours = ours || id == pid;
      if (ours && IsWindowVisible(found)) return found;
    }
    Sleep(50);
  } while (GetTickCount() - start < ms);
  return nullptr;
}

int Box(const char* name, DWORD ms) {
  DWORD start = GetTickCount();
  do {
    for (DWORD pid : ProcessesNamed(name)) {
      HWND box = windriver::WaitForBox(pid, nullptr, 0);
      if (box == nullptr) continue;
      printf("caption: %s\ntext: %s\n", windriver::WindowText(box).c_str(), windriver::BoxText(box).c_str());
      fflush(stdout);
      windriver::DismissOtherDialogs(pid, nullptr);
      return 0;
    }
    Sleep(100);
  } while (GetTickCount() - start < ms);
  printf("no box\n");
  return 1;
}

int WaitStatus(const char* caption, const char* text, DWORD ms) {
  DWORD start = GetTickCount();
  std::string last;
  do {
    HWND main = WindowWithCaption(caption, 0);
    DWORD pid = 0;
    if (main != nullptr) GetWindowThreadProcessId(main, &pid);
    HWND panel = main != nullptr ? windriver::OwnedWindow(pid, main) : nullptr;
    if (panel != nullptr) {
      std::string now = windriver::WindowText(panel);
      if (now != last) printf("status: %s\n", (last = now).c_str());
      fflush(stdout);
      if (now == text) return 0;
    }
    Sleep(100);
  } while (GetTickCount() - start < ms);
  return 1;
}

// Launchers left behind would refuse every later test's launcher as a
// second instance, so those that outstay the wait are ended.
int Gone(const char* name, DWORD ms) {
  DWORD start = GetTickCount();
  do {
    if (ProcessesNamed(name).empty()) return 0;
    Sleep(100);
  } while (GetTickCount() - start < ms);
  for (DWORD pid : ProcessesNamed(name)) {
    printf("%s %lu did not leave; ended\n", name, static_cast<unsigned long>(pid));
    if (ScopedHandle process{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)}) {
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), windriver::kAnswerMs);
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  if (what == "box" && argc == 4) return Box(argv[2], static_cast<DWORD>(atoi(argv[3])));
  if (what == "send" && argc == 4) {
    HWND window = WindowWithCaption(argv[2], windriver::kAnswerMs);
    if (window == nullptr) return 1;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, static_cast<UINT>(atoi(argv[3])), 0, 0, SMTO_NORMAL, windriver::kAnswerMs, &result);
    return 0;
  }
  if (what == "gone" && argc == 4) return Gone(argv[2], static_cast<DWORD>(atoi(argv[3])));
  if (what == "wait-status" && argc == 5) return WaitStatus(argv[2], argv[3], static_cast<DWORD>(atoi(argv[4])));
  if (what == "shot" && argc == 4) {
    HWND window = WindowWithCaption(argv[2], windriver::kAnswerMs);
    RECT r;
    windriver::Image image;
    if (window == nullptr || !GetWindowRect(window, &r) || !windriver::CaptureScreen(r, &image)) return 1;
    FILE* f = fopen(argv[3], "wb");
    if (f == nullptr) return 1;
    std::string png = windriver::EncodePng(image);
    fwrite(png.data(), 1, png.size(), f);
    fclose(f);
    return 0;
  }
  fprintf(stderr, "probe box NAME MS | send CAPTION ID | wait-status CAPTION TEXT MS | shot CAPTION FILE | gone NAME MS\n");
  return 2;
}
