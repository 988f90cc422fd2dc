#include "EngineFiles.h"

#include <windows.h>
#include <process.h>

#include <algorithm>

#include "common/EngineFun/Helper.h"

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteFileWritable(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string* bytes) {
  bytes->clear();
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxBytes)
    return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 24)), got = 0;
    if (!ReadFile(file.Get(), &(*bytes)[done], want, &got, nullptr) || got == 0) {
      bytes->clear();
      return false;
    }
    done += got;
  }
  return true;
}

bool CurrentFolder(std::string* folder) {
  char buffer[MAX_PATH] = {};
  DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
  if (n == 0 || n >= sizeof(buffer)) return false;  // n is then the size it would need
  *folder = buffer;
  return true;
}

bool StartWorker(WorkerProc proc, void* arg, std::vector<ScopedHandle>* threads) {
  uintptr_t h = _beginthreadex(nullptr, 0, proc, arg, 0, nullptr);
  if (h == 0) {
    ENGINE_REPORT("false&&\"启动线程失败\"");
    return false;
  }
  threads->emplace_back(reinterpret_cast<HANDLE>(h));
  return true;
}

void WaitForWorkers(const std::vector<ScopedHandle>& threads) {
  std::vector<HANDLE> handles;
  for (const ScopedHandle& h : threads) handles.push_back(h.Get());
  for (size_t first = 0; first < handles.size(); first += MAXIMUM_WAIT_OBJECTS) {
    DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, handles.size() - first));
    WaitForMultipleObjects(count, &handles[first], TRUE, INFINITE);
  }
}
