#include "AfxString.h"

#include <windows.h>

#include <cstring>

#include "common/StrUtil.h"

namespace {
const UINT kCodePage = 936;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

bool CString::IsLead(size_t i) const {
  return i + 1 < m_s.size() && IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(m_s[i]));
}

size_t CString::CharEnd(size_t i) const { return IsLead(i) ? i + 2 : i + 1; }

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char* format, va_list args) { StrUtil::FormatV(m_s, format, args); }

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  return CString(m_s.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (first >= GetLength() || count <= 0) return CString();
  return CString(m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(m_s.substr(m_s.size() - static_cast<size_t>(count)));
}

int CString::Find(char c, int start) const {
  char text[2] = {c, 0};
  return Find(text, start);
}

int CString::Find(const char* text, int start) const {
  if (text == nullptr || start < 0 || start > GetLength()) return -1;
  size_t n = strlen(text);
  // Walk character by character so a match never starts on a trail byte.
  for (size_t i = 0; i < m_s.size(); i = CharEnd(i)) {
    if (i < static_cast<size_t>(start)) continue;
    if (n == 0) return static_cast<int>(i);
    if (m_s.compare(i, n, text) == 0) return static_cast<int>(i);
  }
  return -1;
}

int CString::ReverseFind(char c) const {
  int found = -1;
  for (size_t i = 0; i < m_s.size(); i = CharEnd(i))
    if (m_s[i] == c && !IsLead(i)) found = static_cast<int>(i);
  return found;
}

int CString::Replace(char from, char to) {
  int count = 0;
  for (size_t i = 0; i < m_s.size(); i = CharEnd(i)) {
    if (m_s[i] == from && !IsLead(i)) {
      m_s[i] = to;
      ++count;
    }
  }
  return count;
}

int CString::Replace(const char* from, const char* to) {
  if (from == nullptr || *from == '\0') return 0;
  std::string result;
  size_t n = strlen(from);
  int count = 0;
  size_t i = 0;
  while (i < m_s.size()) {
    if (m_s.compare(i, n, from) == 0) {
      result += to ? to : "";
      i += n;
      ++count;
    } else {
      size_t end = CharEnd(i);
      result.append(m_s, i, end - i);
      i = end;
    }
  }
  if (count) m_s.swap(result);
  return count;
}

int CString::Remove(char c) {
  std::string result;
  int count = 0;
  for (size_t i = 0; i < m_s.size();) {
    size_t end = CharEnd(i);
    if (end == i + 1 && m_s[i] == c) ++count;
    else result.append(m_s, i, end - i);
    i = end;
  }
  m_s.swap(result);
  return count;
}

int CString::Compare(const char* text) const { return strcmp(m_s.c_str(), text ? text : ""); }

int CString::CompareNoCase(const char* text) const {
  CString a(*this), b(text);
  return a.MakeLower().Compare(b.MakeLower());
}

CString& CString::MakeLower() {
  for (size_t i = 0; i < m_s.size(); i = CharEnd(i))
    if (!IsLead(i) && m_s[i] >= 'A' && m_s[i] <= 'Z') m_s[i] = static_cast<char>(m_s[i] + 32);
  return *this;
}

CString& CString::MakeUpper() {
  for (size_t i = 0; i < m_s.size(); i = CharEnd(i))
    if (!IsLead(i) && m_s[i] >= 'a' && m_s[i] <= 'z') m_s[i] = static_cast<char>(m_s[i] - 32);
  return *this;
}

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < m_s.size() && IsBlank(m_s[i])) ++i;
  m_s.erase(0, i);
  return *this;
}

CString& CString::TrimRight() {
  size_t n = m_s.size();
  while (n > 0 && IsBlank(m_s[n - 1])) --n;
  m_s.resize(n);
  return *this;
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_s.resize(static_cast<size_t>(minLength));
  return &m_s[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(strnlen(m_s.c_str(), m_s.size()));
  if (newLength > GetLength()) newLength = GetLength();
  m_s.resize(static_cast<size_t>(newLength));
}

bool CString::LoadString(unsigned id) {
  // Read from the string table directly (kernel32 only): 16 counted UTF-16
  // strings a block, block id / 16 + 1.
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA((id >> 4) + 1), MAKEINTRESOURCEA(6));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (p == nullptr) return false;
  const WCHAR* end = p + SizeofResource(module, found) / sizeof(WCHAR);
  for (unsigned i = 0; i < (id & 15) && p < end; ++i) p += 1 + *p;
  if (p >= end || *p == 0 || *p > end - p - 1) return false;
  int length = *p++;
  int n = WideCharToMultiByte(CP_ACP, 0, p, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, p, length, &text[0], n, nullptr, nullptr);
  m_s = text;
  return true;
}
