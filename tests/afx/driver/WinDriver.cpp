#include "WinDriver.h"

#include "common/CRC32.h"

namespace windriver {

Process::~Process() {
  if (m_info.hProcess == nullptr) return;
  if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_info.hProcess, 99);
    WaitForSingleObject(m_info.hProcess, 5000);
  }
  CloseHandle(m_info.hProcess);
  CloseHandle(m_info.hThread);
}

bool Process::Start(const std::string& exe, const std::string& commandLine, const std::string& dir) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &startup, &m_info) != FALSE;
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
  const char* caption;
  HWND except;
  bool dialogsOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || hwnd == s->except || !IsWindowVisible(hwnd)) return TRUE;
  char text[256] = {};
  if (s->dialogsOnly) {
    GetClassNameA(hwnd, text, sizeof(text));
    if (strcmp(text, "#32770") != 0) return TRUE;
  } else if (s->caption != nullptr) {
    GetWindowTextA(hwnd, text, sizeof(text));
    if (strcmp(text, s->caption) != 0) return TRUE;
  }
  s->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Windows(DWORD pid, const char* caption, HWND except, bool dialogsOnly) {
  Search s = {pid, caption, except, dialogsOnly, {}};
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

HWND WaitForWindow(DWORD pid, const char* caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    std::vector<HWND> found = Windows(pid, caption, nullptr, false);
    if (!found.empty()) return found.front();
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

std::vector<HWND> OtherDialogs(DWORD pid, HWND except) { return Windows(pid, nullptr, except, true); }

int DismissOtherDialogs(DWORD pid, HWND except) {
  int closed = 0;
  for (HWND box : OtherDialogs(pid, except)) {
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ++closed;
  }
  return closed;
}

bool WaitIdle(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

int GetCheck(HWND dialog, int id) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<int>(result);
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool IsVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

bool Click(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
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
  for (size_t pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    z += static_cast<char>(pos + n >= raw.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(raw, pos, n);
    if (raw.empty()) break;
  }
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
