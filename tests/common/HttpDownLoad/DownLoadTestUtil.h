// Small helpers shared by the downloader tests.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "common/HttpDownLoad/IDownLoad.h"

namespace testhttp {

// A downloader with 3 tries (the first WinINet object of a session starts
// with none). The default time-outs outlast any answer of a loaded test
// server; a test that needs one to fire passes a short one against a long
// stall.
inline std::unique_ptr<IDownLoad> MakeDownLoad(int type, uint32_t timeoutMs = 30000) {
  std::unique_ptr<IDownLoad> d(CreateDownLoad(type));
  d->SetTimeouts(timeoutMs, timeoutMs, timeoutMs);
  d->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 3);
  return d;
}

// Removes a target with its part and temporary files.
inline void Fresh(const std::string& target) {
  for (const char* suffix : {"", "_0", ".temp"}) DeleteFileA((target + suffix).c_str());
}

inline int Fetch(IDownLoad& d, const std::string& url, const std::string& target, int force = 1, uint32_t start = 0,
                 uint32_t end = 0) {
  return d.Download(url.c_str(), target.c_str(), nullptr, start, end, force, 0, 1, 1);
}

// Modification time of a file in seconds since 1970, -1 when missing.
inline int64_t FileSeconds(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  uint64_t t = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return static_cast<int64_t>(t / 10000000ull) - 11644473600ll;
}

// "Wed, 15 Jun 2022 10:20:30 GMT" as the downloader reads it: local time.
inline int64_t ServedSeconds() {
  std::tm tm = {};
  tm.tm_year = 122, tm.tm_mon = 5, tm.tm_mday = 15, tm.tm_hour = 10, tm.tm_min = 20, tm.tm_sec = 30, tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

}  // namespace testhttp
