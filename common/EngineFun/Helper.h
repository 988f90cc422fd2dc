// Assertion sink and checked C-string / memory helpers shared by every module.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace EngineFunc {

int EngineFunc_DebugPrint(int showBox, const char* format, ...);
void EngineFunc_ReportError(int showBox, const char* file, int line, const char* format, ...);
char* EngineFunc_StrNcpy(char* dest, size_t destSize, const char* src, const char* file, int line);
void EngineFunc_MemCpy(void* dest, const void* src, size_t count);
void* EngineFunc_MemZero(void* dest, size_t count);
int EngineFunc_Sprintf(char* dest, size_t destSize, const char* format, ...);
int EngineFunc_StrCmp(const char* a, const char* b);
int EngineFunc_StrLower(char* str, size_t count);
int EngineFunc_I64ToA(char* buffer, size_t bufferSize, int64_t value);
uint64_t EngineFunc_UniqueID();
std::string EngineFunc_ConvertSlash(std::string path);
int EngineFunc_DeleteFile(const char* path);
// Puts a complete side file in the place of target. The side's bytes are
// forced to the disk before the rename, so a power cut after it cannot leave
// the target empty or partial. true: target holds the side's bytes and the
// side name is gone; false: target is as it was, the side stays for the
// caller, and GetLastError tells why.
bool EngineFunc_ReplaceFile(const char* side, const char* target);

// The standard report line: "<file>(<line>) 有断言错误,断言信息:<expression>".
extern const char* const kAssertFormat;

}  // namespace EngineFunc

// Reports a broken precondition with this source file and line; goes on.
// Messages are written as ENGINE_ASSERT(false&&"文件名为空").
#define ENGINE_ASSERT(expr)                                                             \
  do {                                                                                  \
    if (!(expr)) ::EngineFunc::EngineFunc_DebugPrint(1, ::EngineFunc::kAssertFormat, __FILE__, \
                                                     __LINE__, #expr);                  \
  } while (0)

// Same report, but unconditional and usable as an expression statement.
#define ENGINE_REPORT(exprText) \
  ::EngineFunc::EngineFunc_DebugPrint(1, ::EngineFunc::kAssertFormat, __FILE__, __LINE__, exprText)

#define ENGINE_STRNCPY(dest, size, src) ::EngineFunc::EngineFunc_StrNcpy((dest), (size), (src), __FILE__, __LINE__)
