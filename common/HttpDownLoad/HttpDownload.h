// The HTTP client downloader: HTTP/1.1 over the Sock_ helpers, optional
// keep-alive, a ".temp" side file, Last-Modified up-to-date test, resume,
// redirects, retry policies, speed limit, progress and cancel.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "DownLoadSpeed.h"
#include "IDownLoad.h"
#include "SockHelpers.h"
#include "afx/AfxString.h"

class CHttpDownload : public IDownLoad {
 public:
  CHttpDownload();
  ~CHttpDownload() override;
  int Download(const char* url, const char* localFile, void* reserved, uint32_t start, uint32_t end, int force,
               uint32_t speedLimit, int fetchBody, int parts) override;
  void Cancel() override { m_bCancel = 1; }
  void SetTimeouts(uint32_t sendMs, uint32_t recvMs, uint32_t connectMs) override;
  void SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) override;
  void SetNotify(HWND__* window, uint32_t message, int enable, int deltaMode) override;
  void SetKeepAlive(bool on) override { m_bKeepAlive = on; }
  bool GetKeepAlive() override { return m_bKeepAlive; }
  void CloseConnection() override;
  void SetProgressCallback(DownLoadProgressFunc func) override { m_pProgress = func; }

  uint32_t MaxTries() const { return m_maxTries; }

 private:
  // kReqResume: the body ended early after the file grew; ask for the rest.
  enum { kReqOk = 0, kReqRetry = 1, kReqCancelled = 2, kReqFailed = 3, kReqResume = 4 };
  bool Split();
  bool OpenConnection();
  int Request(uint32_t& start, uint32_t end);
  int ParseHeader(const std::string& header);
  // Body of the current response into the temporary file: a kReq code.
  int ReadBody(uint32_t& start);
  // Receives in short waits, so that a cancel ends a stall; above 0 when
  // bytes came, else `wait` is 258 after the whole receive time-out.
  int FillRing(DWORD& wait);
  bool RingHoldsLine() const;
  // Until the ring holds a line; false on a time-out, a close or a cancel.
  bool WaitForLine();
  int ReadBlock(char* buffer, DWORD& wait);
  // Uses one try of the policy; false when none is left or cancelled.
  bool TakeTry();
  bool SleepUnlessCancelled(uint32_t ms);
  void Progress();
  int Finish();
  int Fail(int line);

  bool m_bConnected;
  CString m_strAddress;
  CString m_strTarget;
  CString m_strTemp;
  std::atomic<char> m_bCancel;
  int m_bForce;
  bool m_bResume;
  uint32_t m_nDone;
  uint32_t m_nExpected;
  uint32_t m_nWritten;
  int64_t m_tLastModified;
  CString m_strReferer;
  CString m_strUserAgent;
  uint32_t m_nConnectTimeout;
  uint32_t m_nRecvTimeout;
  uint32_t m_nSendTimeout;
  int m_nRetryPolicy;
  uint32_t m_nRetryInterval;
  uint32_t m_maxTries;
  uint32_t m_nTriesUsed;
  bool m_bNotify;
  HWND__* m_hNotifyWnd;
  uint32_t m_nNotifyMsg;
  bool m_bDelta;
  CString m_strHost;
  CString m_strPath;
  uint16_t m_nPort;
  SOCKET m_socket;
  Sock_RecvRing* m_pRing;
  DownLoadProgressFunc m_pProgress;
  uint32_t m_nTotal;
  CDownLoadSpeedWindow m_speed;
  CString m_strRemembered;  // "host:port" the socket is connected to
  sockaddr_in m_addrRemembered;
  bool m_bKeepAlive;
  // Per call.
  uint32_t m_nCallerStart;
  uint32_t m_nCallerEnd;
  uint64_t m_nResumeMark;  // longest temporary file a retry continued
  uint32_t m_nSpeedLimit;
  int m_nStatus;
  uint32_t m_nContentLength;
  uint32_t m_nRedirects;
  bool m_bRangeRestarted;
  bool m_bServerCloses;
};
