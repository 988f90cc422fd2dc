#include "DownLoadFile.h"

#include <atomic>

#include "common/EngineFun/Helper.h"

namespace {
std::atomic<DownLoadWriteHook>& WriteHook() {
  static std::atomic<DownLoadWriteHook> hook{nullptr};
  return hook;
}

// Runs CFile calls; false when one throws.
template <class Call>
bool NoThrow(Call call) {
  try {
    call();
    return true;
  } catch (CFileException* e) {
    e->Delete();
    return false;
  }
}

}  // namespace

DownLoadWriteHook SetDownLoadWriteHook(DownLoadWriteHook hook) { return WriteHook().exchange(hook); }

bool CDownLoadFile::Open(const char* path, DWORD& error) {
  Close();
  CFileException ex;
  if (!m_file.Open(path, CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate | CFile::shareDenyWrite |
                             CFile::typeBinary,
                   &ex)) {
    error = static_cast<DWORD>(ex.m_lOsError);
    return false;
  }
  error = 0;
  return true;
}

bool CDownLoadFile::SeekToEnd() {
  return NoThrow([&] { m_file.SeekToEnd(); });
}

bool CDownLoadFile::Truncate(uint64_t length) {
  return NoThrow([&] {
    m_file.SetLength(length);
    m_file.Seek(static_cast<int64_t>(length), CFile::begin);
  });
}

uint64_t CDownLoadFile::Length() const {
  uint64_t length = 0;
  NoThrow([&] { length = m_file.GetLength(); });
  return length;
}

bool CDownLoadFile::Write(const void* data, uint32_t count) {
  DownLoadWriteHook hook = WriteHook().load();
  bool refused = false;
  bool ok = NoThrow([&] {
    refused = hook && hook(m_file.GetFilePath(), m_file.GetPosition(), count);
    if (!refused) m_file.Write(data, count);
  });
  return ok && !refused;
}

int64_t DownLoadFileLength(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DownLoadReplaceFile(const char* from, const char* target) {
  SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);  // a read-only target would refuse the replace
  SetFileAttributesA(from, FILE_ATTRIBUTE_NORMAL);
  return EngineFunc::EngineFunc_ReplaceFile(from, target);
}

CString DownLoadPartFile(const char* target) {
  CString part;
  part.Format("%s_%d", target, 0);  // the one part a download is cut into
  return part;
}

CString DownLoadTempFile(const char* target) { return CString(target) + ".temp"; }

void RemovePartialDownloads(const std::string& target) {
  for (const CString& side : {DownLoadPartFile(target.c_str()), DownLoadTempFile(target.c_str())}) {
    SetFileAttributesA(side, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(side);
  }
}
