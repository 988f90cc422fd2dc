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

bool CFilePackIndexMgr::CompactPack() {
  const LONG target = m_entryCount > static_cast<LONG>(m_totalCount) ? m_entryCount : static_cast<LONG>(m_totalCount);
  if (!IsOpen()) {
    FinishCompaction(false, target);
    return false;
  }
  InterlockedExchange(&m_compactProgress, 0);
  m_reserved = 0;
  BuildFullIndexFromLite();
  const std::string data = PackPath(m_packName, ".pkg"), freshData = NewDataName(m_packName);
  const std::string index = PackPath(m_packName, ".pkg1"), freshIndex = NewIndexName(m_packName);

  std::vector<PackIndexRecord> written;
  std::string image;
  PackOutFile out;
  SetFileAttributesA(freshData.c_str(), FILE_ATTRIBUTE_NORMAL);
  bool ok = out.Open(freshData.c_str(), CREATE_ALWAYS);
  if (!ok) ENGINE_REPORT("false&&\"文件没打开\"");
  uint64_t running = 0;
  std::vector<uint8_t> scratch;
  try {
    if (ok) written.reserve(m_fullIndex.size());
    for (auto it = m_fullIndex.begin(); ok && it != m_fullIndex.end(); ++it) {
      const uint32_t length = StoredLength(it->second.entry, m_lzma);
      if (EndsPastPackLimit(running, length) ||
          !CopyStoredBytes(*this, it->second.entry.offset, length, &out, &scratch)) {
        ok = false;
        break;
      }
      written.push_back(it->second);
      written.back().entry.offset = static_cast<uint32_t>(running);
      running += length;
      InterlockedIncrement(&m_compactProgress);
    }
    if (ok) {
      PackIndexHeader header = {static_cast<uint32_t>(written.size()), 0, static_cast<uint8_t>(m_maskWholeData),
                                static_cast<uint8_t>(m_lzma)};
      image.reserve(sizeof(header) + written.size() * sizeof(PackIndexRecord));
      WriteIndexHeader(header, &image);
      for (const PackIndexRecord& record : written) AppendMaskedRecord(image, &record, sizeof(record));
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
    // Our own read handle would block replacing the data file.
    CloseFiles();
    ok = ReplaceFiles({{freshData, data}, {freshIndex, index}});
    if (!ok) EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
  }
  if (!ok) {
    ::DeleteFileA(freshData.c_str());
    ::DeleteFileA(freshIndex.c_str());
    if (m_handleMode) m_fullIndex.clear();
    if (!IsOpen()) OpenDataFile(data.c_str());
    FinishCompaction(false, target);
    return false;
  }
  {
    CSectionHold lookups(&m_dualLock->first);
    m_fullIndex.clear();
    for (const PackIndexRecord& record : written) m_fullIndex.emplace(record.name, record);
  }
  BuildLiteIndexFromFull();
  if (m_handleMode) m_fullIndex.clear();
  m_entryCount = static_cast<LONG>(written.size());
  m_totalCount = static_cast<uint32_t>(written.size());
  FinishCompaction(true, target);
  return OpenDataFile(data.c_str());
}

}  // namespace FilePack
