#include "WinDriver.h"

#include <algorithm>
#include <cstring>

#include "common/CRC32.h"

namespace windriver {

Process::~Process() {
  if (m_info.hProcess != nullptr) {
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(m_info.hProcess, 99);
      WaitForSingleObject(m_info.hProcess, 5000);
    }
    if (m_watchdog.joinable()) m_watchdog.join();
    CloseHandle(m_info.hProcess);
    CloseHandle(m_info.hThread);
  }
  if (m_job != nullptr) CloseHandle(m_job);
}

namespace {

// This program's environment with the overrides in place, as a block.
std::vector<char> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  for (const char* p = block; p != nullptr && *p; p += strlen(p) + 1) entries.push_back(p);
  if (block != nullptr) FreeEnvironmentStringsA(block);
  for (const std::string& o : overrides) {
    std::string name = o.substr(0, o.find('=') + 1);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::string& e) { return _strnicmp(e.c_str(), name.c_str(), name.size()) == 0; }),
                  entries.end());
    entries.push_back(o);
  }
  std::vector<char> out;
  for (const std::string& e : entries) out.insert(out.end(), e.c_str(), e.c_str() + e.size() + 1);
  out.push_back('\0');
  return out;
}

}  // namespace

bool Process::Start(const std::string& exe, const std::string& commandLine, const std::string& dir,
                    DWORD lifetimeMs, const std::vector<std::string>& env) {
  if (m_info.hProcess != nullptr) return false;
  // Without a job the program still dies with this object or by the watchdog.
  m_job = CreateJobObjectA(nullptr, nullptr);
  if (m_job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  std::vector<char> block = EnvironmentWith(env);
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      env.empty() ? nullptr : block.data(), dir.empty() ? nullptr : dir.c_str(), &startup, &m_info))
    return false;
  if (m_job != nullptr) AssignProcessToJobObject(m_job, m_info.hProcess);
  ResumeThread(m_info.hThread);
  HANDLE process = m_info.hProcess;
  m_watchdog = std::thread([process, lifetimeMs] {
    if (WaitForSingleObject(process, lifetimeMs) == WAIT_TIMEOUT) TerminateProcess(process, 98);
  });
  return true;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* code) {
  if (m_info.hProcess == nullptr) return false;
  if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (code != nullptr) GetExitCodeProcess(m_info.hProcess, code);
  return true;
}

namespace {

struct Search {
  DWORD pid;
  const char* className;
  const char* caption;
  HWND except;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || hwnd == s->except || !IsWindowVisible(hwnd)) return TRUE;
  char text[256] = {};
  if (s->className != nullptr && (!GetClassNameA(hwnd, text, sizeof(text)) || strcmp(text, s->className) != 0))
    return TRUE;
  if (s->caption != nullptr && WindowText(hwnd) != s->caption) return TRUE;
  s->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Windows(DWORD pid, const char* className, const char* caption, HWND except) {
  Search s = {pid, className, caption, except, {}};
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

const char* const kDialogClass = "#32770";

// Queued like a sent message, ahead of posted ones and in order with
// WaitIdle's, but without waiting for the handler.
bool SendQueued(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendNotifyMessageA(window, message, wParam, lParam) != FALSE;
}

// Not SMTO_ABORTIFHUNG: a program busy for a few seconds on a loaded
// machine counts as hung, and the answer would be lost.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result)) return failed;
  return static_cast<LRESULT>(result);
}

}  // namespace

HWND WaitForWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    std::vector<HWND> found = Windows(pid, className, caption, nullptr);
    if (!found.empty()) return found.front();
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

std::vector<HWND> OtherDialogs(DWORD pid, HWND except) { return Windows(pid, kDialogClass, nullptr, except); }

std::vector<HWND> DismissOtherDialogs(DWORD pid, HWND except) {
  std::vector<HWND> boxes = OtherDialogs(pid, except);
  for (HWND box : boxes) {
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return boxes;
}

namespace {

struct OwnerSearch {
  DWORD pid;
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindOwned(HWND hwnd, LPARAM param) {
  OwnerSearch* s = reinterpret_cast<OwnerSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER) != s->owner) return TRUE;
  s->found = hwnd;
  return FALSE;
}

}  // namespace

HWND OwnedWindow(DWORD pid, HWND owner) {
  OwnerSearch s = {pid, owner, nullptr};
  EnumWindows(&FindOwned, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::string BoxText(HWND box) {
  std::string shown;
  for (HWND text = FindWindowExA(box, nullptr, "Static", nullptr); text != nullptr;
       text = FindWindowExA(box, text, "Static", nullptr))
    shown += WindowText(text);
  return shown;
}

HWND WaitForBox(DWORD pid, HWND except, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    std::vector<HWND> boxes = OtherDialogs(pid, except);
    for (HWND box : boxes)
      if (FindWindowExA(box, nullptr, "Static", nullptr) != nullptr) return box;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

INT_PTR WindowProp(HWND window, const char* name) { return reinterpret_cast<INT_PTR>(GetPropA(window, name)); }

bool WaitIdle(HWND window, DWORD timeoutMs) {
  // A thread that has not looked at its queue for five seconds (a program
  // still starting on a busy machine) counts as hung, and the send gives up
  // at once: ask again until the time is up.
  for (DWORD start = GetTickCount(), elapsed = 0; elapsed < timeoutMs; elapsed = GetTickCount() - start) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs - elapsed, &result)) return true;
    if (!IsWindow(window)) return false;
    Sleep(50);
  }
  return false;
}

int GetCheck(HWND dialog, int id) {
  return static_cast<int>(SendBounded(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, -1));
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool IsVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

bool Click(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr || !IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
  LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_AUTORADIOBUTTON) {
    // The button's own rule: the other auto radios of its group (the ones
    // the dialog manager walks, so hidden or disabled ones keep their state).
    HWND item = button;
    do {
      if ((GetWindowLongA(item, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
        SendBounded(item, BM_SETCHECK, item == button ? BST_CHECKED : BST_UNCHECKED, 0, 0);
      item = GetNextDlgGroupItem(dialog, item, FALSE);
    } while (item != nullptr && item != button);
  } else if (type == BS_AUTOCHECKBOX) {
    WPARAM next = SendBounded(button, BM_GETCHECK, 0, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    SendBounded(button, BM_SETCHECK, next, 0, 0);
  }
  return SendQueued(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool Drag(HWND window, POINT from, POINT to) {
  return SendQueued(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y)) &&
         SendQueued(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y)) &&
         SendQueued(window, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

uint32_t Image::Pixel(int x, int y) const {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
}

RECT Image::AreaAround(int x, int y) const {
  RECT box = {x, y, x, y};
  if (x < 0 || y < 0 || x >= width || y >= height) return box;
  uint32_t colour = Pixel(x, y);
  std::vector<bool> seen(static_cast<size_t>(width) * height);
  std::vector<POINT> todo = {{x, y}};
  seen[static_cast<size_t>(y) * width + x] = true;
  while (!todo.empty()) {
    POINT p = todo.back();
    todo.pop_back();
    box.left = std::min<LONG>(box.left, p.x), box.right = std::max<LONG>(box.right, p.x + 1);
    box.top = std::min<LONG>(box.top, p.y), box.bottom = std::max<LONG>(box.bottom, p.y + 1);
    const POINT next[] = {{p.x - 1, p.y}, {p.x + 1, p.y}, {p.x, p.y - 1}, {p.x, p.y + 1}};
    for (POINT n : next) {
      if (n.x < 0 || n.y < 0 || n.x >= width || n.y >= height) continue;
      size_t i = static_cast<size_t>(n.y) * width + n.x;
      if (seen[i] || Pixel(n.x, n.y) != colour) continue;
      seen[i] = true;
      todo.push_back(n);
    }
  }
  return box;
}

bool CaptureScreen(const RECT& rect, Image* image) {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    image->width = w;
    image->height = h;
    image->rgb.resize(static_cast<size_t>(w) * h * 3);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      image->rgb[i * 3] = src[i * 4 + 2];
      image->rgb[i * 3 + 1] = src[i * 4 + 1];
      image->rgb[i * 3 + 2] = src[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

namespace {

void Put32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  Put32(out, Crypto::CCRC32::Update(0, reinterpret_cast<const uint8_t*>(body.data()),
                                    static_cast<uint32_t>(body.size())));
}

}  // namespace

std::string EncodePng(const Image& image) {
  std::string raw;
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';  // filter: none
    raw.append(reinterpret_cast<const char*>(&image.rgb[static_cast<size_t>(y) * image.width * 3]),
               static_cast<size_t>(image.width) * 3);
  }
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  // Stored blocks of at most 65535 bytes, the last one marked final.
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    z += static_cast<char>(pos + n == raw.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  Put32(z, (b << 16) | a);

  std::string header;
  Put32(header, static_cast<uint32_t>(image.width));
  Put32(header, static_cast<uint32_t>(image.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  return png;
}

}  // namespace windriver
