// The WinINet downloader: WinINet does connections and redirects; this adds
// the process-wide session handle, Range requests, the status and length
// tests, the speed limit, progress, bounded retries and the temporary side
// file that replaces the target only whole.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>

#include "DownLoadSpeed.h"
#include "IDownLoad.h"

// The WinINet calls the downloader makes; tests replace them to reach the
// time-out paths that Wine's WinINet never takes.
struct INetApi {
  HINTERNET(WINAPI* open)(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags);
  HINTERNET(WINAPI* openUrl)(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                             DWORD_PTR context);
  BOOL(WINAPI* queryInfo)(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index);
  BOOL(WINAPI* readFile)(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
  BOOL(WINAPI* closeHandle)(HINTERNET handle);
};
// Null restores the real WinINet; returns the previous table.
const INetApi* SetINetApi(const INetApi* api);

class CINetDownLoad : public IDownLoad {
 public:
  CINetDownLoad();
  ~CINetDownLoad() override {}
  int Init() override;
  int UnInit() override;
  int Download(const char* url, const char* localFile, void* reserved, uint32_t start, uint32_t end, int force,
               uint32_t speedLimit, int fetchBody, int parts) override;
  void SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) override;
  void SetNotify(HWND__* window, uint32_t message, int enable, int deltaMode) override { m_bDelta = deltaMode != 0; }
  void SetProgressCallback(DownLoadProgressFunc func) override { m_pProgress = func; }

  uint32_t MaxTries() const { return m_maxTries; }

 private:
  // The shared session for one attempt; null when WinINet cannot open one.
  std::shared_ptr<void> JoinSession();

  uint32_t m_nExpected;
  uint32_t m_nDone;
  bool m_bDelta;
  DownLoadProgressFunc m_pProgress;
  CDownLoadSpeedWindow m_speed;
  int m_nRetryPolicy;
  uint32_t m_nRetryInterval;
  uint32_t m_maxTries;
};
