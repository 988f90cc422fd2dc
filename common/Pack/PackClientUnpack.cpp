#include "PackClientUnpack.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "Lzma.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

const int kHeader = 9;  // properties + u32 size

bool ReadWholeFile(const char* path, std::string& out, bool& opened) {
  opened = false;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  opened = true;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    try {
      out.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  DWORD got = 0;
  if (ok && !out.empty()) ok = ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size();
  CloseHandle(h);
  return ok;
}

bool WriteWholeFile(const char* path, const uint8_t* data, size_t size) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = size == 0 || (WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr) && put == size);
  ok = FlushFileBuffers(h) && ok;
  ok = CloseHandle(h) && ok;
  return ok;
}

}  // namespace

uint8_t* DecompressBuffer(const uint8_t* image, int* length) {
  if (image == nullptr || length == nullptr) {
    ENGINE_REPORT("false&&\"数据为空\"");
    return nullptr;
  }
  if (*length < kHeader) {
    ENGINE_REPORT("false&&\"解压缩失败\"");
    return nullptr;
  }
  uint32_t unpacked;
  memcpy(&unpacked, image + 5, 4);
  if (unpacked > kMaxUnpackedImage) {
    ENGINE_REPORT("false&&\"解压缩失败\"");
    return nullptr;
  }
  uint8_t* out = new (std::nothrow) uint8_t[unpacked + 1];
  if (out == nullptr) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return nullptr;
  }
  // The decoder is deterministic: a stream that failed once fails again.
  size_t destLength = unpacked;
  size_t srcLength = static_cast<size_t>(*length - kHeader);
  if (Lzma_Uncompress(out, &destLength, image + kHeader, &srcLength, image) && destLength == unpacked) {
    out[unpacked] = 0;
    *length = static_cast<int>(unpacked);
    return out;
  }
  ENGINE_REPORT("false&&\"解压缩失败\"");
  delete[] out;
  return nullptr;
}

bool UnpackFileInPlace(const char* path) {
  if (path == nullptr) return false;
  std::string packed;
  bool opened;
  if (!ReadWholeFile(path, packed, opened)) {
    if (opened) ENGINE_REPORT("false&&\"读取文件失败\"");
    return false;
  }
  if (packed.empty()) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件长度为0");
    EngineFunc::EngineFunc_DeleteFile(path);
    return false;
  }
  int length = static_cast<int>(packed.size());
  uint8_t* plain = DecompressBuffer(reinterpret_cast<const uint8_t*>(packed.data()), &length);
  if (plain == nullptr) return false;

  // Write beside the original and swap only a complete copy.
  std::string fresh = std::string(path) + "_new";
  bool ok = WriteWholeFile(fresh.c_str(), plain, static_cast<size_t>(length));
  delete[] plain;
  if (ok) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    ok = MoveFileExA(fresh.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!ok) {
    DeleteFileA(fresh.c_str());
    ENGINE_REPORT("false&&\"写入文件失败\"");
  }
  return ok;
}

}  // namespace PackClient
