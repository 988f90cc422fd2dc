#include "PackFormat.h"

#include <cstring>
#include <new>

#include "Lzma.h"
#include "common/CRC32.h"
#include "common/EngineFun/Helper.h"
#include "common/StrUtil.h"

namespace FilePack {

std::string NormalizeKey(const char* path) { return EngineFunc::EngineFunc_ConvertSlash(path ? path : ""); }

std::string PackNameOfIndexPath(const char* indexPath) {
  std::string name = indexPath ? indexPath : "";
  StrUtil::ReplaceAll(name, ".pkg1", "");
  return NormalizeKey(name.c_str());
}

void XorBytes(uint8_t* data, size_t count, uint8_t key) {
  for (size_t i = 0; i < count; ++i) data[i] ^= key;
}

void MaskStoredBytes(uint8_t* data, size_t count, uint64_t pos, uint32_t fileSize, bool maskWhole) {
  if (maskWhole) {
    XorBytes(data, count, kDataKey);
    return;
  }
  if (fileSize <= 2 * kMaskWindow) return;
  // Only the head and tail windows that overlap [pos, pos + count) change.
  auto maskWindow = [&](uint64_t from, uint64_t to) {
    uint64_t first = from > pos ? from : pos, last = to < pos + count ? to : pos + count;
    for (uint64_t at = first; at < last; ++at) data[at - pos] ^= kDataKey;
  };
  maskWindow(0, kMaskWindow);
  maskWindow(fileSize - kMaskWindow, fileSize);
}

bool NameTerminated(const char (&name)[256]) { return memchr(name, 0, sizeof(name)) != nullptr; }

namespace {

// Every name a record carries must end within its field: the micro index's
// file name becomes part of a download address.
bool NamesTerminated(const PackIndexRecord& record) { return NameTerminated(record.name); }
bool NamesTerminated(const MicroIndexRecord& record) {
  return NameTerminated(record.record.name) && NameTerminated(record.fileName);
}

// Shared by both index kinds; Record is PackIndexRecord or MicroIndexRecord.
template <typename Record>
bool ParseImage(const uint8_t* image, size_t length, PackIndexHeader* header,
                const std::function<bool(const Record&)>& visit) {
  if (image == nullptr || header == nullptr) {
    ENGINE_REPORT("false&&\"数据为空\"");
    return false;
  }
  const bool whole = length >= sizeof(PackIndexHeader) && (length - sizeof(PackIndexHeader)) % sizeof(Record) == 0;
  if (whole) memcpy(header, image, sizeof(PackIndexHeader));
  // The count must describe exactly the bytes present, or we would read past
  // the image (or silently drop records).
  if (!whole || header->count != (length - sizeof(PackIndexHeader)) / sizeof(Record)) {
    ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
    ENGINE_REPORT("false&&\"数据有问题\"");
    return false;
  }
  const uint8_t* at = image + sizeof(PackIndexHeader);
  Record record;
  for (uint32_t i = 0; i < header->count; ++i, at += sizeof(Record)) {
    memcpy(&record, at, sizeof(Record));
    XorBytes(reinterpret_cast<uint8_t*>(&record), sizeof(Record), kRecordKey);
    if (!NamesTerminated(record)) {
      ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
      return false;
    }
    if (!visit(record)) return false;
  }
  return true;
}

}  // namespace

bool ParsePackIndexImage(const uint8_t* image, size_t length, PackIndexHeader* header,
                         const std::function<bool(const PackIndexRecord&)>& visit) {
  return ParseImage<PackIndexRecord>(image, length, header, visit);
}

bool ParseMicroIndexImage(const uint8_t* image, size_t length, PackIndexHeader* header,
                          const std::function<bool(const MicroIndexRecord&)>& visit) {
  return ParseImage<MicroIndexRecord>(image, length, header, visit);
}

void AppendIndexHeader(std::string& image, const PackIndexHeader& header) {
  image.append(reinterpret_cast<const char*>(&header), sizeof(header));
}

void AppendMaskedRecord(std::string& image, const void* record, size_t size) {
  size_t at = image.size();
  image.append(static_cast<const char*>(record), size);
  XorBytes(reinterpret_cast<uint8_t*>(&image[at]), size, kRecordKey);
}

std::string EmptyIndexImage(const char* indexPath) {
  PackIndexHeader header = {};
  header.lzma = NormalizeKey(indexPath).find("sound") == std::string::npos ? 1 : 0;
  std::string image;
  AppendIndexHeader(image, header);
  return image;
}

bool UnpackIndexFileBytes(const uint8_t* file, size_t length, std::string* image) {
  if (file == nullptr || image == nullptr) {
    ENGINE_REPORT("false&&\"数据为空\"");
    return false;
  }
  uint32_t imageLength = 0;
  if (length >= kIndexFileHead) memcpy(&imageLength, file, 4);
  if (length < kIndexFileHead || imageLength > kMaxIndexImage ||
      imageLength > Lzma_MaxUnpackedSize(length - kIndexFileHead)) {
    ENGINE_REPORT("false&&\"解压失败\"");
    return false;
  }
  try {
    image->assign(imageLength, '\0');
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return false;
  }
  size_t destLength = imageLength;
  size_t srcLength = length - kIndexFileHead;
  uint8_t* dest = imageLength ? reinterpret_cast<uint8_t*>(&(*image)[0]) : nullptr;
  uint8_t scratch;
  if (!Lzma_Uncompress(dest ? dest : &scratch, &destLength, file + kIndexFileHead, &srcLength, file + 4) ||
      destLength != imageLength) {
    ENGINE_REPORT("false&&\"解压失败\"");
    image->clear();
    return false;
  }
  return true;
}

bool PackIndexFileBytes(const uint8_t* image, size_t length, std::string* file) {
  if (image == nullptr || file == nullptr || length == 0 || length > kMaxIndexImage) {
    ENGINE_REPORT("false&&\"压缩失败\"");
    return false;
  }
  size_t bound = Lzma_CompressBound(length);
  if (bound < 2 * length) bound = 2 * length;
  try {
    file->assign(kIndexFileHead + bound, '\0');
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"压缩失败\"");
    return false;
  }
  uint32_t imageLength = static_cast<uint32_t>(length);
  memcpy(&(*file)[0], &imageLength, 4);
  size_t destLength = bound, propsSize = kLzmaPropsSize;
  if (!Lzma_Compress(reinterpret_cast<uint8_t*>(&(*file)[kIndexFileHead]), &destLength, image, length,
                     reinterpret_cast<uint8_t*>(&(*file)[4]), &propsSize) ||
      propsSize != kLzmaPropsSize) {
    file->clear();
    return false;
  }
  file->resize(kIndexFileHead + destLength);
  return true;
}

bool UnpackEntryBytes(const PackEntry& entry, const uint8_t* packed, uint8_t* out) {
  if (entry.size == 0) return true;
  if (packed == nullptr || out == nullptr || entry.packedSize == 0) return false;
  size_t destLength = entry.size, srcLength = entry.packedSize;
  return Lzma_Uncompress(out, &destLength, packed, &srcLength, entry.props) && destLength == entry.size;
}

void EncodeResourceRecord(const MicroIndexRecord& record, uint8_t (&out)[kResourceRecordFileSize]) {
  memcpy(out + 4, &record, sizeof(record));
  XorBytes(out + 4, sizeof(record), kRecordKey);
  uint32_t crc = Crypto::CCRC32().Calc(out + 4, sizeof(record));
  memcpy(out, &crc, 4);
}

bool DecodeResourceRecord(const uint8_t* file, size_t length, MicroIndexRecord* record) {
  if (file == nullptr || record == nullptr || length != kResourceRecordFileSize) return false;
  uint32_t crc;
  memcpy(&crc, file, 4);
  if (Crypto::CCRC32().Calc(file + 4, sizeof(MicroIndexRecord)) != crc) {
    ENGINE_REPORT("false&&\"CRC验证失败\"");
    return false;
  }
  memcpy(record, file + 4, sizeof(MicroIndexRecord));
  XorBytes(reinterpret_cast<uint8_t*>(record), sizeof(MicroIndexRecord), kRecordKey);
  if (!NamesTerminated(*record)) {
    ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
    return false;
  }
  return true;
}

std::string NewIndexName(const char* base) {
  std::string out;
  StrUtil::Format(out, "%s_new%s", base ? base : "", ".pkg1");
  return out;
}

std::string NewDataName(const char* base) {
  std::string out;
  StrUtil::Format(out, "%s_new%s", base ? base : "", ".pkg");
  return out;
}

}  // namespace FilePack
