// Marking files for deletion, saving the index without them, and the index
// writers the compaction and the merges share.
#include <cstring>
#include <new>

#include "PackWriteHelpers.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

namespace {

// Large single reads are slow under Wine; 1 MiB keeps copies near cp.
const uint32_t kCopyChunk = 1u << 20;

}  // namespace

bool EndsPastPackLimit(uint64_t base, uint32_t length) {
  if (base + length <= 0xFFFFFFFFull) return false;
  ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
  return true;
}

bool CompressIndexImage(const std::string& image, std::string* file) {
  if (PackCompressFaults(image.size()) ||
      !PackIndexFileBytes(reinterpret_cast<const uint8_t*>(image.data()), image.size(), file)) {
    ENGINE_REPORT("false&&\"压缩失败\"");
    return false;
  }
  return true;
}

bool WriteIndexFile(const char* path, const std::string& image) {
  std::string file;
  return CompressIndexImage(image, &file) && WriteFileChecked(path, file.data(), file.size());
}

bool CopyStoredBytes(CFilePackIndexMgr& from, uint32_t offset, uint32_t length, PackOutFile* out,
                     std::vector<uint8_t>* scratch) {
  try {
    if (scratch->size() < kCopyChunk) scratch->resize(kCopyChunk);
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    return false;
  }
  for (uint32_t done = 0; done < length;) {
    uint32_t chunk = length - done < kCopyChunk ? length - done : kCopyChunk;
    if (!from.ReadAt(scratch->data(), static_cast<uint64_t>(offset) + done, chunk)) return false;
    if (!CFilePackIndexMgr::WriteEntryData(scratch->data(), chunk, out)) return false;
    done += chunk;
  }
  return true;
}

bool CFilePackIndexMgr::DeleteFile(const char* key) {
  if (key == nullptr || !IsOpen()) return false;
  CSALocker operation(this);
  return m_pendingDeletions.emplace(NormalizeKey(key), std::string()).second;
}

// Received resources stay out: their offsets are not this data file's.
std::unordered_map<std::string, PackIndexRecord> CFilePackIndexMgr::FullFromLiteLocked() const {
  std::unordered_map<std::string, PackIndexRecord> full;
  full.reserve(m_liteIndex.size());
  for (auto& item : m_liteIndex) {
    if (m_downloadedFiles.count(item.first) != 0) continue;
    PackIndexRecord record = {};
    record.entry = item.second;
    ENGINE_STRNCPY(record.name, sizeof(record.name), item.first.c_str());
    full.emplace(item.first, record);
  }
  return full;
}

void CFilePackIndexMgr::BuildFullIndexFromLite() {
  if (!m_handleMode) return;
  ExclusiveHold hold(this);
  m_fullIndex = FullFromLiteLocked();
}

// The full index becomes the lite one (handle mode), keeping received
// resources visible; the full index itself is dropped in handle mode.
void CFilePackIndexMgr::InstallFullLocked(std::unordered_map<std::string, PackIndexRecord> full) {
  m_fullIndex.swap(full);
  if (!m_handleMode) return;
  std::unordered_map<std::string, PackEntry> lite;
  lite.reserve(m_fullIndex.size() + m_downloadedFiles.size());
  for (auto& item : m_fullIndex) lite.emplace(item.first, item.second.entry);
  for (const auto& received : m_downloadedFiles) {
    auto found = m_liteIndex.find(received.first);
    if (found != m_liteIndex.end()) lite[received.first] = found->second;
  }
  if (m_microMode) {
    std::unordered_map<std::string, PackEntry> knownNow(lite.begin(), lite.end());
    for (const auto& received : m_downloadedFiles) {
      auto found = m_knownResources.find(received.first);
      if (found != m_knownResources.end()) knownNow[received.first] = found->second;
    }
    m_knownResources.swap(knownNow);
  }
  m_liteIndex.swap(lite);
  m_fullIndex.clear();
}

void CFilePackIndexMgr::BuildLiteIndexFromFull() {
  if (!m_handleMode) return;
  ExclusiveHold hold(this);
  std::unordered_map<std::string, PackIndexRecord> full;
  full.swap(m_fullIndex);
  InstallFullLocked(std::move(full));
}

void CFilePackIndexMgr::WriteIndexHeader(const PackIndexHeader& header, std::string* image) {
  if (image == nullptr) {
    ENGINE_REPORT("false&&\"文件没打开\"");
    return;
  }
  if (image->size() < sizeof(header)) image->resize(sizeof(header));
  memcpy(&(*image)[0], &header, sizeof(header));
  ExclusiveHold hold(this);
  m_maskWholeData = header.maskWholeData != 0;
  m_lzma = header.lzma != 0;
}

bool CFilePackIndexMgr::WriteEntryData(const uint8_t* bytes, uint32_t length, PackOutFile* out) {
  if (out == nullptr || !out->IsOpen() || (bytes == nullptr && length != 0)) {
    ENGINE_REPORT("false&&\"指针有问题，请检查\"");
    return false;
  }
  if (out->Write(bytes, length)) return true;
  ENGINE_REPORT("false&&\"写文件失败\"");
  return false;
}

bool CFilePackIndexMgr::PackFileInPlace(const char* path) {
  std::string image;
  if (path == nullptr || !ReadWholeFile(path, &image, false, 0)) {
    ENGINE_REPORT("false&&\"文件没打开\"");
    return false;
  }
  if (image.empty()) {
    ENGINE_REPORT("false&&\"文件为空\"");
    return false;
  }
  // Packed in memory and written beside the file: a failure keeps it whole.
  std::string file;
  if (!CompressIndexImage(image, &file)) return false;
  PackOutFile out;
  std::string fresh;
  if (!CreateUniqueFile(std::string(path) + ".", ".tmp", &fresh, &out)) {
    ENGINE_REPORT("false&&\"文件没打开\"");
    return false;
  }
  out.Close();
  bool ok = WriteFileChecked(fresh.c_str(), file.data(), file.size()) && ReplaceFiles({{fresh, path}});
  if (!ok) ::DeleteFileA(fresh.c_str());
  return ok;
}

bool CFilePackIndexMgr::SwapIndexFiles(const char* targetPath, const char* newPath) {
  if (targetPath == nullptr || newPath == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  if (ReplaceFiles({{newPath, targetPath}})) return true;
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
  return false;
}

bool CFilePackIndexMgr::SaveChanges() {
  CSALocker operation(this);
  std::unordered_map<std::string, PackIndexRecord> kept;
  PackIndexHeader header = {};
  std::string image, index, fresh;
  bool ok = true;
  try {
    SharedHold hold(this);
    if (!IsOpenLocked()) return false;
    kept = m_handleMode ? FullFromLiteLocked() : m_fullIndex;
    for (auto& mark : m_pendingDeletions) kept.erase(mark.first);
    header = {static_cast<uint32_t>(kept.size()), 0, static_cast<uint8_t>(m_maskWholeData), static_cast<uint8_t>(m_lzma)};
    index = PackPath(m_packName, ".pkg1");
    fresh = NewIndexName(m_packName);
    image.reserve(sizeof(header) + kept.size() * sizeof(PackIndexRecord));
    AppendIndexHeader(image, header);
    for (auto& item : kept) AppendMaskedRecord(image, &item.second, sizeof(PackIndexRecord));
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    ok = false;
  }
  ok = ok && WriteIndexFile(fresh.c_str(), image) && SwapIndexFiles(index.c_str(), fresh.c_str());
  if (!ok) {
    // The marks stay: the indexes in memory still match the old file.
    ::DeleteFileA(fresh.c_str());
    return false;
  }
  m_pendingDeletions.clear();
  ExclusiveHold hold(this);
  m_entryCount = static_cast<LONG>(kept.size());
  m_reserved = 0;
  InstallFullLocked(std::move(kept));
  return true;
}

}  // namespace FilePack
