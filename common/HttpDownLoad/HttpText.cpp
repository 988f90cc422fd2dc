#include "HttpText.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/EngineFun/Helper.h"

namespace HttpText {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Leading decimal digits of a short field, as the date rules read them.
int LeadingNumber(const std::string& s, int& value) {
  size_t i = 0;
  value = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 9) value = value * 10 + (s[i++] - '0');
  return static_cast<int>(i);
}

// "http://host[:port]" of an address (empty when it has no "://").
CString AddressRoot(const CString& address) {
  int scheme = address.Find("://");
  if (scheme < 0) return CString();
  int slash = address.Find('/', scheme + 3);
  return slash < 0 ? address : address.Left(slash);
}

CString ResolveRelative(const CString& address, CString value) {
  int ups = 0;
  for (int at; (at = value.Find("../")) >= 0; ++ups) value = value.Mid(at + 3);
  CString base(address);
  int rootLen = AddressRoot(base).GetLength();
  // The file name, then one directory per "../"; the host is never cut.
  for (int i = 0; i <= ups && base.GetLength() > rootLen; ++i) {
    int slash = base.ReverseFind('/');
    if (slash < rootLen) break;
    base = base.Left(slash);
  }
  return base + "/" + value;
}

}  // namespace

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Lower(const std::string& s) {
  CString c(s);
  c.MakeLower();  // DBCS-aware: trail bytes of Chinese names stay as they are
  return c.Str();
}

int FindControlByte(const char* text) {
  for (int i = 0; text != nullptr && text[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) return i;
  }
  return -1;
}

bool AddressBytesOk(const char* address) {
  int at = FindControlByte(address);
  if (at < 0) return true;
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "下载地址含控制字符:第%d字节0x%02X", at,
                                     static_cast<unsigned char>(address[at]));
  return false;
}

bool SplitAddress(const CString& address, CString& host, CString& path, uint16_t& port) {
  // Redirect targets pass here too.
  if (FindControlByte(address) >= 0) return false;
  CString a(address);
  a.Trim();
  a.Replace(" ", "%20");
  int scheme = a.Find("://");
  if (scheme < 0) return false;
  CString prefix = a.Left(scheme + 3);
  prefix.MakeLower();
  if (prefix != "http://") return false;
  CString rest = a.Mid(scheme + 3);
  int slash = rest.Find('/');
  if (slash < 0) return false;
  CString hostPart = rest.Left(slash);
  int colon = hostPart.Find(':');
  uint16_t p = 80;
  if (colon >= 0) {
    std::string digits = hostPart.Mid(colon + 1).Str();
    if (!AllDigits(digits) || digits.size() > 5) return false;
    long v = std::strtol(digits.c_str(), nullptr, 10);
    if (v < 1 || v > 65535) return false;
    p = static_cast<uint16_t>(v);
    hostPart = hostPart.Left(colon);
  }
  if (hostPart.IsEmpty()) return false;
  host = hostPart;
  path = rest.Mid(slash);
  port = p;
  return true;
}

CString RedirectTarget(const CString& address, CString value) {
  if (value.Find("http://") >= 0) return value;
  value.Replace("\\", "/");
  if (value.GetLength() > 0 && value.GetAt(0) == '/') return AddressRoot(address) + value;
  return ResolveRelative(address, value);
}

std::string RangeLine(uint32_t start, uint32_t end) {
  char line[64];
  if (end != 0)
    EngineFunc::EngineFunc_Sprintf(line, sizeof(line), "Range: bytes=%d-%d\r\n", static_cast<int>(start),
                                   static_cast<int>(end));
  else
    EngineFunc::EngineFunc_Sprintf(line, sizeof(line), "Range: bytes=%d-\r\n", static_cast<int>(start));
  return line;
}

bool ParseStatus(const std::string& header, int& status) {
  size_t eol = header.find("\r\n");
  if (eol == std::string::npos) return false;
  std::string line = Trim(header.substr(0, eol));
  size_t first = line.find(' ');
  if (first == std::string::npos) return false;
  size_t second = line.find(' ', first + 1);
  if (second == std::string::npos) return false;
  std::string code = line.substr(first + 1, second - first - 1);
  if (!AllDigits(code) || code.size() != 3) return false;
  status = std::atoi(code.c_str());
  return true;
}

bool FindField(const std::string& lowerHeader, const char* name, std::string& value) {
  std::string key = std::string("\r\n") + name;
  size_t at = lowerHeader.find(key);
  if (at == std::string::npos) return false;
  at += key.size();
  size_t eol = lowerHeader.find("\r\n", at);
  if (eol == std::string::npos) return false;
  value = Trim(lowerHeader.substr(at, eol - at));
  return true;
}

bool ParseLength(const std::string& value, uint32_t& length) {
  if (!AllDigits(value) || value.size() > 10) return false;
  unsigned long long v = std::strtoull(value.c_str(), nullptr, 10);
  if (v > 0x7FFFFFFFull) return false;
  length = static_cast<uint32_t>(v);
  return true;
}

bool ParseRangeStart(const std::string& value, uint32_t& start) {
  if (value.compare(0, 6, "bytes ") != 0) return false;
  std::string rest = Trim(value.substr(6));
  size_t dash = rest.find('-');
  return dash != std::string::npos && ParseLength(rest.substr(0, dash), start);
}

bool ParseHttpDate(const std::string& value, int64_t& seconds) {
  static const char* const kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
  size_t comma = value.find(',');
  if (comma == std::string::npos) return false;
  std::string s = value.substr(comma + 1);
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return false;
  s = s.substr(b);
  if (s.size() < 6) return false;
  int day = 0, month = 1, year = 2000, hour = 0, minute = 0, second = 0;
  if (LeadingNumber(s.substr(0, 2), day) == 0) return false;
  std::string mon = s.substr(3, 3);
  for (int i = 0; i < 12; ++i)
    if (mon == kMonths[i]) month = i + 1;
  s = s.substr(6);
  b = s.find_first_not_of(" \t");
  s = (b == std::string::npos) ? std::string() : s.substr(b);
  size_t sep = s.find_first_of(" \t");
  if (sep != std::string::npos) {
    LeadingNumber(s.substr(0, sep), year);
    std::string t = s.substr(sep + 1);
    if (t.size() < 8 || LeadingNumber(t.substr(0, 2), hour) != 2 || LeadingNumber(t.substr(3, 2), minute) != 2 ||
        LeadingNumber(t.substr(6, 2), second) != 2)
      return false;
  }
  if (year < 1970 || year > 3000 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
  std::tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  time_t t = std::mktime(&tm);
  if (t == static_cast<time_t>(-1)) return false;
  seconds = static_cast<int64_t>(t);
  return true;
}

}  // namespace HttpText
