#include "StrUtil.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace StrUtil {

std::string MakeEmpty() { return std::string(); }

std::string FromCStr(const char* text) { return std::string(text ? text : ""); }

std::string CopyConstruct(const std::string& other) { return std::string(other.c_str()); }

std::string CopyText(const std::string& other) { return std::string(other.c_str()); }

std::string CopyTextUnchecked(const std::string& other) { return std::string(other.c_str()); }

void AssignCStr(std::string& target, const char* text) { target.assign(text ? text : ""); }

void Assign(const std::string& source, std::string& target) {
  if (&source == &target) return;
  target.assign(source.c_str());
}

void AssignWide(std::string& target, const wchar_t* text) { target = text ? WideToAnsi(text) : std::string(); }

void Format(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(out, format, args);
  va_end(args);
}

void FormatV(std::string& out, const char* format, va_list args) {
  out.clear();
  if (format == nullptr) return;
  va_list counting;
  va_copy(counting, args);
  int n = vsnprintf(nullptr, 0, format, counting);
  va_end(counting);
  if (n <= 0) return;
  out.resize(static_cast<size_t>(n));
  vsnprintf(&out[0], static_cast<size_t>(n) + 1, format, args);
}

std::string& ToLower(std::string& s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

int CompareNoCase(const std::string& a, std::string b) {
  std::string la = a;
  ToLower(la);
  ToLower(b);
  int c = la.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

size_t Find(const std::string& s, const char* text) { return text ? s.find(text) : std::string::npos; }

int ReplaceAll(std::string& s, std::string pattern, std::string replacement) {
  if (pattern.empty()) return 0;
  int count = 0;
  // Go on after the inserted text, so a replacement holding the pattern ends.
  size_t pos = 0;
  while ((pos = s.find(pattern, pos)) != std::string::npos) {
    s.replace(pos, pattern.size(), replacement);
    pos += replacement.size();
    ++count;
  }
  return count;
}

bool HasBlankOrControl(const std::string& s) {
  for (unsigned char c : s)
    if (c <= 0x20 || c == 0x7F) return true;
  return false;
}

std::string Left(const std::string& s, size_t n) { return n < s.size() ? s.substr(0, n) : s; }

std::string LastChar(const std::string& s) { return s.size() <= 1 ? s : s.substr(s.size() - 1); }

std::wstring AnsiToWide(const char* text) {
  if (text == nullptr || *text == '\0') return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n) != n) return std::wstring();
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string WideToAnsi(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr) != n) return std::string();
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    unsigned u = static_cast<unsigned short>(*p);
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(const char* text) {
  std::wstring out;
  if (text == nullptr) return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    unsigned lead = *p;
    int extra;
    unsigned value;
    if (lead < 0x80) { extra = 0; value = lead & 0x7F; }
    else if (lead >= 0xC0 && lead <= 0xDF) { extra = 1; value = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; value = lead & 0x0F; }
    else if (lead >= 0xF0 && lead <= 0xF7) { extra = 3; value = lead & 0x07; }
    else if (lead >= 0xF8 && lead <= 0xFB) { extra = 4; value = lead & 0x03; }
    else if (lead >= 0xFC && lead <= 0xFD) { extra = 5; value = lead & 0x01; }
    else break;  // a stray continuation byte or 0xFE/0xFF ends the text
    ++p;
    for (int i = 0; i < extra; ++i, ++p) {
      if (*p == 0) return out;
      value = (value << 6) | (*p & 0x3F);
    }
    out += static_cast<wchar_t>(value & 0xFFFF);
  }
  return out;
}

std::string AnsiToUtf8(const std::string& text) { return WideToUtf8(AnsiToWide(text.c_str()).c_str()); }

void Utf8ToAnsi(std::string& out, const char* utf8) { AssignWide(out, Utf8ToWide(utf8).c_str()); }

}  // namespace StrUtil
