// Unpacking a launcher package over the program on disk.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <new>

#include "LauncherPack.h"
#include "afx/AfxFile.h"
#include "common/EngineFun/Helper.h"

namespace {

// The launcher that started the updater may still be ending and hold its file.
const DWORD kReplaceWaitMs = 3000;
const DWORD kReplacePollMs = 100;
const uint32_t kBlock = 1u << 20;  // read and written a block at a time

std::atomic<LauncherPackWriteHook>& WriteHook() {
  static std::atomic<LauncherPackWriteHook> hook{nullptr};
  return hook;
}

LauncherPackResult ReadPackage(const char* path, std::unique_ptr<uint8_t[]>* data, size_t* size) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary)) return LAUNCHERPACK_OPEN_FAILED;
  try {
    uint64_t length = file.GetLength();
    if (!LauncherPackLengthOk(length)) return LAUNCHERPACK_BAD_LENGTH;
    data->reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
    if (*data == nullptr) {
      ENGINE_REPORT("false&&\"内存不足\"");
      return LAUNCHERPACK_NO_MEMORY;
    }
    uint64_t done = 0;
    while (done < length) {
      UINT got = file.Read(data->get() + done, static_cast<UINT>(std::min<uint64_t>(length - done, kBlock)));
      if (got == 0) break;
      done += got;
    }
    if (done != length) return LAUNCHERPACK_OPEN_FAILED;
    *size = static_cast<size_t>(length);
    return LAUNCHERPACK_OK;
  } catch (CFileException* e) {
    e->Delete();
    return LAUNCHERPACK_OPEN_FAILED;
  }
}

bool WriteSideFile(const std::string& side, const uint8_t* data, size_t count) {
  LauncherPackWriteHook hook = WriteHook().load();
  SetFileAttributesA(side.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only leftover of an earlier run
  CFile file;
  CFileException openError;
  if (!file.Open(side.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary,
                 &openError)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "写入文件失败:%s,错误代码%ld", side.c_str(),
                                       openError.m_lOsError);
    return false;
  }
  try {
    for (size_t done = 0; done < count;) {
      uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(count - done, kBlock));
      if (hook != nullptr && hook(side.c_str(), done, chunk))
        throw new CFileException(CFileException::diskFull, ERROR_DISK_FULL, side.c_str());
      file.Write(data + done, chunk);
      done += chunk;
    }
    file.Flush();
    file.Close();
    return true;
  } catch (CFileException* e) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "写入文件失败:%s,错误代码%ld", side.c_str(),
                                       e->m_lOsError);
    e->Delete();
    return false;
  }
}

bool ReplaceProgram(const std::string& side, const char* dest) {
  SetFileAttributesA(dest, FILE_ATTRIBUTE_NORMAL);
  DWORD start = GetTickCount();
  for (;;) {
    if (EngineFunc::EngineFunc_ReplaceFile(side.c_str(), dest)) return true;
    DWORD error = GetLastError();
    bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
    if (!held || GetTickCount() - start >= kReplaceWaitMs) {
      EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "替换文件失败:%s,错误代码%lu", dest, error);
      return false;
    }
    Sleep(kReplacePollMs);
  }
}

}  // namespace

LauncherPackWriteHook SetLauncherPackWriteHook(LauncherPackWriteHook hook) { return WriteHook().exchange(hook); }

std::string LauncherPackSidePath(const std::string& dest) {
  size_t slash = dest.find_last_of("/\\");
  size_t dot = dest.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return dest + "_new";
  return dest.substr(0, dot) + "_new" + dest.substr(dot);
}

LauncherPackResult UnpackLauncherPack(const char* source, const char* dest, std::string* version,
                                      LauncherPackAccept accept, void* context) {
  setlocale(LC_ALL, "Chinese-simplified");
  if (source == nullptr || dest == nullptr) return LAUNCHERPACK_OPEN_FAILED;
  std::unique_ptr<uint8_t[]> package;
  size_t size = 0;
  LauncherPackResult rc = ReadPackage(source, &package, &size);
  if (rc != LAUNCHERPACK_OK) return rc;
  LauncherPackHeader header;
  rc = ReadLauncherPackHeader(package.get(), size, &header);
  if (rc == LAUNCHERPACK_BAD_LENGTH) return rc;
  if (version != nullptr && std::isfinite(header.version)) *version = LauncherPackVersionText(header.version);
  if (rc != LAUNCHERPACK_OK) return rc;
  if (accept != nullptr && !accept(LauncherPackVersionText(header.version), context)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "版本号错误:%s",
                                       LauncherPackVersionText(header.version).c_str());
    return LAUNCHERPACK_REFUSED;
  }

  std::unique_ptr<uint8_t[]> program;
  rc = DecodeLauncherPack(package.get(), size, header, &program);
  if (rc != LAUNCHERPACK_OK) return rc;
  package.reset();

  std::string side = LauncherPackSidePath(dest);
  if (!WriteSideFile(side, program.get(), header.unpackedSize - 1)) {
    rc = LAUNCHERPACK_WRITE_FAILED;
  } else if (!ReplaceProgram(side, dest)) {
    rc = LAUNCHERPACK_REPLACE_FAILED;
  }
  if (rc != LAUNCHERPACK_OK) {
    SetFileAttributesA(side.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(side.c_str());
  }
  return rc;
}
