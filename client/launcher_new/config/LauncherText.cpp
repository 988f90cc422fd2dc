#include "LauncherText.h"

#include <cstdarg>
#include <cstring>

#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"
#include "common/StrUtil.h"

void LauncherTextTable::Clear() {
  m_texts.clear();
  CSALocker hold(&m_reportLock);
  m_reported.clear();
}

void LauncherTextTable::Set(int32_t id, const std::string& text) { m_texts[id] = text; }

bool LauncherTextTable::Has(int32_t id) const { return m_texts.count(id) != 0; }

std::string LauncherTextTable::Get(int32_t id) const {
  auto found = m_texts.find(id);
  if (found != m_texts.end()) return found->second;
  CSALocker hold(&m_reportLock);
  if (m_reported.insert(id).second)
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "界面配置缺少文字:%d", static_cast<int>(id));
  return std::string();
}

LauncherTextTable& GetLauncherTextTable() { return util::Singleton<LauncherTextTable>::GetInstance(); }

std::string LauncherText(int32_t id) { return GetLauncherTextTable().Get(id); }

namespace {

// The kind letter of one conversion, or 0 for one we never pass.
char KindOf(char conversion) {
  if (conversion == '\0') return 0;
  if (strchr("diuxXoc", conversion) != nullptr) return 'd';
  if (conversion == 's') return 's';
  if (strchr("feEgG", conversion) != nullptr) return 'f';
  return 0;
}

// Widths and precisions of a few digits: a huge one makes the C library's
// formatter pad on its stack until the process ends.
const int kMaxFieldDigits = 3;

bool SkipShortNumber(const char** p) {
  int digits = 0;
  for (; **p >= '0' && **p <= '9'; ++*p)
    if (++digits > kMaxFieldDigits) return false;
  return true;
}

std::string FormatV(const std::string& format, const char* kinds, va_list args) {
  std::string out;
  if (FormatMatchesKinds(format.c_str(), kinds)) {
    StrUtil::FormatV(out, format.c_str(), args);
    return out;
  }
  out = format;
  for (const char* k = kinds; *k != '\0'; ++k) {
    out += ' ';
    if (*k == 'd') {
      out += std::to_string(va_arg(args, int));
    } else if (*k == 's') {
      const char* text = va_arg(args, const char*);
      out += text != nullptr ? text : "";
    } else if (*k == 'f') {
      out += std::to_string(va_arg(args, double));
    }
  }
  return out;
}

}  // namespace

bool FormatMatchesKinds(const char* format, const char* kinds) {
  if (format == nullptr || kinds == nullptr) return false;
  const char* k = kinds;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p != '\0' && strchr("-+ #0", *p) != nullptr) ++p;
    if (!SkipShortNumber(&p)) return false;
    if (*p == '.') {
      ++p;
      if (!SkipShortNumber(&p)) return false;
    }
    // '*', length modifiers, %n and anything else take arguments we do not pass.
    char kind = KindOf(*p);
    if (kind == 0 || *k != kind) return false;
    ++k;
  }
  return *k == '\0';
}

std::string FormatCheckedText(const std::string& format, const char* kinds, ...) {
  va_list args;
  va_start(args, kinds);
  std::string out = FormatV(format, kinds, args);
  va_end(args);
  return out;
}

std::string FormatLauncherText(int32_t id, const char* kinds, ...) {
  va_list args;
  va_start(args, kinds);
  std::string out = FormatV(LauncherText(id), kinds, args);
  va_end(args);
  return out;
}
