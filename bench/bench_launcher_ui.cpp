// What the player waits for in the launcher's windows, under Wine:
//   panel_repaint  one full repaint of the panel (background picture, bars,
//                  versions, status line) into a memory context; reference:
//                  the same frame's bare copies (one fill and one BitBlt of
//                  the finished picture), the floor any repaint pays;
//   window_shown   process start to the main window and its panel shown;
//                  reference: tunedesk.exe from start to its dialog shown,
//                  the cost of any small dialog program here.
// Argument: the work folder, holding the kit's installation folder (made by
// launcher_ui.server.sh). Reference lines go to FOLDER/reference.txt.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchIo.h"
#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "PatchDlg.h"
#include "afx/AfxGdiPlus.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    Sleep(1);
  } while (GetTickCount() - start < ms);
}

struct Shown {
  DWORD pid;
  const char* caption;
  bool needOwned;
  bool found;
};

BOOL CALLBACK FindShown(HWND hwnd, LPARAM param) {
  Shown* s = reinterpret_cast<Shown*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  char text[128] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  if (strcmp(text, s->caption) != 0) return TRUE;
  if (!s->needOwned) {
    s->found = true;
    return FALSE;
  }
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
    if (GetWindow(w, GW_OWNER) == hwnd && IsWindowVisible(w)) {
      s->found = true;
      return FALSE;
    }
  return TRUE;
}

// Milliseconds from CreateProcess to the window shown; the program is then
// ended. Negative when it did not show within 60 s.
double TimeToWindow(const std::string& exe, const std::string& line, const std::string& dir, const char* caption,
                    bool needOwned) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::vector<char> command(line.begin(), line.end());
  command.push_back('\0');
  double start = benchio::Now();
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &info))
    return -1;
  Shown s = {info.dwProcessId, caption, needOwned, false};
  double ms = -1;
  while (benchio::Now() - start < 60) {
    EnumWindows(&FindShown, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      ms = (benchio::Now() - start) * 1000;
      break;
    }
    Sleep(1);
  }
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return ms;
}

std::string Folder(const std::string& exePath, int up) {
  std::string p = exePath;
  for (int i = 0; i < up; ++i) p = p.substr(0, p.find_last_of("\\/"));
  return p;
}

void EndHook(int) {}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "bench_launcher_ui WORK\n");
    return 2;
  }
  std::string work = argv[1];
  std::string folder = work + "\\kit\\launcher_ui\\folder";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
  std::string build = Folder(self, 2);
  FILE* reference = fopen((work + "\\reference.txt").c_str(), "w");
  if (reference == nullptr) return 1;

  // ---- one full repaint of the panel
  SetCurrentDirectoryA(folder.c_str());
  afx::GdiPlusSession gdiplus;
  gdiplus.Start();
  LauncherCfg::SetEndProcessHook(&EndHook);
  {
    CPatchDlg main;
    if (!main.Create(CPatchDlg::IDD, nullptr) || main.Panel() == nullptr) {
      fprintf(stderr, "the window did not open\n");
      return 1;
    }
    main.ShowWindow(SW_SHOW);
    Pump(300);
    main.Run()->SetStage(UpdateStage::PatchDownload);
    main.Run()->SetProgress(3 << 20, 10 << 20);
    CChildControlDlg* panel = main.Panel();
    CRect client;
    panel->GetClientRect(&client);
    CClientDC screen(panel);
    CMemoryDC target(screen);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(screen, client.Width(), client.Height());
    afx::ScopedSelect hold(target, bitmap);
    std::vector<double> ours, floor;
    for (int i = 0; i < 200; ++i) {
      double t = benchio::Now();
      panel->PaintInto(target);
      GdiFlush();
      ours.push_back((benchio::Now() - t) * 1000);
      // The floor: a frame filled and copied once, as the repaint's last step.
      t = benchio::Now();
      CMemoryDC frame(screen);
      CBitmap frameBits;
      frameBits.CreateCompatibleBitmap(screen, client.Width(), client.Height());
      afx::ScopedSelect holdFrame(frame, frameBits);
      frame.FillSolidRect(client, RGB(255, 255, 255));
      target.BitBlt(0, 0, client.Width(), client.Height(), frame, 0, 0, SRCCOPY);
      GdiFlush();
      floor.push_back((benchio::Now() - t) * 1000);
    }
    printf("panel_repaint: ours %.0f us (median of 200, %dx%d, the download line)\n", Median(ours) * 1000, client.Width(),
           client.Height());
    fprintf(reference, "panel_repaint: reference %.0f us (one fill and one BitBlt of the frame)\n", Median(floor) * 1000);
    main.DestroyWindow();
  }

  // ---- process start to the window shown
  std::string launcher = build + "\\client\\launcher_new\\app\\zarn_launcher.exe";
  std::string tunedesk = build + "\\tunedesk\\tunedesk.exe";
  std::vector<double> ours, theirs;
  for (int i = 0; i < 7; ++i) {
    double a = TimeToWindow(launcher, "zarn_restart", folder, "赞恩登录器", true);
    double b = TimeToWindow(tunedesk, "100,50,900,650;", work, "系统设置", false);
    if (a < 0 || b < 0) {
      fprintf(stderr, "a window did not show (%g, %g)\n", a, b);
      return 1;
    }
    ours.push_back(a);
    theirs.push_back(b);
  }
  printf("window_shown: ours %.1f ms (median of 7, zarn_launcher.exe to its window and panel)\n", Median(ours));
  fprintf(reference, "window_shown: reference %.1f ms (tunedesk.exe to its dialog)\n", Median(theirs));
  fclose(reference);
  return 0;
}
