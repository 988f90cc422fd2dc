// CFile and CFileException on Win32 file handles. Constructors that open
// and the read/write calls throw CFileException* (delete with Delete()).
#pragma once
#include <windows.h>

#include <cstdint>

#include "AfxString.h"

class CFileException {
 public:
  enum Cause {
    none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied, invalidFile,
    removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation, lockViolation, diskFull, endOfFile
  };
  CFileException(int cause = none, long osError = -1, const char* fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
  virtual ~CFileException() {}
  void Delete() { delete this; }
  static int OsErrorToCause(long osError);
  static void ThrowOsError(long osError, const char* fileName);

  int m_cause;
  long m_lOsError;
  CString m_strFileName;
};

class CFile {
 public:
  enum OpenFlags {
    modeRead = 0x0000, modeWrite = 0x0001, modeReadWrite = 0x0002,
    shareCompat = 0x0000, shareExclusive = 0x0010, shareDenyWrite = 0x0020, shareDenyRead = 0x0030,
    shareDenyNone = 0x0040, modeNoInherit = 0x0080, modeCreate = 0x1000, modeNoTruncate = 0x2000,
    typeText = 0x4000, typeBinary = 0x8000, osWriteThrough = 0x10000
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile() : m_hFile(INVALID_HANDLE_VALUE) {}
  CFile(const char* fileName, unsigned openFlags);  // throws
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  BOOL Open(const char* fileName, unsigned openFlags, CFileException* error = nullptr);
  void Close();   // throws on a failed close
  void Abort();   // closes, never throws
  UINT Read(void* buffer, UINT count);          // throws on failure; 0 at the end
  void Write(const void* buffer, UINT count);   // throws unless all bytes were written
  void Flush();
  uint64_t Seek(int64_t offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  uint64_t SeekToEnd() { return Seek(0, end); }
  uint64_t GetLength() const;
  uint64_t GetPosition() const;
  void SetLength(uint64_t length);
  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  const CString& GetFilePath() const { return m_strFileName; }

  HANDLE m_hFile;

 private:
  CString m_strFileName;
};
