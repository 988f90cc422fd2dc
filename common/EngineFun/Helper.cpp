#include "Helper.h"

#include <windows.h>
#include <intrin.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ReportSink.h"
#include "afx/AfxScoped.h"
#include "common/StrUtil.h"

namespace EngineFunc {

const char* const kAssertFormat = "%s(%d) 有断言错误,断言信息:%s";

namespace {

const size_t kReportBuffer = 4096;

// A bounded print into the report buffer; false when the text would not fit
// with its terminator (4096 characters or more) or formatting failed.
bool FormatReport(char (&buffer)[kReportBuffer], const char* format, va_list args) {
  int n = vsnprintf(buffer, kReportBuffer, format, args);
  return n >= 0 && static_cast<size_t>(n) < kReportBuffer;
}

bool BadRange(const void* p, size_t count) { return IsBadReadPtr(p, count) != FALSE; }

void ReportOverflow(int line) { EngineFunc_DebugPrint(1, kAssertFormat, __FILE__, line, "false&&\"有错误\""); }

// An overlong text is never output; only the overflow report is.
bool FormatOrReport(char (&buffer)[kReportBuffer], const char* format, va_list args) {
  if (FormatReport(buffer, format, args)) return true;
  ReportOverflow(__LINE__);
  return false;
}

}  // namespace

int EngineFunc_DebugPrint(int showBox, const char* format, ...) {
  if (format == nullptr) return 0;
  char buffer[kReportBuffer];
  va_list args;
  va_start(args, format);
  bool fits = FormatOrReport(buffer, format, args);
  va_end(args);
  if (fits) EmitReport(showBox, buffer);
  return 0;
}

void EngineFunc_ReportError(int showBox, const char* file, int line, const char* format, ...) {
  if (format == nullptr) return;
  char buffer[kReportBuffer];
  va_list args;
  va_start(args, format);
  bool fits = FormatOrReport(buffer, format, args);
  va_end(args);
  if (!fits) return;
  // EngineFunc_Sprintf formats into its own buffer first, so the message may
  // be an argument of its own destination.
  if (EngineFunc_Sprintf(buffer, kReportBuffer - 1, "有断言错误,断言信息:%s文件的%d行。信息:%s",
                         file ? file : "", line, buffer) != 1) {
    EngineFunc_Sprintf(buffer, kReportBuffer - 1, "有断言错误,断言信息:OutputDebugAssert使用失败:%s文件的%d行",
                       file ? file : "", line);
  }
  if (buffer[0] != '\0') EmitReport(showBox, buffer);
}

char* EngineFunc_StrNcpy(char* dest, size_t destSize, const char* src, const char* file, int line) {
  if (file == nullptr) return nullptr;
  if (dest == nullptr || src == nullptr) {
    EngineFunc_ReportError(1, file, line, "EngineFunc::EngineFunc_StrNcpy error, src or dst is null");
    return nullptr;
  }
  if (BadRange(dest, destSize)) {
    EngineFunc_ReportError(1, file, line, "EngineFunc::EngineFunc_StrNcpy error");
    return nullptr;
  }
  size_t length = strnlen(src, destSize);
  EngineFunc_MemZero(dest, destSize);
  if (length == destSize) {
    if (strchr(src, '%') == nullptr)
      EngineFunc_ReportError(1, file, line, "EngineFunc::EngineFunc_StrNcpy error:源信息:%s,目标长度:%d", src,
                             static_cast<int>(destSize));
    else
      EngineFunc_ReportError(1, file, line, "EngineFunc::EngineFunc_StrNcpy error");
    return nullptr;
  }
  if (BadRange(src, length)) {
    ENGINE_REPORT("!IsBadReadPtr( strSource, nSource)");
    return nullptr;  // never copy from a range known to be bad
  }
  memcpy(dest, src, length);
  dest[length] = '\0';
  return dest;
}

void EngineFunc_MemCpy(void* dest, const void* src, size_t count) {
  if (dest == nullptr || src == nullptr || count == 0) return;
  bool bad = false;
  if (BadRange(dest, count)) {
    ENGINE_REPORT("!IsBadReadPtr( pDest, usnCount)");
    bad = true;
  }
  if (BadRange(src, count)) {
    ENGINE_REPORT("!IsBadReadPtr( pSoures, usnCount)");
    bad = true;
  }
  if (bad) return;
  memmove(dest, src, count);
}

void* EngineFunc_MemZero(void* dest, size_t count) {
  if (dest == nullptr) return nullptr;
  if (BadRange(dest, count)) {
    ENGINE_REPORT("!IsBadReadPtr( dest, count)");
    return dest;
  }
  memset(dest, 0, count);
  return dest;
}

int EngineFunc_Sprintf(char* dest, size_t destSize, const char* format, ...) {
  if (destSize >= kReportBuffer) {
    ENGINE_REPORT("false");
    return -1;
  }
  char buffer[kReportBuffer] = {};
  va_list args;
  va_start(args, format);
  bool fits = format != nullptr && FormatOrReport(buffer, format, args);
  va_end(args);
  if (!fits) return 0;
  if (dest != nullptr && BadRange(dest, destSize)) {
    ENGINE_REPORT("!IsBadReadPtr( buffer, sizeOfBuffer)");
    return 0;
  }
  // A text that does not fit leaves dest zero-filled; that is a failure.
  return EngineFunc_StrNcpy(dest, destSize, buffer, __FILE__, __LINE__) != nullptr ? 1 : 0;
}

int EngineFunc_StrCmp(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return -1;
  return strcmp(a, b);
}

int EngineFunc_StrLower(char* str, size_t count) {
  if (str == nullptr) return -1;
  if (BadRange(str, count)) {
    ENGINE_REPORT("!IsBadReadPtr( str, numberOfElements)");
    return -1;
  }
  for (size_t i = 0; i < count; ++i)
    if (str[i] >= 'A' && str[i] <= 'Z') str[i] = static_cast<char>(str[i] + 32);
  return 1;
}

int EngineFunc_I64ToA(char* buffer, size_t bufferSize, int64_t value) {
  if (buffer == nullptr) return -1;
  if (bufferSize == 0) return EINVAL;
  char digits[24];
  int n = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[n++] = '-';
  if (static_cast<size_t>(n) + 1 > bufferSize) {
    buffer[0] = '\0';
    return ERANGE;
  }
  for (int i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
  buffer[n] = '\0';
  return 0;
}

uint64_t EngineFunc_UniqueID() {
  uint64_t seconds = static_cast<uint64_t>(time(nullptr));
  return (seconds << 31) | static_cast<uint32_t>(__rdtsc());
}

std::string EngineFunc_ConvertSlash(std::string path) {
  StrUtil::ReplaceAll(path, "\\", "/");
  StrUtil::ToLower(path);
  return path;
}

int EngineFunc_DeleteFile(const char* path) {
  if (path == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return 0;
  }
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return -1;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path) ? 0 : -1;
}

bool EngineFunc_ReplaceFile(const char* side, const char* target) {
  if (side == nullptr || target == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  {
    // Flushing needs a handle that may write.
    afx::ScopedHandle h(CreateFileA(side, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h || !FlushFileBuffers(h.Get())) return false;
  }
  return MoveFileExA(side, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace EngineFunc
