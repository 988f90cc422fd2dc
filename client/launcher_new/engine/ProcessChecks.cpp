#include "ProcessChecks.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <memory>
#include <string>

#include "EngineFiles.h"
#include "afx/AfxString.h"

namespace {

const DWORD kMaxProcesses = 1024;
const DWORD kMaxModules = 1024;

}  // namespace

int32_t CountProcessesByName(const char* name) {
  if (name == nullptr) return 0;
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int32_t count = 0;
  CString wanted(name);
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
    if (wanted.CompareNoCase(entry.szExeFile) == 0) ++count;
  return count;
}

bool IsModuleLoadedInAnyProcess(const char* name) {
  if (name == nullptr) return false;
  CString wanted(name);
  wanted.MakeLower();
  DWORD ids[kMaxProcesses];
  DWORD bytes = 0;
  if (!EnumProcesses(ids, sizeof(ids), &bytes)) return false;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
    if (!process.IsValid()) continue;
    HMODULE modules[kMaxModules];
    DWORD needed = 0;
    if (!EnumProcessModules(process.Get(), modules, sizeof(modules), &needed)) continue;
    DWORD count = needed / sizeof(HMODULE);
    if (count > kMaxModules) count = kMaxModules;
    for (DWORD m = 0; m < count; ++m) {
      char path[MAX_PATH] = {};
      DWORD n = GetModuleFileNameExA(process.Get(), modules[m], path, sizeof(path));
      if (n == 0 || n >= sizeof(path)) continue;
      CString lower(path);
      lower.MakeLower();
      if (lower.Find(wanted) >= 0) return true;
    }
  }
  return false;
}

bool HasEnoughDiskSpace(uint32_t low, uint32_t high) {
  char folder[255] = {};
  DWORD n = GetCurrentDirectoryA(sizeof(folder), folder);
  // A result of the buffer size or more is the size it would need: the
  // buffer holds nothing usable, so the query counts as failed.
  if (n == 0 || n >= sizeof(folder) || n < 2) return true;
  char drive[4] = {folder[0], folder[1], '\\', '\0'};
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(drive, &available, nullptr, nullptr)) return true;
  uint64_t wanted = (static_cast<uint64_t>(high) << 32) | low;
  return available.QuadPart >= wanted;
}
