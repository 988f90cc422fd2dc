// Micro client: the micro index, download items, and accepting a downloaded
// resource as a .pkg3 record until the merge moves it into the pack.
#include <cstring>
#include <new>

#include "PackWriteHelpers.h"
#include "common/CRC32.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

bool CFilePackIndexMgr::ParseMicroIndex(const std::string& image) {
  std::unordered_map<std::string, MicroIndexRecord> micro;
  uint32_t largestPacked = m_largestPackedSize, largest = m_largestSize;
  PackIndexHeader header = {};
  try {
    micro.reserve(image.size() / sizeof(MicroIndexRecord));
    bool parsed = ParseMicroIndexImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &header,
                                       [&](const MicroIndexRecord& record) {
                                         if (record.record.entry.packedSize > largestPacked)
                                           largestPacked = record.record.entry.packedSize;
                                         if (record.record.entry.size > largest) largest = record.record.entry.size;
                                         micro[record.record.name] = record;
                                         return true;
                                       });
    if (!parsed) return false;
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return false;
  }
  // Bytes already in the pack would be misread under other flags.
  ExclusiveHold hold(this);
  if (IsOpenLocked() && (!m_liteIndex.empty() || !m_fullIndex.empty()) &&
      (m_lzma != (header.lzma != 0) || (!m_lzma && m_maskWholeData != (header.maskWholeData != 0)))) {
    ENGINE_REPORT("false&&\"数据有问题\"");
    return false;
  }
  m_microIndex.swap(micro);
  m_entryCount = static_cast<LONG>(header.count);
  TakeHeader(header, largestPacked, largest);
  return true;
}

bool CFilePackIndexMgr::OpenMicroIndex(const char* path) {
  std::string image;
  if (path == nullptr || !LoadIndexFile(path, true, &image) || image.empty()) {
    ENGINE_REPORT("false&&\"文件数据为空或不存在\"");
    return false;
  }
  CSALocker operation(this);
  const uint32_t totalBefore = m_totalCount;
  bool ok = ParseMicroIndex(image);
  m_totalCount = totalBefore;
  return ok;
}

bool CFilePackIndexMgr::FindMicroEntry(const char* name, MicroIndexRecord* record) {
  if (name == nullptr || record == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  const std::string key = NormalizeKey(name);
  SharedHold hold(this);
  auto found = m_microIndex.find(key);
  if (found == m_microIndex.end()) return false;
  *record = found->second;
  return true;
}

std::vector<std::string> CFilePackIndexMgr::MissingMicroKeys(bool (*filter)(const std::string& key)) {
  std::vector<std::string> missing;
  if (m_microMode && m_pendingCount != 0) PublishDownloads();
  SharedHold hold(this);
  for (const auto& item : m_microIndex) {
    const bool held = m_handleMode ? m_liteIndex.count(item.first) != 0 : m_fullIndex.count(item.first) != 0;
    if (!held && (filter == nullptr || filter(item.first))) missing.push_back(item.first);
  }
  return missing;
}

size_t CFilePackIndexMgr::MicroRecordCount() {
  SharedHold hold(this);
  return m_microIndex.size();
}

std::unordered_map<std::string, MicroIndexRecord> CFilePackIndexMgr::MicroRecords() {
  SharedHold hold(this);
  return m_microIndex;
}

bool CFilePackIndexMgr::GetMicroLocalPath(const char* name, std::string* address) {
  if (name == nullptr || address == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return false;
  }
  const std::string key = NormalizeKey(name);
  SharedHold hold(this);
  auto found = m_microIndex.find(key);
  if (found == m_microIndex.end()) {
    ENGINE_REPORT("false&&\"没有数据\"");
    return false;
  }
  *address = m_downloadBase + "/" + found->second.fileName;
  return true;
}

MicroDownloadItem MakeDownloadItem(int offset, int typeCode, const char* name, int size, CFilePackIndexMgr* manager) {
  MicroDownloadItem item;
  if (manager == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return item;
  }
  item.typeCode = typeCode;
  if (name != nullptr) {
    manager->GetMicroLocalPath(name, &item.address);
    item.resourceName = name;
  }
  item.offset = offset;
  item.size = size;
  item.owner = manager;
  return item;
}

bool CFilePackIndexMgr::ReadResourceRecord(const char* path, MicroIndexRecord* record) {
  if (path == nullptr || record == nullptr) {
    ENGINE_REPORT("false&&\"文件指针为空\"");
    return false;
  }
  std::string file;
  return ReadWholeFile(path, &file, true, kResourceRecordFileSize) &&
         DecodeResourceRecord(reinterpret_cast<const uint8_t*>(file.data()), file.size(), record);
}

// Accepting is serialised per pack by the manager's own section; the state
// lock is held only to read the listing and to publish the result.
bool CFilePackIndexMgr::AddDownloadedResource(const char* name, const char* downloadedPath) {
  if (name == nullptr || downloadedPath == nullptr) return false;
  CSALocker operation(this);
  const std::string key = NormalizeKey(name), local = NormalizeKey(downloadedPath);
  auto refuse = [&]() {
    ::DeleteFileA(downloadedPath);  // fetched again next time
    return false;
  };
  MicroIndexRecord listed = {};
  bool lzma = false;
  std::string packName;
  {
    SharedHold hold(this);
    if (m_knownResources.count(key) != 0) return refuse();
    auto micro = m_microIndex.find(key);
    if (micro == m_microIndex.end()) {
      ENGINE_REPORT("false&&\"文件不存在\"");
      return refuse();
    }
    listed = micro->second;
    lzma = m_lzma;
    packName = m_packName;
  }
  const uint32_t expected = StoredLength(listed.record.entry, lzma);
  std::string bytes;
  if (expected == 0 || !ReadWholeFile(downloadedPath, &bytes, true, expected)) return refuse();
  const uint32_t crc = Crypto::CCRC32().Calc(reinterpret_cast<const uint8_t*>(bytes.data()), expected);
  if (crc != listed.crc) {
    ENGINE_REPORT("false&&\"下载资源CRC验证失败\"");
    return refuse();
  }

  MicroIndexRecord parked = {};
  parked.record.entry.offset = listed.record.entry.offset;
  parked.record.entry.size = listed.record.entry.size;
  if (lzma) {
    parked.record.entry.packedSize = listed.record.entry.packedSize;
    memcpy(parked.record.entry.props, listed.record.entry.props, sizeof(parked.record.entry.props));
  }
  ENGINE_STRNCPY(parked.record.name, sizeof(parked.record.name), key.c_str());
  parked.crc = crc;
  if (ENGINE_STRNCPY(parked.fileName, sizeof(parked.fileName), downloadedPath) == nullptr) return refuse();

  // The record is complete on disk before anything in memory points at it,
  // and it gets its .pkg3 name only then: a merge on another thread never
  // finds it half written.
  uint8_t encoded[kResourceRecordFileSize];
  EncodeResourceRecord(parked, encoded);
  std::string partPath;
  PackOutFile out;
  // Named pack name, "/", a unique number, ".pkg3".
  if (!CreateUniqueFile(packName + "/", ".pkg3.part", &partPath, &out)) return refuse();
  // Not forced to the disk: a record lost or torn by a crash fails its CRC
  // or is missing, and the resource is simply fetched again.
  bool written = out.Write(encoded, sizeof(encoded));
  written = out.Close() && written;
  const std::string recordPath = partPath.substr(0, partPath.size() - 5);
  if (!written || !MoveFileExA(partPath.c_str(), recordPath.c_str(), 0)) {
    ENGINE_REPORT("false&&\"文件指针或文件内容为空\"");
    ::DeleteFileA(partPath.c_str());
    return refuse();
  }

  ExclusiveHold hold(this);
  m_downloadedFiles[key] = DownloadedFile{parked.record.entry, local};
  m_knownResources[key] = parked.record.entry;
  m_pendingDownloads[key] = parked.record.entry;
  InterlockedExchange(&m_pendingCount, static_cast<LONG>(m_pendingDownloads.size()));
  return true;
}

}  // namespace FilePack
