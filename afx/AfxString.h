// CString: a narrow string in the ANSI code page (936), DBCS-aware where the
// framework's multibyte build is (Find, Replace, MakeLower never split or
// match inside a double-byte character).
#pragma once
#include <windows.h>

#include <cstdarg>
#include <string>


class CString {
 public:
  CString() {}
  CString(const char* text) : m_s(text ? text : "") {}
  CString(const char* text, int length) : m_s(text ? std::string(text, length > 0 ? length : 0) : std::string()) {}
  CString(char c, int repeat = 1) : m_s(repeat > 0 ? repeat : 0, c) {}
  CString(const std::string& s) : m_s(s.c_str()) {}

  operator const char*() const { return m_s.c_str(); }
  const char* GetString() const { return m_s.c_str(); }
  const std::string& Str() const { return m_s; }

  int GetLength() const { return static_cast<int>(m_s.size()); }
  bool IsEmpty() const { return m_s.empty(); }
  void Empty() { m_s.clear(); }
  char GetAt(int i) const { return m_s[static_cast<size_t>(i)]; }
  void SetAt(int i, char c) { m_s[static_cast<size_t>(i)] = c; }

  CString& operator=(const char* text) { m_s.assign(text ? text : ""); return *this; }
  CString& operator+=(const CString& o) { m_s += o.m_s; return *this; }
  CString& operator+=(const char* text) { if (text) m_s += text; return *this; }
  CString& operator+=(char c) { m_s += c; return *this; }

  friend CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
  friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
  friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }
  friend CString operator+(const CString& a, char b) { CString r(a); r += b; return r; }
  friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
  friend bool operator==(const char* a, const CString& b) { return b == a; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

  void Format(const char* format, ...);
  void FormatV(const char* format, va_list args);

  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;

  // Byte index of the first match at a character boundary, or -1.
  int Find(char c, int start = 0) const;
  int Find(const char* text, int start = 0) const;
  int ReverseFind(char c) const;
  int Replace(char from, char to);
  int Replace(const char* from, const char* to);
  int Remove(char c);
  int Compare(const char* text) const;
  int CompareNoCase(const char* text) const;

  CString& MakeLower();
  CString& MakeUpper();
  CString& TrimLeft();
  CString& TrimRight();
  CString& Trim() { TrimRight(); return TrimLeft(); }

  // Writable buffer of at least minLength characters; ReleaseBuffer(-1)
  // takes the length from the terminator.
  char* GetBuffer(int minLength = 0);
  void ReleaseBuffer(int newLength = -1);

  // Loads a string resource of the running program; false when absent.
  bool LoadString(unsigned id);  // the platform header may rename this LoadStringA

 private:
  bool IsLead(size_t i) const;
  size_t CharEnd(size_t i) const;
  std::string m_s;
};
