#include "PatchPath.h"

#include <cstring>
#include <string>

#include "PackFormat.h"
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

// Windows opens a device for these base names whatever the folder or
// extension ("data/nul.txt" writes nowhere, "COM1" opens a port).
bool NamesDevice(const std::string& part) {
  std::string base = part.substr(0, part.find('.'));
  base.erase(base.find_last_not_of(". ") + 1);
  for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
         base[3] <= '9';
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
  return EachComponent(name, [](const std::string& part) { return !ClimbsUp(part) && !NamesDevice(part); });
}

bool IsMicroDownloadPath(const char* name) {
  if (!IsSafeClientPath(name)) return false;
  const std::string key = FilePack::NormalizeKey(name), folder = std::string(kMicroDownloadFolder) + "/";
  return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
         key.find('/', folder.size()) == std::string::npos;
}

bool IsResourceRecordName(const std::string& name) {
  return name.size() >= 5 && FilePack::NormalizeKey(name.c_str() + name.size() - 5) == ".pkg3";
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
