// Compaction: the pack rewritten without gaps, each file's stored bytes
// moved once, offsets renumbered as a running sum.
#include <cstring>
#include <new>
#include <vector>

#include "PackWriteHelpers.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

// The optimisation popup sums the progress of all packs until it reaches
// their summed counts, so the end value must reach this pack's count even
// when duplicates collapsed or received resources stayed out.
void CFilePackIndexMgr::FinishCompaction(bool ok, LONG target) {
  LONG end = ok ? m_compactProgress : static_cast<LONG>(m_totalCount);
  InterlockedExchange(&m_compactProgress, end > target ? end : target);
}

// Readers go on during the copy (it reads at explicit offsets under short
// shared holds); they wait only while the new files are swapped in.
bool CFilePackIndexMgr::CompactPack() {
  CSALocker operation(this);
  const LONG target = m_entryCount > static_cast<LONG>(m_totalCount) ? m_entryCount : static_cast<LONG>(m_totalCount);
  std::unordered_map<std::string, PackIndexRecord> records;
  std::string data, freshData, index, freshIndex;
  bool lzma = false, maskWhole = false;
  try {
    SharedHold hold(this);
    if (IsOpenLocked()) {
      records = m_handleMode ? FullFromLiteLocked() : m_fullIndex;
      lzma = m_lzma;
      maskWhole = m_maskWholeData;
      data = PackPath(m_packName, ".pkg");
      freshData = NewDataName(m_packName);
      index = PackPath(m_packName, ".pkg1");
      freshIndex = NewIndexName(m_packName);
    }
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
  }
  if (data.empty()) {
    FinishCompaction(false, target);
    return false;
  }
  InterlockedExchange(&m_compactProgress, 0);

  std::unordered_map<std::string, PackIndexRecord> written;
  std::string image;
  PackOutFile out;
  SetFileAttributesA(freshData.c_str(), FILE_ATTRIBUTE_NORMAL);
  bool ok = out.Open(freshData.c_str(), CREATE_ALWAYS);
  if (!ok) ENGINE_REPORT("false&&\"文件没打开\"");
  uint64_t running = 0;
  std::vector<uint8_t> scratch;
  try {
    if (ok) {
      written.reserve(records.size());
      PackIndexHeader header = {static_cast<uint32_t>(records.size()), 0, static_cast<uint8_t>(maskWhole),
                                static_cast<uint8_t>(lzma)};
      image.reserve(sizeof(header) + records.size() * sizeof(PackIndexRecord));
      WriteIndexHeader(header, &image);
    }
    for (auto it = records.begin(); ok && it != records.end(); ++it) {
      const uint32_t length = StoredLength(it->second.entry, lzma);
      if (EndsPastPackLimit(running, length) ||
          !CopyStoredBytes(*this, it->second.entry.offset, length, &out, &scratch)) {
        ok = false;
        break;
      }
      PackIndexRecord record = it->second;
      record.entry.offset = static_cast<uint32_t>(running);
      AppendMaskedRecord(image, &record, sizeof(record));
      written.emplace(it->first, record);
      running += length;
      InterlockedIncrement(&m_compactProgress);
    }
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    ok = false;
  }
  uint64_t size = 0;
  ok = ok && out.Flush() && out.Size(&size) && size == running;
  ok = out.Close() && ok;
  ok = ok && WriteIndexFile(freshIndex.c_str(), image);
  if (ok) {
    ExclusiveHold hold(this);
    // Our own read handle would block replacing the data file.
    if (m_dataHandle != INVALID_HANDLE_VALUE) CloseHandle(m_dataHandle);
    m_dataHandle = INVALID_HANDLE_VALUE;
    ok = ReplaceFiles({{freshData, data}, {freshIndex, index}});
    if (!ok) EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
    // Data and index on disk may not belong together, nor to the indexes in
    // memory: the pack stays closed until an open finishes the replace, and
    // the fresh files stay for it.
    if (!ok && ReplaceUnfinished(data)) {
      ResetLocked(m_handleMode);
      FinishCompaction(false, target);
      return false;
    }
    m_dataHandle = OpenDataHandle(data.c_str());
    if (ok) {
      m_entryCount = static_cast<LONG>(written.size());
      m_totalCount = static_cast<uint32_t>(written.size());
      m_reserved = 0;
      InstallFullLocked(std::move(written));
    }
    ok = ok && m_dataHandle != INVALID_HANDLE_VALUE;
  }
  if (!ok) {
    ::DeleteFileA(freshData.c_str());
    ::DeleteFileA(freshIndex.c_str());
  }
  FinishCompaction(ok, target);
  return ok;
}

}  // namespace FilePack
