// The download interface that every transfer of the suite goes through, and
// the factory that makes its three implementations.
#pragma once
#include <cstdint>

struct HWND__;

// Results of IDownLoad::Download; callers treat 0 and 1 as success.
enum DownLoadResult {
  DOWNLOAD_RESULT_OK = 0,
  DOWNLOAD_RESULT_UPTODATE = 1,
  DOWNLOAD_RESULT_CANCELLED = 2,
  DOWNLOAD_RESULT_FAILED = 3,
};

// The type code given to CreateDownLoad (HttpID in HTTPCONFIG.ini); any value
// other than 0 and 1 selects the HTTP client.
enum DownLoadType {
  DOWNLOAD_INET = 0,
  DOWNLOAD_HTTPGET = 1,
  DOWNLOAD_HTTP = 2,
};

// Retry policies of SetRetry.
enum DownLoadRetry {
  DOWNLOAD_RETRY_NONE = 0,
  DOWNLOAD_RETRY_LIMITED = 1,
  DOWNLOAD_RETRY_ALWAYS = 2,
};

// Total length and bytes done (or bytes since the previous call in delta mode).
typedef void (*DownLoadProgressFunc)(int32_t total, int32_t done);

class IDownLoad {
 public:
  virtual int Init() { return 1; }
  virtual int UnInit() { return 1; }
  virtual int Download(const char* url, const char* localFile, void* reserved, uint32_t start, uint32_t end,
                       int force, uint32_t speedLimit, int fetchBody, int parts) = 0;
  virtual void Cancel() {}
  virtual void SetTimeouts(uint32_t sendMs, uint32_t recvMs, uint32_t connectMs) {}
  virtual void SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) {}
  virtual void SetNotify(HWND__* window, uint32_t message, int enable, int deltaMode) {}
  virtual void SetKeepAlive(bool on) {}
  virtual bool GetKeepAlive() { return false; }
  virtual void CloseConnection() {}
  virtual void SetProgressCallback(DownLoadProgressFunc func) {}
  virtual ~IDownLoad() {}
};

// A new downloader owned by the caller (delete it); null when out of memory.
IDownLoad* CreateDownLoad(int type);

// Policy 1 with a maximum of 0 means 10 tries, for every implementation.
inline uint32_t DownLoadMaxTries(int policy, uint32_t maxTries) {
  return (policy == DOWNLOAD_RETRY_LIMITED && maxTries == 0) ? 10 : maxTries;
}
