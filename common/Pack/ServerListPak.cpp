#include "ServerListPak.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "PackFileIo.h"
#include "PackFormat.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {

namespace {

bool ReadRange(HANDLE h, uint64_t offset, void* dest, uint32_t count) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && (count == 0 || (ReadFile(h, dest, count, &got, nullptr) &&
                                                                          got == count));
}

}  // namespace

bool SplitServerListPak(const char* path) {
  if (path == nullptr) return false;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(h, &size)) {
    CloseHandle(h);
    return false;
  }
  if (size.QuadPart == 0) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "serverlist.pak文件长度为0");
    CloseHandle(h);
    EngineFunc::EngineFunc_DeleteFile(path);
    return false;
  }
  uint32_t dataLength = 0;
  const uint64_t total = static_cast<uint64_t>(size.QuadPart);
  bool ok = total >= 4 && total <= FilePack::kMaxIndexImage && ReadRange(h, total - 4, &dataLength, 4) &&
            dataLength != 0 && dataLength <= total - 4;
  const uint32_t indexLength = ok ? static_cast<uint32_t>(total - 4 - dataLength) : 0;
  std::unique_ptr<char[]> data, index;
  if (ok) {
    data.reset(new (std::nothrow) char[dataLength + 1]());
    index.reset(new (std::nothrow) char[indexLength + 1]());
    ok = data && index && ReadRange(h, 0, data.get(), dataLength) && ReadRange(h, dataLength, index.get(), indexLength);
  }
  CloseHandle(h);
  if (!ok) return false;

  // Only an extension of the last path component is removed.
  char base[MAX_PATH];
  if (EngineFunc::EngineFunc_Sprintf(base, sizeof(base), "%s", path) != 1) return false;
  if (strpbrk(PathFindExtensionA(base), "/\\") == nullptr) PathRemoveExtensionA(base);
  std::string dataPath = std::string(base) + ".pkg";
  // The index name is built from the base, so a ".pkg" in a folder name stays.
  std::string indexPath = std::string(base) + ".pkg1";
  return FilePack::WriteFileChecked(dataPath.c_str(), data.get(), dataLength) &&
         FilePack::WriteFileChecked(indexPath.c_str(), index.get(), indexLength);
}

}  // namespace PackClient
