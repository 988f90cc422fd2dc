#include "ResourceFetch.h"

#include <windows.h>

#include "common/EngineFun/Helper.h"
#include "common/HttpDownLoad/DownLoadFile.h"
#include "common/HttpDownLoad/IDownLoad.h"
#include "common/Pack/PatchPath.h"

namespace {

const int kNameAttempts = 100;

}  // namespace

void RemoveTempFile(const std::string& path) {
  DeleteFileA(path.c_str());
  RemovePartialDownloads(path);
}

int ResourcePartCount(int size) { return size <= kResourcePartSize ? 1 : size / kResourcePartSize + 1; }

bool MakeTempFileName(std::string* path) {
  if (path == nullptr) return false;
  CreateDirectoryA(PackClient::kMicroDownloadFolder, nullptr);  // an existing folder is no error
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char name[MAX_PATH];
    EngineFunc::EngineFunc_Sprintf(name, sizeof(name), "%s\\%llu.%s", PackClient::kMicroDownloadFolder,
                                   static_cast<unsigned long long>(EngineFunc::EngineFunc_UniqueID()), "res");
    // CREATE_NEW: of two workers asking at once, only one gets a name.
    HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      *path = name;
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  ENGINE_REPORT("false&&\"创建临时文件失败\"");
  path->clear();
  return false;
}

bool DownloadToTemp(IDownLoad* down, const char* address, int size, const char* tempFile) {
  if (address == nullptr || tempFile == nullptr || down == nullptr) {
    ENGINE_REPORT("false&&\"pszFileName为空\"");
    return false;
  }
  const int result = down->Download(address, tempFile, nullptr, 0, 0, 1, 0, 1, ResourcePartCount(size));
  if (result == DOWNLOAD_RESULT_OK || result == DOWNLOAD_RESULT_UPTODATE) return true;
  char text[260];
  EngineFunc::EngineFunc_Sprintf(text, sizeof(text), "%s:Ret:%d,FileFrom:%d,FileTo:%d", address, result, 0, 0);
  EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "%s", text);
  return false;
}
