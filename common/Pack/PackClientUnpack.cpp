#include "PackClientUnpack.h"

#include <cstring>
#include <new>
#include <string>

#include "FilePackIndexMgr.h"
#include "Lzma.h"
#include "PackFileIo.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

const int kHeader = 9;  // properties + u32 size

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
  if (unpacked > kMaxUnpackedImage || unpacked > Lzma_MaxUnpackedSize(static_cast<size_t>(*length - kHeader))) {
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

bool UnpackFileTo(const char* packedPath, const char* target) {
  if (packedPath == nullptr || target == nullptr) return false;
  std::string packed;
  if (!FilePack::CFilePackIndexMgr::ReadWholeFile(packedPath, &packed, false, 0)) return false;
  if (packed.empty()) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "文件长度为0");
    EngineFunc::EngineFunc_DeleteFile(packedPath);
    return false;
  }
  int length = static_cast<int>(packed.size());
  uint8_t* plain = DecompressBuffer(reinterpret_cast<const uint8_t*>(packed.data()), &length);
  if (plain == nullptr) return false;

  // Write beside the target and swap only a complete copy.
  std::string fresh = std::string(target) + "_new";
  bool ok = FilePack::WriteFileChecked(fresh.c_str(), plain, static_cast<size_t>(length));
  delete[] plain;
  ok = ok && FilePack::ReplaceFiles({{fresh, target}});
  if (!ok) {
    DeleteFileA(fresh.c_str());
    ENGINE_REPORT("false&&\"写入文件失败\"");
  }
  return ok;
}

bool UnpackFileInPlace(const char* path) { return UnpackFileTo(path, path); }

}  // namespace PackClient
