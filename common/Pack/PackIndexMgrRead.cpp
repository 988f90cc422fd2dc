// Lookup, reading an entry's bytes and extracting a file to disk.
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

}  // namespace

bool CFilePackIndexMgr::ReadAt(uint8_t* dest, uint64_t offset, uint32_t count) {
  if (dest == nullptr) {
    ENGINE_REPORT("false&&\"输入的内存块不存在\"");
    return false;
  }
  memset(dest, 0, count);
  if (count == 0) return true;
  if (m_handleMode) {
    LARGE_INTEGER to, at;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(m_dataHandle, to, &at, FILE_BEGIN) || at.QuadPart != to.QuadPart) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
      return false;
    }
    DWORD got = 0;
    if (!ReadFile(m_dataHandle, dest, count, &got, nullptr)) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
      return false;
    }
    if (got != count) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "调用ReadFile代码编号:%d",
                                         static_cast<int>(GetLastError()));
      memset(dest, 0, count);
      return false;
    }
    return true;
  }
  m_dataStream.clear();
  m_dataStream.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  m_dataStream.read(reinterpret_cast<char*>(dest), count);
  bool ok = m_dataStream.good() && static_cast<uint64_t>(m_dataStream.gcount()) == count;
  m_dataStream.clear();
  if (!ok) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "调用ReadFile代码编号:%d", 0);
    memset(dest, 0, count);
  }
  return ok;
}

const PackEntry* CFilePackIndexMgr::FindEntry(const char* key) {
  if (key == nullptr || !IsOpen()) return nullptr;
  std::string name = NormalizeKey(key);
  CSectionHold lookups(&m_dualLock->first);
  auto found = m_fullIndex.find(name);
  return found == m_fullIndex.end() ? nullptr : &found->second.entry;
}

bool CFilePackIndexMgr::HasFile(const char* key) {
  if (key == nullptr) return false;
  std::string name = NormalizeKey(key);
  if (m_handleMode && m_microMode) PublishDownloads();
  CSectionHold lookups(&m_dualLock->first);
  return m_handleMode ? m_liteIndex.count(name) != 0 : m_fullIndex.count(name) != 0;
}

bool CFilePackIndexMgr::UnpackEntry(const PackEntry* entry, uint8_t* buffer) {
  if (m_packedScratch == nullptr || buffer == nullptr || entry == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return false;
  }
  if (!SaneEntry(entry)) return false;
  if (entry->packedSize > m_largestPackedSize) {
    ENGINE_REPORT("false&&\"长度太小，请检查\"");
    return false;
  }
  if (entry->size == 0) return true;
  if (!ReadAt(m_packedScratch.get(), entry->offset, entry->packedSize)) return false;
  if (UnpackEntryBytes(*entry, m_packedScratch.get(), buffer)) return true;
  ENGINE_REPORT("false&&\"解压缩失败\"");
  return false;
}

bool CFilePackIndexMgr::ReadStored(const PackEntry& entry, uint8_t* buffer) {
  if (!ReadAt(buffer, entry.offset, entry.size)) return false;
  MaskStoredBytes(buffer, entry.size, 0, entry.size, m_maskWholeData);
  return true;
}

bool CFilePackIndexMgr::ReadEntryData(const PackEntry* entry, uint8_t* buffer, bool unpack) {
  CSALocker hold(this);
  if (entry == nullptr || !IsOpen() || buffer == nullptr || !SaneEntry(entry)) return false;
  if (m_lzma) return unpack ? UnpackEntry(entry, buffer) : ReadAt(buffer, entry->offset, entry->packedSize);
  return ReadStored(*entry, buffer);
}

bool CFilePackIndexMgr::ExtractFile(const char* key, const char* localPath) {
  CSALocker hold(this);
  if (key == nullptr || localPath == nullptr || !IsOpen()) return false;
  PackEntry entry;
  {
    std::string name = NormalizeKey(key);
    CSectionHold lookups(&m_dualLock->first);
    auto found = m_fullIndex.find(name);
    if (found == m_fullIndex.end()) return false;
    entry = found->second.entry;
  }
  if (!SaneEntry(&entry)) return false;
  std::string target = NormalizeKey(localPath);

  std::unique_ptr<uint8_t[]> buffer;
  if (m_lzma) {
    buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(entry.size) + 1]);
    if (buffer == nullptr) {
      ENGINE_REPORT("false&&\"内存不足\"");
      return false;
    }
    if (!UnpackEntry(&entry, buffer.get())) return false;
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
    const uint32_t chunkMax = entry.size < kExtractChunk ? entry.size : kExtractChunk;
    buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(chunkMax) + 1]);
    ok = buffer != nullptr;
    for (uint32_t done = 0; ok && done < entry.size;) {
      uint32_t chunk = entry.size - done < kExtractChunk ? entry.size - done : kExtractChunk;
      ok = ReadAt(buffer.get(), static_cast<uint64_t>(entry.offset) + done, chunk);
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

const PackEntry* FindFileInGlobalPack(const char* key) {
  CFilePackIndexMgr* manager = GlobalPackManager();
  if (key == nullptr || !manager->IsOpen()) return nullptr;
  std::string name = NormalizeKey(key);
  if (manager->MicroMode()) manager->PublishDownloads();
  CSectionHold lookups(&manager->m_dualLock->first);
  auto found = manager->m_liteIndex.find(name);
  return found == manager->m_liteIndex.end() ? nullptr : &found->second;
}

bool ReadFileFromGlobalPack(CFilePackIndexMgr* manager, uint8_t* buffer, const PackEntry* entry) {
  if (manager == nullptr) return false;
  CSALocker hold(manager);
  if (entry == nullptr || !manager->IsOpen() || buffer == nullptr || !SaneEntry(entry)) return false;
  bool downloaded = manager->MicroMode() && manager->ReadDownloadedFile(entry, buffer);
  if (manager->IsLzma()) {
    if (downloaded) return true;
    if (entry->size == 0 || entry->packedSize == 0) {
      ENGINE_REPORT("false&&\"包长度为0\"");
      return false;
    }
    return manager->UnpackEntry(entry, buffer);
  }
  if (!downloaded && !manager->ReadAt(buffer, entry->offset, entry->size)) return false;
  MaskStoredBytes(buffer, entry->size, 0, entry->size, manager->MaskWholeData());
  return true;
}

}  // namespace FilePack
