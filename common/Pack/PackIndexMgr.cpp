// Construction, closing, the process-wide managers and the micro-client
// visibility of downloaded resources.
#include <clocale>
#include <cstring>

#include "FilePackIndexMgr.h"
#include "common/EngineFun/Helper.h"

namespace FilePack {

namespace {

CSemiAutoIntLock& BaseAddressLock() {
  static CSemiAutoIntLock lock;
  return lock;
}

std::string& BaseAddress() {
  static std::string address = "http://127.0.0.1:8080/";
  return address;
}

}  // namespace

std::string GetMicroClientBaseAddress() {
  CSALocker hold(&BaseAddressLock());
  return BaseAddress();
}

void SetMicroClientBaseAddress(const char* address) {
  CSALocker hold(&BaseAddressLock());
  BaseAddress() = address ? address : "";
}

void SetPackLocale(const char* name) {
  static CSemiAutoIntLock lock;
  CSALocker hold(&lock);
  setlocale(LC_ALL, name);
}

CFilePackIndexMgr* ClientPackManager(int packNumber) {
  static CFilePackIndexMgr managers[10];
  if (packNumber < 1 || packNumber > 10) return nullptr;
  return &managers[packNumber - 1];
}

CFilePackIndexMgr* GlobalPackManager() { return ClientPackManager(4); }

CFilePackIndexMgr::CFilePackIndexMgr()
    : m_entryCount(0),
      m_totalCount(0),
      m_reserved(0),
      m_packName(),
      m_compactProgress(0),
      m_handleMode(false),
      m_maskWholeData(false),
      m_lzma(false),
      m_largestPackedSize(0),
      m_pendingCount(0),
      m_dataHandle(INVALID_HANDLE_VALUE),
      m_downloadBase(GetMicroClientBaseAddress()),
      m_microMode(false),
      m_packNumber(9),
      m_largestSize(0) {
  InitializeSRWLock(&m_stateLock);
}

CFilePackIndexMgr::~CFilePackIndexMgr() { Close(false); }

void CFilePackIndexMgr::CloseFiles() {
  ExclusiveHold hold(this);
  if (m_dataHandle != INVALID_HANDLE_VALUE) CloseHandle(m_dataHandle);
  m_dataHandle = INVALID_HANDLE_VALUE;
}

void CFilePackIndexMgr::ResetLocked(bool handleMode) {
  if (m_dataHandle != INVALID_HANDLE_VALUE) CloseHandle(m_dataHandle);
  m_dataHandle = INVALID_HANDLE_VALUE;
  m_fullIndex.clear();
  m_liteIndex.clear();
  m_microIndex.clear();
  m_knownResources.clear();
  m_pendingDownloads.clear();
  InterlockedExchange(&m_pendingCount, 0);
  m_downloadedFiles.clear();
  m_downloadBase = GetMicroClientBaseAddress();
  m_entryCount = 0;
  m_totalCount = 0;
  m_reserved = 0;
  m_largestPackedSize = 0;
  m_largestSize = 0;
  m_maskWholeData = false;
  m_lzma = false;
  memset(m_packName, 0, sizeof(m_packName));
  m_handleMode = handleMode;
}

void CFilePackIndexMgr::Close(bool handleMode) {
  CSALocker operation(this);
  m_pendingDeletions.clear();
  ExclusiveHold hold(this);
  ResetLocked(handleMode);
}

bool CFilePackIndexMgr::IsOpen() {
  SharedHold hold(this);
  return IsOpenLocked();
}

std::string CFilePackIndexMgr::PackName() {
  SharedHold hold(this);
  return m_packName;
}

std::string CFilePackIndexMgr::DownloadBase() {
  SharedHold hold(this);
  return m_downloadBase;
}

void CFilePackIndexMgr::PublishDownloadsLocked() {
  for (auto& item : m_pendingDownloads) m_liteIndex[item.first] = item.second;
  m_pendingDownloads.clear();
  InterlockedExchange(&m_pendingCount, 0);
}

void CFilePackIndexMgr::PublishDownloads() {
  ExclusiveHold hold(this);
  PublishDownloadsLocked();
}

bool CFilePackIndexMgr::LookupLiteLocked(const std::string& key, PackEntry* entry) const {
  auto found = m_liteIndex.find(key);
  if (found == m_liteIndex.end()) return false;
  if (entry != nullptr) *entry = found->second;
  return true;
}

bool CFilePackIndexMgr::CurrentEntryLocked(const std::string& key, PackEntry* entry) const {
  if (m_handleMode) return LookupLiteLocked(key, entry);
  auto found = m_fullIndex.find(key);
  if (found == m_fullIndex.end()) return false;
  *entry = found->second.entry;
  return true;
}

bool CFilePackIndexMgr::ReadDownloadedFileLocked(const DownloadedFile& file, uint8_t* buffer) {
  const PackEntry& entry = file.entry;
  const uint32_t expected = StoredLength(entry, m_lzma);
  if (entry.size == 0 || expected == 0) {
    ENGINE_REPORT("false&&\"包长度为0\"");
    return false;
  }
  if (GetFileAttributesA(file.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ENGINE_REPORT("false&&\"文件不存在\"");
    return false;
  }
  // Sized by the file itself: the length check refuses any other length.
  std::string data;
  if (!ReadWholeFile(file.path.c_str(), &data, true, expected)) {
    ENGINE_REPORT("false&&\"子文件长度和压缩长度不匹配\"");
    return false;
  }
  if (!m_lzma) {
    memcpy(buffer, data.data(), expected);
    return true;
  }
  if (UnpackEntryBytes(entry, reinterpret_cast<const uint8_t*>(data.data()), buffer)) return true;
  ENGINE_REPORT("false&&\"解压缩失败\"");
  return false;
}

bool CFilePackIndexMgr::ReadDownloadedFile(const char* key, const PackEntry* entry, uint8_t* buffer) {
  if (key == nullptr || entry == nullptr || buffer == nullptr) {
    ENGINE_REPORT("false&&\"文件数据为空或pPackInfo为空\"");
    return false;
  }
  const std::string name = NormalizeKey(key);
  SharedHold hold(this);
  auto found = m_downloadedFiles.find(name);
  return found != m_downloadedFiles.end() && SameStoredBytes(found->second.entry, *entry, m_lzma) &&
         ReadDownloadedFileLocked(found->second, buffer);
}

}  // namespace FilePack
