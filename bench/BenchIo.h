// Timing and whole-file helpers shared by the benchmark programs.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace benchio {

// Seconds on the high-resolution counter.
inline double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// The whole file, empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char buffer[1 << 16];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) out.append(buffer, n);
  fclose(f);
  return out;
}

// Inputs reach the disk before any timing, as the reference tools' inputs do.
inline bool WriteAll(const std::string& path, const void* data, size_t size) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = size == 0 || (WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr) && put == size);
  ok = FlushFileBuffers(h) && ok;
  return CloseHandle(h) && ok;
}

inline bool WriteAll(const std::string& path, const std::string& bytes) {
  return WriteAll(path, bytes.data(), bytes.size());
}

}  // namespace benchio
