// Drives a windowed program from a test: starts it, finds its windows,
// reads and clicks controls by id, dismisses message boxes and takes
// screenshots. Every wait is bounded; a program still running when its
// Process object goes is killed.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace windriver {

class Process {
 public:
  Process() {}
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts exe with exactly commandLine as its command line (as a launcher
  // does: no program name first), in folder dir.
  bool Start(const std::string& exe, const std::string& commandLine, const std::string& dir);
  // True when it ended within timeoutMs; its exit code in *code.
  bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
  DWORD Id() const { return m_info.dwProcessId; }

 private:
  PROCESS_INFORMATION m_info = {};
};

// A visible top-level window of the process with that caption (null: any),
// or null after timeoutMs.
HWND WaitForWindow(DWORD pid, const char* caption, DWORD timeoutMs);
// Visible top-level dialog-class windows of the process other than except.
std::vector<HWND> OtherDialogs(DWORD pid, HWND except);
// Closes them (their cancel); the number closed.
int DismissOtherDialogs(DWORD pid, HWND except);

// Waits until the window is idle, then reads or clicks control id.
bool WaitIdle(HWND window, DWORD timeoutMs = 5000);
int GetCheck(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsVisible(HWND dialog, int id);
// A real click on the button (BM_CLICK), posted so a modal box it opens
// cannot block the test.
bool Click(HWND dialog, int id);
std::string WindowText(HWND window);

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel
  uint32_t Pixel(int x, int y) const;
};
// The screen's pixels in rect (screen coordinates).
bool CaptureScreen(const RECT& rect, Image* image);
// An uncompressed PNG (stored deflate blocks).
std::string EncodePng(const Image& image);

}  // namespace windriver
