// The downloaders' side file: opened for writing without truncation, shared
// for reading only; no call throws. Tests make writes fail (disk full) through
// the write hook.
#pragma once
#include <cstdint>
#include <string>

#include "afx/AfxFile.h"

// Returns true to fail the write of `count` bytes at `offset` of `path`.
typedef bool (*DownLoadWriteHook)(const char* path, uint64_t offset, uint32_t count);
DownLoadWriteHook SetDownLoadWriteHook(DownLoadWriteHook hook);

class CDownLoadFile {
 public:
  CDownLoadFile() {}
  ~CDownLoadFile() { Close(); }
  CDownLoadFile(const CDownLoadFile&) = delete;
  CDownLoadFile& operator=(const CDownLoadFile&) = delete;

  // Creates the file when missing, keeps its bytes; false with the system
  // error in `error`.
  bool Open(const char* path, DWORD& error);
  bool IsOpen() const { return m_file.IsOpen(); }
  bool SeekToEnd();
  // Cuts the file to `length` and continues writing there.
  bool Truncate(uint64_t length);
  uint64_t Length() const;
  // All bytes or false.
  bool Write(const void* data, uint32_t count);
  void Close() { m_file.Abort(); }

 private:
  CFile m_file;
};

// Length of a file on disk, -1 when it does not exist.
int64_t DownLoadFileLength(const char* path);
// Clears the attributes and puts the finished `from` in the place of `target`.
bool DownLoadReplaceFile(const char* from, const char* target);

// The side files downloads are written to: the plain GET's part file and the
// temporary file of the HTTP client and the WinINet downloader (the latter
// starts it anew on each call, never resumes one).
CString DownLoadPartFile(const char* target);
CString DownLoadTempFile(const char* target);
// Removes both, so that a target is never spliced from two servers or two
// versions of a file.
void RemovePartialDownloads(const std::string& target);
