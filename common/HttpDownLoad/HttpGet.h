// The plain-socket GET downloader: one blocking HTTP/1.1 GET per attempt into
// the part file "<target>_0", resumed with a Range request, renamed to the
// target when complete.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <string>

#include "DownLoadSpeed.h"
#include "IDownLoad.h"
#include "afx/AfxString.h"

class CHttpGet : public IDownLoad {
 public:
  CHttpGet();
  int Download(const char* url, const char* localFile, void* reserved, uint32_t start, uint32_t end, int force,
               uint32_t speedLimit, int fetchBody, int parts) override;
  void SetTimeouts(uint32_t sendMs, uint32_t recvMs, uint32_t connectMs) override;
  void SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) override;

  // The request this object sends for the current address (tests compare it).
  std::string BuildRequest(uint32_t start, uint32_t end) const;
  uint32_t MaxTries() const { return m_maxTries; }

 private:
  bool Split();
  bool Attempt(uint32_t start, uint32_t end, int parts);
  bool ProbeLength(uint32_t start, uint32_t end);
  // The one part: the body into `partFile`; true when it is complete.
  bool RunPart(const CString& partFile);
  SOCKET Connect(const CString& host, uint16_t port);
  // Sends the request and reads and parses the header; false on any failure.
  bool Exchange(SOCKET s, uint32_t start, uint32_t end);
  bool ParseHeader(const std::string& header);
  void Fail(int error);

  int32_t m_nLength;
  CString m_strAddress;
  CString m_strTarget;
  CString m_strPath;
  CString m_strHost;
  int m_nRetryPolicy;
  uint32_t m_nRetryInterval;
  uint32_t m_maxTries;
  uint32_t m_nFailures;
  int m_nError;
  uint16_t m_nPort;
  CDownLoadSpeedWindow m_speed;
  uint32_t m_nSpeedLimit;
  int m_nLastStatus;
  CString m_strReferer;
  uint32_t m_nExtraTries;
  uint32_t m_nConnectTimeout;
  uint32_t m_nRecvTimeout;
  uint32_t m_nSendTimeout;
  // Per attempt: the resume offset asked for, and whether the answer restarts
  // the part file (200 to a Range request) or was a 416 to it.
  uint32_t m_nRequestStart;
  bool m_bRewrite;
  bool m_bRangeRefused;
  int m_nAnswer;  // status of the last header read, 0 when none
  bool m_bRangeRestarted;
};
