#include "PatchPath.h"

#include <cstring>
#include <string>

#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Windows drops trailing dots and spaces, so ". ." and "... " climb too.
bool ClimbsUp(const std::string& part) {
  if (part.find_first_not_of(". ") != std::string::npos) return false;
  size_t dots = 0;
  for (char c : part) dots += c == '.';
  return dots >= 2;
}

// Calls visit for every component; stops at the first false.
template <typename Visit>
bool EachComponent(const char* name, Visit visit) {
  std::string part;
  for (const char* p = name;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (!visit(part)) return false;
      part.clear();
      if (*p == '\0') return true;
    } else {
      part += *p;
    }
  }
}

void ReportRejected(const char* name) {
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "路径不在客户端目录内:%s", name ? name : "(null)");
}

}  // namespace

bool IsSafeClientPath(const char* name) {
  if (name == nullptr || *name == '\0' || IsSeparator(*name)) return false;
  if (strchr(name, ':') != nullptr) return false;
  return EachComponent(name, [](const std::string& part) { return !ClimbsUp(part); });
}

bool IsSafeClientFolder(const char* name) {
  if (!IsSafeClientPath(name)) return false;
  bool namesSomething = false;
  EachComponent(name, [&namesSomething](const std::string& part) {
    if (part.find_first_not_of(". ") != std::string::npos) namesSomething = true;
    return true;
  });
  return namesSomething;
}

bool CheckClientPath(const char* name) {
  if (IsSafeClientPath(name)) return true;
  ReportRejected(name);
  return false;
}

bool CheckClientFolder(const char* name) {
  if (IsSafeClientFolder(name)) return true;
  ReportRejected(name);
  return false;
}

}  // namespace PackClient
