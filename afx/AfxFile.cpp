#include "AfxFile.h"

int CFileException::OsErrorToCause(long osError) {
  switch (osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_CANNOT_MAKE: return directoryFull;
    case ERROR_SEEK: case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
  }
}

void CFileException::ThrowOsError(long osError, const char* fileName) {
  throw new CFileException(OsErrorToCause(osError), osError, fileName);
}

CFile::CFile(const char* fileName, unsigned openFlags) : m_hFile(INVALID_HANDLE_VALUE) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) throw new CFileException(error);
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(const char* fileName, unsigned openFlags, CFileException* error) {
  Abort();
  m_strFileName = fileName;
  DWORD access = 0;
  switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
  }
  DWORD share = 0;
  switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;  // exclusive and compat
  }
  DWORD disposition = OPEN_EXISTING;
  if (openFlags & modeCreate) disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL | ((openFlags & osWriteThrough) ? FILE_FLAG_WRITE_THROUGH : 0);
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};
  HANDLE h = CreateFileA(fileName, access, share, &sa, disposition, attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) {
      long os = static_cast<long>(GetLastError());
      error->m_lOsError = os;
      error->m_cause = CFileException::OsErrorToCause(os);
      error->m_strFileName = fileName;
    }
    return FALSE;
  }
  m_hFile = h;
  return TRUE;
}

void CFile::Close() {
  if (m_hFile == INVALID_HANDLE_VALUE) return;
  BOOL ok = CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
  if (!ok) CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
}

void CFile::Abort() {
  if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* buffer, UINT count) {
  if (count == 0) return 0;
  DWORD got = 0;
  if (!ReadFile(m_hFile, buffer, count, &got, nullptr))
    CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
  return got;
}

void CFile::Write(const void* buffer, UINT count) {
  if (count == 0) return;
  DWORD put = 0;
  if (!WriteFile(m_hFile, buffer, count, &put, nullptr))
    CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
  if (put != count) throw new CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

void CFile::Flush() {
  if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile))
    CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
}

uint64_t CFile::Seek(int64_t offset, UINT from) {
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(m_hFile, distance, &result, from))
    CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
  return static_cast<uint64_t>(result.QuadPart);
}

uint64_t CFile::GetLength() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(m_hFile, &size)) CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
  return static_cast<uint64_t>(size.QuadPart);
}

uint64_t CFile::GetPosition() const {
  LARGE_INTEGER zero, result;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(m_hFile, zero, &result, FILE_CURRENT))
    CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
  return static_cast<uint64_t>(result.QuadPart);
}

void CFile::SetLength(uint64_t length) {
  Seek(static_cast<int64_t>(length), begin);
  if (!SetEndOfFile(m_hFile)) CFileException::ThrowOsError(static_cast<long>(GetLastError()), m_strFileName);
}
