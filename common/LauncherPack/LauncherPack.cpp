#include "LauncherPack.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/EngineFun/Helper.h"
#include "common/Pack/Lzma.h"

bool LauncherPackLengthOk(uint64_t size) {
  if (size > kLauncherPackHeaderSize && size <= kMaxLauncherPackFile) return true;
  ENGINE_REPORT("false&&\"error: 文件长度错误\"");
  return false;
}

LauncherPackResult ReadLauncherPackHeader(const uint8_t* package, size_t size, LauncherPackHeader* header) {
  if (package == nullptr || !LauncherPackLengthOk(size)) return LAUNCHERPACK_BAD_LENGTH;
  memcpy(&header->version, package, 4);
  memcpy(header->props, package + 4, sizeof(header->props));
  memcpy(&header->unpackedSize, package + 9, 4);
  // The program is every byte but the last, so fewer than two leave nothing;
  // nor is anything allocated for more than the stream can unpack to.
  if (header->unpackedSize < 2 || header->unpackedSize > kMaxLauncherPackUnpacked ||
      header->unpackedSize > Lzma_MaxUnpackedSize(size - kLauncherPackHeaderSize)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "解压长度错误:%u", header->unpackedSize);
    return LAUNCHERPACK_BAD_HEADER;
  }
  if (!std::isfinite(header->version)) {
    ENGINE_REPORT("false&&\"版本号错误\"");
    return LAUNCHERPACK_BAD_HEADER;
  }
  return LAUNCHERPACK_OK;
}

std::string LauncherPackVersionText(float version) {
  char text[64];
  snprintf(text, sizeof(text), "%.3f", static_cast<double>(version));
  return text;
}

LauncherPackResult DecodeLauncherPack(const uint8_t* package, size_t size, const LauncherPackHeader& header,
                                      std::unique_ptr<uint8_t[]>* program) {
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[static_cast<size_t>(header.unpackedSize) + 1]);
  if (out == nullptr) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return LAUNCHERPACK_NO_MEMORY;
  }
  size_t produced = header.unpackedSize;
  size_t streamLength = size - kLauncherPackHeaderSize;
  // A stream that ends early, or ends with its mark before the declared
  // size, would leave a cut program.
  if (!Lzma_Uncompress(out.get(), &produced, package + kLauncherPackHeaderSize, &streamLength, header.props) ||
      produced != header.unpackedSize) {
    ENGINE_REPORT("false&&\"解压缩失败\"");
    return LAUNCHERPACK_DECODE_FAILED;
  }
  out[produced] = 0;
  *program = std::move(out);
  return LAUNCHERPACK_OK;
}

bool UnpackSingleFilePack(const char* source, const char* dest, std::string* version) {
  return UnpackLauncherPack(source, dest, version) == LAUNCHERPACK_OK;
}
