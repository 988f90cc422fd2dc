// Lookup, reading an entry's bytes and extracting a file to disk. Reads go
// to explicit offsets of the one data handle, so any number of threads read
// side by side under the shared state hold.
#include <cstring>
#include <new>

#include "FilePackIndexMgr.h"
#include "PackFileIo.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

namespace {

const uint32_t kExtractChunk = 0xA00000;

// size + 1 must not wrap for the callers that terminate text.
bool SaneEntry(const PackEntry* entry) {
  if (entry->size != 0xFFFFFFFFu) return true;
  ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
  return false;
}

// Nothing is unpacked into, or allocated for, a size the stream cannot make.
bool PlausibleEntry(const PackEntry& entry, bool lzma) {
  if (PlausibleUnpackedSize(entry, lzma)) return true;
  ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
  return false;
}

bool EntryInside(const PackEntry& entry, bool lzma, int64_t dataLength) {
  return static_cast<uint64_t>(entry.offset) + StoredLength(entry, lzma) <= static_cast<uint64_t>(dataLength);
}

std::unique_ptr<uint8_t[]> AllocateBytes(size_t count) {
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[count + 1]);
  if (bytes == nullptr) ENGINE_REPORT("false&&\"内存不足\"");
  return bytes;
}

}  // namespace

bool CFilePackIndexMgr::ReadAtLocked(uint8_t* dest, uint64_t offset, uint32_t count) {
  if (dest == nullptr) {
    ENGINE_REPORT("false&&\"输入的内存块不存在\"");
    return false;
  }
  memset(dest, 0, count);
  if (count == 0) return true;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(m_dataHandle, dest, count, &got, &at)) {
    const DWORD code = GetLastError();
    if (code != ERROR_HANDLE_EOF) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(code));
      return false;
    }
  }
  if (got != count) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "调用ReadFile代码编号:%d",
                                       static_cast<int>(GetLastError()));
    memset(dest, 0, count);
    return false;
  }
  return true;
}

bool CFilePackIndexMgr::ReadAt(uint8_t* dest, uint64_t offset, uint32_t count) {
  SharedHold hold(this);
  return ReadAtLocked(dest, offset, count);
}

// An index may claim any size; nothing is allocated for bytes that the data
// file cannot hold. The file may grow meanwhile (merges append), never shrink
// under an index that names its bytes.
bool CFilePackIndexMgr::StoredRangeInData(const PackEntry& entry) {
  LARGE_INTEGER length = {};
  if (GetFileSizeEx(m_dataHandle, &length) && EntryInside(entry, m_lzma, length.QuadPart)) return true;
  ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
  return false;
}

bool CFilePackIndexMgr::DataHoldsEveryEntry() {
  SharedHold hold(this);
  LARGE_INTEGER length = {};
  if (!IsOpenLocked() || !GetFileSizeEx(m_dataHandle, &length)) return false;
  for (const auto& item : m_liteIndex)
    if (!EntryInside(item.second, m_lzma, length.QuadPart)) return false;
  for (const auto& item : m_fullIndex)
    if (!EntryInside(item.second.entry, m_lzma, length.QuadPart)) return false;
  return true;
}

bool PackReadsWhole(const char* indexPath, const char* dataPath) {
  CFilePackIndexMgr reader;
  return reader.OpenPack(indexPath, dataPath, false) && reader.DataHoldsEveryEntry();
}

bool CFilePackIndexMgr::FindEntry(const char* key, PackEntry* entry) {
  if (key == nullptr || entry == nullptr) return false;
  std::string name = NormalizeKey(key);
  SharedHold hold(this);
  if (!IsOpenLocked()) return false;
  auto found = m_fullIndex.find(name);
  if (found == m_fullIndex.end()) return false;
  *entry = found->second.entry;
  return true;
}

bool CFilePackIndexMgr::HasFile(const char* key) {
  if (key == nullptr) return false;
  std::string name = NormalizeKey(key);
  if (m_microMode && m_pendingCount != 0) PublishDownloads();
  SharedHold hold(this);
  return m_handleMode ? m_liteIndex.count(name) != 0 : m_fullIndex.count(name) != 0;
}

std::vector<std::string> CFilePackIndexMgr::Keys() {
  std::vector<std::string> keys;
  SharedHold hold(this);
  if (!IsOpenLocked()) return keys;
  if (m_handleMode) {
    keys.reserve(m_liteIndex.size());
    for (const auto& item : m_liteIndex) keys.push_back(item.first);
  } else {
    keys.reserve(m_fullIndex.size());
    for (const auto& item : m_fullIndex) keys.push_back(item.first);
  }
  return keys;
}

std::vector<PackIndexRecord> CFilePackIndexMgr::Records() {
  std::vector<PackIndexRecord> records;
  SharedHold hold(this);
  if (m_handleMode) {
    for (auto& item : FullFromLiteLocked()) records.push_back(item.second);
  } else {
    records.reserve(m_fullIndex.size());
    for (const auto& item : m_fullIndex) records.push_back(item.second);
  }
  return records;
}

bool CFilePackIndexMgr::UnpackEntryLocked(const PackEntry& entry, uint8_t* buffer) {
  if (!SaneEntry(&entry) || !PlausibleEntry(entry, true)) return false;
  if (entry.packedSize > m_largestPackedSize) {
    ENGINE_REPORT("false&&\"长度太小，请检查\"");
    return false;
  }
  if (entry.size == 0) return true;
  if (!StoredRangeInData(entry)) return false;
  std::unique_ptr<uint8_t[]> packed = AllocateBytes(entry.packedSize);
  if (packed == nullptr || !ReadAtLocked(packed.get(), entry.offset, entry.packedSize)) return false;
  if (UnpackEntryBytes(entry, packed.get(), buffer)) return true;
  ENGINE_REPORT("false&&\"解压缩失败\"");
  return false;
}

bool CFilePackIndexMgr::UnpackEntry(const PackEntry* entry, uint8_t* buffer) {
  if (buffer == nullptr || entry == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return false;
  }
  SharedHold hold(this);
  return IsOpenLocked() && UnpackEntryLocked(*entry, buffer);
}

bool CFilePackIndexMgr::ReadStoredLocked(const PackEntry& entry, uint8_t* buffer) {
  if (!ReadAtLocked(buffer, entry.offset, entry.size)) return false;
  MaskStoredBytes(buffer, entry.size, 0, entry.size, m_maskWholeData);
  return true;
}

bool CFilePackIndexMgr::ReadEntryData(const PackEntry* entry, uint8_t* buffer, bool unpack) {
  if (entry == nullptr || buffer == nullptr || !SaneEntry(entry)) return false;
  SharedHold hold(this);
  if (!IsOpenLocked()) return false;
  if (m_lzma) return unpack ? UnpackEntryLocked(*entry, buffer) : ReadAtLocked(buffer, entry->offset, entry->packedSize);
  return ReadStoredLocked(*entry, buffer);
}

bool CFilePackIndexMgr::ExtractFile(const char* key, const char* localPath) {
  if (key == nullptr || localPath == nullptr) return false;
  const std::string name = NormalizeKey(key), target = NormalizeKey(localPath);
  SharedHold hold(this);
  if (!IsOpenLocked()) return false;
  auto found = m_fullIndex.find(name);
  if (found == m_fullIndex.end()) return false;
  const PackEntry entry = found->second.entry;
  if (!SaneEntry(&entry) || !PlausibleEntry(entry, m_lzma) || !StoredRangeInData(entry)) return false;

  std::unique_ptr<uint8_t[]> buffer;
  if (m_lzma) {
    buffer = AllocateBytes(entry.size);
    if (buffer == nullptr || !UnpackEntryLocked(entry, buffer.get())) return false;
  }

  // Written beside the target and moved over it only when complete.
  std::string part = target + ".part";
  PackOutFile out;
  if (!out.Open(part.c_str(), CREATE_ALWAYS)) {
    ENGINE_REPORT("false&&\"文件打开失败\"");
    return false;
  }
  bool ok = true;
  if (m_lzma) {
    ok = out.Write(buffer.get(), entry.size);
  } else {
    buffer = AllocateBytes(entry.size < kExtractChunk ? entry.size : kExtractChunk);
    ok = buffer != nullptr;
    for (uint32_t done = 0; ok && done < entry.size;) {
      uint32_t chunk = entry.size - done < kExtractChunk ? entry.size - done : kExtractChunk;
      ok = ReadAtLocked(buffer.get(), static_cast<uint64_t>(entry.offset) + done, chunk);
      if (ok) {
        MaskStoredBytes(buffer.get(), chunk, done, entry.size, m_maskWholeData);
        ok = out.Write(buffer.get(), chunk);
      }
      done += chunk;
    }
  }
  ok = out.Close() && ok && ReplaceFiles({{part, target}});
  if (!ok) {
    DeleteFileA(part.c_str());
    ENGINE_REPORT("false&&\"写文件失败\"");
  }
  return ok;
}

bool FindFileInGlobalPack(const char* key, PackEntry* entry) {
  CFilePackIndexMgr* manager = GlobalPackManager();
  if (key == nullptr || entry == nullptr) return false;
  std::string name = NormalizeKey(key);
  if (manager->MicroMode() && manager->m_pendingCount != 0) manager->PublishDownloads();
  CFilePackIndexMgr::SharedHold hold(manager);
  return manager->IsOpenLocked() && manager->LookupLiteLocked(name, entry);
}

template <typename Use>
bool CFilePackIndexMgr::WithReadSource(const PackEntry& entry, const char* key, Use use) {
  const std::string name = key != nullptr ? NormalizeKey(key) : std::string();
  SharedHold hold(this);
  if (!IsOpenLocked()) return false;
  PackEntry local = entry;
  if (key == nullptr) return use(local, nullptr);
  // A received resource's offset is the server's: its downloaded file is
  // its only source until a merge and reopen put it in the data file.
  auto received = m_downloadedFiles.find(name);
  if (received != m_downloadedFiles.end())
    return SameStoredBytes(received->second.entry, entry, m_lzma) && use(local, &received->second);
  return CurrentEntryLocked(name, &local) && SameStoredBytes(local, entry, m_lzma) && use(local, nullptr);
}

bool ReadFileFromGlobalPack(CFilePackIndexMgr* manager, uint8_t* buffer, const PackEntry* entry, const char* key) {
  if (manager == nullptr || entry == nullptr || buffer == nullptr || !SaneEntry(entry)) return false;
  auto read = [&](const PackEntry& local, const CFilePackIndexMgr::DownloadedFile* received) {
    if (received != nullptr) return manager->ReadDownloadedFileLocked(*received, buffer);
    if (manager->m_lzma) {
      if (local.size == 0 || local.packedSize == 0) {
        ENGINE_REPORT("false&&\"包长度为0\"");
        return false;
      }
      return manager->UnpackEntryLocked(local, buffer);
    }
    if (!manager->ReadAtLocked(buffer, local.offset, local.size)) return false;
    MaskStoredBytes(buffer, local.size, 0, local.size, manager->m_maskWholeData);
    return true;
  };
  return manager->WithReadSource(*entry, key, read);
}

bool CanReadFileFromGlobalPack(CFilePackIndexMgr* manager, const PackEntry* entry, const char* key) {
  if (manager == nullptr || entry == nullptr || !SaneEntry(entry)) return false;
  // A received resource's file was checked against its record when it arrived.
  auto stored = [&](const PackEntry& local, const CFilePackIndexMgr::DownloadedFile* received) {
    return received != nullptr || (PlausibleEntry(local, manager->m_lzma) && manager->StoredRangeInData(local));
  };
  return manager->WithReadSource(*entry, key, stored);
}

}  // namespace FilePack
