// Narrow (code page 936) and wide string helpers and code-page conversions.
#pragma once
#include <cstdarg>
#include <string>

namespace StrUtil {

std::string MakeEmpty();
std::string FromCStr(const char* text);
std::string CopyConstruct(const std::string& other);
std::string CopyText(const std::string& other);
std::string CopyTextUnchecked(const std::string& other);
void AssignCStr(std::string& target, const char* text);
void Assign(const std::string& source, std::string& target);
void AssignWide(std::string& target, const wchar_t* text);

void Format(std::string& out, const char* format, ...);
// Formats to exactly the counted length; no limit.
void FormatV(std::string& out, const char* format, va_list args);
std::string& ToLower(std::string& s);
int CompareNoCase(const std::string& a, std::string b);
size_t Find(const std::string& s, const char* text);
int ReplaceAll(std::string& s, std::string pattern, std::string replacement);
// Whether s holds a blank or a control character (below 0x20, or 0x7F): a
// value with one would split a line of words or a command line.
bool HasBlankOrControl(const std::string& s);
std::string Left(const std::string& s, size_t n);
std::string LastChar(const std::string& s);

std::wstring AnsiToWide(const char* text);
std::string WideToAnsi(const wchar_t* text);
std::string WideToUtf8(const wchar_t* text);
std::wstring Utf8ToWide(const char* text);
std::string AnsiToUtf8(const std::string& text);
void Utf8ToAnsi(std::string& out, const char* utf8);

}  // namespace StrUtil
