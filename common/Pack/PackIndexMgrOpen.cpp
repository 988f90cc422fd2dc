// Opening a pack: index file to image, image to index, data file.
#include <cstring>
#include <new>

#include "FilePackIndexMgr.h"
#include "PackFileIo.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

bool CFilePackIndexMgr::ReadWholeFile(const char* path, std::string* data, bool checkLength, uint32_t expectedLength) {
  if (path == nullptr || data == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  data->clear();
  // Sharing deletion too: a file just renamed into place (a record, a
  // swapped index) stays open for deletion in the renaming thread until its
  // rename returns, and a reader then must not take it for unreadable.
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    ENGINE_REPORT("false&&\"文件打开失败\"");
    return false;
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(h, &size) != FALSE;
  if (ok && checkLength && size.QuadPart != expectedLength) {
    ENGINE_REPORT("false&&\"文件长度不同\"");
    ok = false;
  }
  if (ok && size.QuadPart > kMaxIndexImage) {
    ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
    ok = false;
  }
  if (ok) {
    try {
      data->assign(static_cast<size_t>(size.QuadPart), '\0');
    } catch (const std::bad_alloc&) {
      ENGINE_REPORT("false&&\"内存不足\"");
      ok = false;
    }
  }
  DWORD got = 0;
  if (ok && !data->empty())
    ok = ReadFile(h, &(*data)[0], static_cast<DWORD>(data->size()), &got, nullptr) && got == data->size();
  CloseHandle(h);
  if (!ok) data->clear();
  return ok;
}

bool CFilePackIndexMgr::CreateEmptyIndex(int kind, const char* path) {
  if (path == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  if (kind == 1) {
    // Only a missing data file is created; an existing one is never truncated.
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }
  std::string image = EmptyIndexImage(path), file;
  if (!PackIndexFileBytes(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &file)) return false;
  return WriteFileChecked(path, file.data(), file.size());
}

bool CFilePackIndexMgr::LoadIndexFile(const char* path, bool creationForbidden, std::string* image) {
  if (path == nullptr || image == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  auto loadOne = [image](const char* name) {
    std::string file;
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return false;
    if (!ReadWholeFile(name, &file, false, 0) || file.empty()) return false;
    return UnpackIndexFileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size(), image);
  };
  if (loadOne(path)) return true;
  std::string withExtension = std::string(path) + ".pkg1";
  if (loadOne(withExtension.c_str())) return true;
  if (m_microMode && !creationForbidden && CreateEmptyIndex(0, path) && loadOne(path)) return true;
  ENGINE_REPORT("false&&\"文件为空或不存在\"");
  return false;
}

bool CFilePackIndexMgr::ParseMainIndex(const std::string& image, bool handleMode,
                                       std::unordered_map<std::string, PackIndexRecord>* full,
                                       std::unordered_map<std::string, PackEntry>* lite, PackIndexHeader* header,
                                       uint32_t* largestPacked, uint32_t* largest) {
  try {
    const size_t expected = image.size() / sizeof(PackIndexRecord);
    if (handleMode)
      lite->reserve(expected);
    else
      full->reserve(expected);
    return ParsePackIndexImage(
        reinterpret_cast<const uint8_t*>(image.data()), image.size(), header, [&](const PackIndexRecord& record) {
          if (record.entry.packedSize > *largestPacked) *largestPacked = record.entry.packedSize;
          if (record.entry.size > *largest) *largest = record.entry.size;
          if (handleMode)
            (*lite)[record.name] = record.entry;
          else
            (*full)[record.name] = record;
          return true;
        });
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return false;
  }
}

// No buffer is sized here: reads allocate what each entry needs once its
// bytes are known to lie inside the data file.
void CFilePackIndexMgr::TakeHeader(const PackIndexHeader& header, uint32_t largestPacked, uint32_t largest) {
  m_reserved = header.reserved;
  m_maskWholeData = header.maskWholeData != 0;
  m_lzma = header.lzma != 0;
  m_largestPackedSize = largestPacked;
  m_largestSize = largest;
}

HANDLE CFilePackIndexMgr::OpenDataHandle(const char* dataPath) {
  if (dataPath == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return INVALID_HANDLE_VALUE;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    HANDLE h = CreateFileA(dataPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return h;
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
    if (!m_microMode || attempt == 1 || !CreateEmptyIndex(1, dataPath)) break;
  }
  ENGINE_REPORT("false&&\"文件打开失败\"");
  return INVALID_HANDLE_VALUE;
}

bool CFilePackIndexMgr::OpenDataFile(const char* dataPath) {
  HANDLE h = OpenDataHandle(dataPath);
  ExclusiveHold hold(this);
  if (m_dataHandle != INVALID_HANDLE_VALUE) CloseHandle(m_dataHandle);
  m_dataHandle = h;
  return h != INVALID_HANDLE_VALUE;
}

// Everything is read and parsed aside; readers on other threads see the old
// pack or the new one, never a half-open one.
bool CFilePackIndexMgr::OpenPack(const char* indexPath, const char* dataPath, bool handleMode) {
  if (indexPath == nullptr) return false;
  CSALocker operation(this);
  // A compaction cut between its two renames is finished before anything
  // is read, so data and index always belong together.
  if (dataPath != nullptr && !FinishInterruptedReplace(dataPath)) return false;
  m_pendingDeletions.clear();
  {
    ExclusiveHold hold(this);
    ResetLocked(handleMode);
  }
  SetPackLocale("Chinese-simplified");
  std::string image;
  if (!LoadIndexFile(indexPath, false, &image) || image.empty()) {
    ENGINE_REPORT("false&&\"文件数据为空或不存在\"");
    return false;
  }
  char packName[sizeof(m_packName)] = {};
  if (ENGINE_STRNCPY(packName, sizeof(packName), PackNameOfIndexPath(indexPath).c_str()) == nullptr) return false;
  if (m_microMode) CreateDirectoryA(packName, nullptr);

  std::unordered_map<std::string, PackIndexRecord> full;
  std::unordered_map<std::string, PackEntry> lite;
  PackIndexHeader header = {};
  uint32_t largestPacked = 0, largest = 0;
  SetPackLocale("C");
  bool parsed = ParseMainIndex(image, handleMode, &full, &lite, &header, &largestPacked, &largest);
  image.clear();
  SetPackLocale("Chinese-simplified");
  if (!parsed) return false;
  HANDLE data = OpenDataHandle(dataPath);
  if (data == INVALID_HANDLE_VALUE) return false;

  std::unordered_map<std::string, PackEntry> known;
  if (m_microMode) {
    try {
      if (handleMode)
        known = lite;
      else
        for (auto& item : full) known.emplace(item.first, item.second.entry);
    } catch (const std::bad_alloc&) {
      ENGINE_REPORT("false&&\"内存不足\"");
      CloseHandle(data);
      return false;
    }
  }
  ExclusiveHold hold(this);
  memcpy(m_packName, packName, sizeof(m_packName));
  m_downloadBase = NormalizeKey((m_downloadBase + m_packName).c_str());
  m_fullIndex.swap(full);
  m_liteIndex.swap(lite);
  m_knownResources.swap(known);
  m_entryCount = static_cast<LONG>(handleMode ? m_liteIndex.size() : m_fullIndex.size());
  m_totalCount = header.count;
  TakeHeader(header, largestPacked, largest);
  m_dataHandle = data;
  return true;
}

}  // namespace FilePack
