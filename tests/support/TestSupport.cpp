#include "TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "common/EngineFun/ReportSink.h"

namespace testsupport {
namespace {

struct Captured {
  std::mutex lock;
  std::vector<std::string> lines;
  std::vector<ShownBox> boxes;
  int answer = IDOK;
};

Captured& State() {
  static Captured state;
  return state;
}

void OnReport(const char* text) {
  std::lock_guard<std::mutex> hold(State().lock);
  State().lines.emplace_back(text ? text : "");
}

int OnBox(HWND__*, const char* text, const char* caption, unsigned type) {
  std::lock_guard<std::mutex> hold(State().lock);
  State().boxes.push_back({text ? text : "", caption ? caption : "", type});
  return State().answer;
}

}  // namespace

void InstallHooks() {
  EngineFunc::SetReportHook(&OnReport);
  EngineFunc::SetMessageBoxHook(&OnBox);
}

ReportCapture::ReportCapture() {
  std::lock_guard<std::mutex> hold(State().lock);
  m_start = State().lines.size();
}

std::vector<std::string> ReportCapture::Lines() const {
  std::lock_guard<std::mutex> hold(State().lock);
  if (m_start >= State().lines.size()) return {};
  return std::vector<std::string>(State().lines.begin() + static_cast<long>(m_start), State().lines.end());
}

bool ReportCapture::Contains(const std::string& part) const {
  for (const std::string& line : Lines())
    if (line.find(part) != std::string::npos) return true;
  return false;
}

void ReportCapture::Clear() {
  std::lock_guard<std::mutex> hold(State().lock);
  m_start = State().lines.size();
}

std::vector<ShownBox> ShownBoxes() {
  std::lock_guard<std::mutex> hold(State().lock);
  return State().boxes;
}

void ClearShownBoxes() {
  std::lock_guard<std::mutex> hold(State().lock);
  State().boxes.clear();
}

void SetBoxAnswer(int answer) {
  std::lock_guard<std::mutex> hold(State().lock);
  State().answer = answer;
}

testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& done,
                                 unsigned long timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return testing::AssertionSuccess();
    const DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs)
      return testing::AssertionFailure() << "waited " << waited / 1000.0 << " s for " << what;
    MSG msg;
    bool quit = false;
    while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      quit = msg.message == WM_QUIT;
      if (quit) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // left for the loop it was meant for
      } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    const DWORD pause = std::min<DWORD>(20, timeoutMs - waited);
    if (quit)
      Sleep(pause);
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, pause, QS_ALLINPUT);
  }
}

std::string FixtureDir() {
  const char* dir = getenv("ZARN_FIXTURES");
  std::string unixPath = dir ? dir : "";
  // Unix paths reach the Windows side through drive Z:.
  if (!unixPath.empty() && unixPath[0] == '/') return "Z:" + unixPath;
  return unixPath;
}

std::string FixturePath(const std::string& name) { return FixtureDir() + "/" + name; }

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) out.append(buffer, n);
  fclose(f);
  return out;
}

bool WriteFileBytes(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "/*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(child.c_str())) RemoveDirectoryA(child.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

void CopyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CopyTree(from + "\\" + name, to + "\\" + name);
    else
      CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace testsupport
