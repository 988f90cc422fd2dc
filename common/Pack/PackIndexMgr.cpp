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
      m_dualLock(CDualLock::Create()),
      m_packName(),
      m_compactProgress(0),
      m_handleMode(false),
      m_maskWholeData(false),
      m_lzma(false),
      m_largestPackedSize(0),
      m_dataHandle(INVALID_HANDLE_VALUE),
      m_downloadBase(GetMicroClientBaseAddress()),
      m_microMode(false),
      m_packNumber(9),
      m_largestSize(0) {
  InitializeCriticalSectionAndSpinCount(&m_knownLock, 4000);
  InitializeCriticalSectionAndSpinCount(&m_pendingLock, 4000);
  InitializeSRWLock(&m_downloadedLock);
  if (m_dualLock == nullptr) ENGINE_REPORT("false&&\"内存不足\"");
}

CFilePackIndexMgr::~CFilePackIndexMgr() {
  Close(false);
  DeleteCriticalSection(&m_knownLock);
  DeleteCriticalSection(&m_pendingLock);
  CDualLock::Destroy(m_dualLock);
}

void CFilePackIndexMgr::CloseFiles() {
  if (m_dataStream.is_open()) m_dataStream.close();
  m_dataStream.clear();
  if (m_dataHandle != INVALID_HANDLE_VALUE) {
    CloseHandle(m_dataHandle);
    m_dataHandle = INVALID_HANDLE_VALUE;
  }
}

void CFilePackIndexMgr::Close(bool handleMode) {
  CSALocker hold(this);
  CloseFiles();
  {
    // Lookups on other threads hold this section; never swap maps under them.
    CSectionHold lookups(&m_dualLock->first);
    m_fullIndex.clear();
    m_liteIndex.clear();
    m_microIndex.clear();
    m_pendingDeletions.clear();
    {
      CSectionHold known(&m_knownLock);
      m_knownResources.clear();
      m_downloadKeys.clear();
    }
    {
      CSectionHold pending(&m_pendingLock);
      m_pendingDownloads.clear();
    }
    AcquireSRWLockExclusive(&m_downloadedLock);
    m_downloadedFiles.clear();
    ReleaseSRWLockExclusive(&m_downloadedLock);
  }
  m_downloadBase = GetMicroClientBaseAddress();
  m_entryCount = 0;
  m_totalCount = 0;
  m_reserved = 0;
  m_largestPackedSize = 0;
  m_largestSize = 0;
  m_maskWholeData = false;
  m_lzma = false;
  memset(m_packName, 0, sizeof(m_packName));
  m_packedScratch.reset();
  m_handleMode = handleMode;
}

bool CFilePackIndexMgr::IsOpen() {
  return m_handleMode ? m_dataHandle != INVALID_HANDLE_VALUE : m_dataStream.is_open();
}

void CFilePackIndexMgr::PublishDownloads() {
  CSectionHold lookups(&m_dualLock->first);
  CSectionHold pending(&m_pendingLock);
  for (auto& item : m_pendingDownloads) m_liteIndex[item.first] = item.second;
  m_pendingDownloads.clear();
}

bool CFilePackIndexMgr::ReadDownloadedFile(const PackEntry* entry, uint8_t* buffer) {
  if (entry == nullptr || buffer == nullptr) {
    ENGINE_REPORT("false&&\"文件数据为空或pPackInfo为空\"");
    return false;
  }
  std::string path;
  AcquireSRWLockShared(&m_downloadedLock);
  auto found = m_downloadedFiles.find(entry->offset);
  if (found != m_downloadedFiles.end()) path = found->second;
  ReleaseSRWLockShared(&m_downloadedLock);
  if (path.empty()) return false;

  const uint32_t expected = StoredLength(*entry, m_lzma);
  if (entry->size == 0 || expected == 0) {
    ENGINE_REPORT("false&&\"包长度为0\"");
    return false;
  }
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ENGINE_REPORT("false&&\"文件不存在\"");
    return false;
  }
  std::string data;
  if (!ReadWholeFile(path.c_str(), &data, true, expected)) {
    ENGINE_REPORT("false&&\"子文件长度和压缩长度不匹配\"");
    return false;
  }
  if (!m_lzma) {
    memcpy(buffer, data.data(), expected);
    return true;
  }
  if (UnpackEntryBytes(*entry, reinterpret_cast<const uint8_t*>(data.data()), buffer)) return true;
  ENGINE_REPORT("false&&\"解压缩失败\"");
  return false;
}

}  // namespace FilePack
