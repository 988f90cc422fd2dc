#include "WebLogin.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "common/StrUtil.h"

namespace {

void InsertPair(const std::string& item, const char* keySeparators, std::map<std::string, std::string>* out) {
  const size_t cut = item.find_first_of(keySeparators);
  if (cut == std::string::npos)
    out->emplace(item, item);
  else
    out->emplace(item.substr(0, cut), item.substr(cut + 1));
}

// Blanks and quotes would split or break the game's command line, and an
// empty value would shift the arguments after it.
bool IsSafeLoginValue(const std::string& value) {
  return !value.empty() && !StrUtil::HasBlankOrControl(value) && value.find_first_of("\"'") == std::string::npos;
}

// The area as decimal digits that fit an int32; anything else would pass
// as area 0 or overflow atoi.
bool ParseArea(const std::string& value, int32_t* area) {
  if (value.empty() || value.size() > 9) return false;
  for (char c : value)
    if (c < '0' || c > '9') return false;
  *area = std::atoi(value.c_str());
  return true;
}

}  // namespace

void SplitQueryString(const std::string& text, const char* pairSeparators, const char* keySeparators,
                      std::map<std::string, std::string>* out) {
  size_t start = 0;
  for (;;) {
    const size_t f = text.find_first_of(pairSeparators, start);
    if (f == std::string::npos) break;
    if (f > start) InsertPair(text.substr(start, f - start), keySeparators, out);
    start = f + 1;
  }
  if (start < text.size()) InsertPair(text.substr(start), keySeparators, out);
}

bool ParseWebLoginUrl(const char* url, int32_t* area, std::string* args) {
  if (url == nullptr || area == nullptr || args == nullptr) return false;
  const char* query = std::strchr(url, '?');
  query = query != nullptr ? query + 1 : url;
  std::map<std::string, std::string> fields;
  SplitQueryString(query, "&", "=", &fields);
  if (fields.empty()) return false;
  auto form = fields.find("form");
  if (form == fields.end() || form->second != "launcher") return false;
  auto bigArea = fields.find("f_bigarea");
  int32_t parsedArea = 0;
  if (bigArea == fields.end() || !ParseArea(bigArea->second, &parsedArea)) return false;
  std::string joined = " 0";
  for (const char* key : {"f_user", "f_key", "f_time", "f_server"}) {
    auto field = fields.find(key);
    if (field == fields.end() || !IsSafeLoginValue(field->second)) return false;
    joined += " " + field->second;
  }
  *area = parsedArea;
  *args = joined;
  return true;
}

WebLoginResult WebLoginHandOff::OnTranslateUrl(const wchar_t* url) {
  if (url == nullptr) return WebLoginResult::NoAddress;
  // Converted at the length the address needs: login addresses run long.
  const std::string address = StrUtil::WideToAnsi(url);
  ::DeleteUrlCacheEntryA(address.c_str());
  if (m_done) return WebLoginResult::AlreadyDone;
  int32_t area = 0;
  std::string args;
  if (!ParseWebLoginUrl(address.c_str(), &area, &args)) return WebLoginResult::NotLogin;
  if (m_target->HandOffBlocked()) return WebLoginResult::Blocked;
  m_done = true;
  m_target->StartGameWithLogin(area, args);
  return WebLoginResult::HandedOff;
}
