// Drives a windowed program from a test: starts it, finds its windows,
// reads and clicks controls by id, dismisses message boxes and takes
// screenshots. Every wait is bounded, and a started program never outlives
// its hard time-out, its Process object or the test program itself.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace windriver {

// What the driver waits at most for a program's window to answer: the
// 32-bit programs run emulated, on a machine busy with other tests.
const DWORD kAnswerMs = 120000;

class Process {
 public:
  Process() {}
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts exe with exactly commandLine as its command line (as a launcher
  // does: no program name first), in folder dir, with this program's
  // environment plus the "NAME=value" entries of env. Still running after
  // lifetimeMs, it is killed.
  bool Start(const std::string& exe, const std::string& commandLine, const std::string& dir,
             DWORD lifetimeMs = 300000, const std::vector<std::string>& env = {});
  // True when it ended within timeoutMs; its exit code in *code.
  bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
  DWORD Id() const { return m_info.dwProcessId; }

 private:
  PROCESS_INFORMATION m_info = {};
  HANDLE m_job = nullptr;  // kills the program when the test program dies
  std::thread m_watchdog;
};

// A visible top-level window of the process with that class and caption
// (null: any), or null after timeoutMs.
HWND WaitForWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs);
// Visible top-level dialog-class windows (message boxes included) of the
// process other than except.
std::vector<HWND> OtherDialogs(DWORD pid, HWND except);
// Closes them (their cancel and OK); the ones closed.
std::vector<HWND> DismissOtherDialogs(DWORD pid, HWND except);

// A visible top-level window of the process owned by owner, or null.
HWND OwnedWindow(DWORD pid, HWND owner);
// The texts of a message box's static controls, joined.
std::string BoxText(HWND box);
// A message box (dialog-class window other than except) of the process, or
// null after timeoutMs.
HWND WaitForBox(DWORD pid, HWND except, DWORD timeoutMs);
// A window property's value (0 when not set); readable across processes.
INT_PTR WindowProp(HWND window, const char* name);

// Returns once the window's thread has handled every message this driver
// sent it before and waits for input (a modal box counts as waiting).
bool WaitIdle(HWND window, DWORD timeoutMs = kAnswerMs);
int GetCheck(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsVisible(HWND dialog, int id);
// What a mouse click on an enabled, visible button does: an auto radio
// button becomes the checked one of its group, an auto check box toggles,
// and the parent gets BN_CLICKED. Done without the mouse, so no focus or
// capture change by another program can swallow it; it does not wait, so a
// modal box the click opens cannot block the test.
bool Click(HWND dialog, int id);
// A left-button drag in client coordinates, from one point to another.
bool Drag(HWND window, POINT from, POINT to);
std::string WindowText(HWND window);

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel
  uint32_t Pixel(int x, int y) const;
  // The bounding box of the area of one colour connected to (x, y).
  RECT AreaAround(int x, int y) const;
};
// The screen's pixels in rect (screen coordinates).
bool CaptureScreen(const RECT& rect, Image* image);
// An uncompressed PNG (stored deflate blocks).
std::string EncodePng(const Image& image);

}  // namespace windriver
