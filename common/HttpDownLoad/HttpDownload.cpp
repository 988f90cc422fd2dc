#include "HttpDownload.h"

#include <cstring>
#include <ctime>
#include <vector>

#include "DownLoadFile.h"
#include "HttpText.h"
#include "common/EngineFun/Helper.h"
#include "common/StrUtil.h"

namespace {

enum { kParseOk = 0, kParseRetry = 1, kParseRedirect = 2, kParseFailed = 3 };

const size_t kHeaderCap = 64 * 1024;
const uint32_t kRedirectCap = 10;
const int kRememberedMax = 3071;
const uint32_t kCancelSlice = 100;  // ms; how soon a cancel ends a wait

int64_t FileTimeToSeconds(const FILETIME& ft) {
  uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(t / 10000000ull) - 11644473600ll;
}

bool SetModifiedTime(const char* path, int64_t seconds) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  uint64_t t = static_cast<uint64_t>(seconds + 11644473600ll) * 10000000ull;
  FILETIME ft = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  return ok != FALSE;
}

bool ModifiedTime(const char* path, int64_t& seconds, int64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  seconds = FileTimeToSeconds(data.ftLastWriteTime);
  size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace

CHttpDownload::CHttpDownload()
    : m_bConnected(false), m_bCancel(0), m_bForce(0), m_bResume(false), m_nDone(0), m_nExpected(0), m_nWritten(0),
      m_tLastModified(0), m_strUserAgent("Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)"), m_nConnectTimeout(10000),
      m_nRecvTimeout(10000), m_nSendTimeout(10000), m_nRetryPolicy(0), m_nRetryInterval(0), m_maxTries(0),
      m_nTriesUsed(0), m_bNotify(false), m_hNotifyWnd(nullptr), m_nNotifyMsg(0), m_bDelta(false), m_nPort(80),
      m_socket(INVALID_SOCKET), m_pRing(nullptr), m_pProgress(nullptr), m_nTotal(0), m_bKeepAlive(false),
      m_nCallerStart(0), m_nCallerEnd(0), m_nResumeMark(0), m_nSpeedLimit(0), m_nStatus(0), m_nContentLength(0),
      m_nRedirects(0), m_bRangeRestarted(false), m_bServerCloses(false) {
  std::memset(&m_addrRemembered, 0, sizeof(m_addrRemembered));
  Sock_EnsureSocketLib();
}

CHttpDownload::~CHttpDownload() { CloseConnection(); }

void CHttpDownload::SetTimeouts(uint32_t sendMs, uint32_t recvMs, uint32_t connectMs) {
  if (sendMs) m_nSendTimeout = sendMs;
  if (recvMs) m_nRecvTimeout = recvMs;
  if (connectMs) m_nConnectTimeout = connectMs;
}

void CHttpDownload::SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) {
  m_nRetryPolicy = policy;
  m_nRetryInterval = intervalMs;
  m_maxTries = DownLoadMaxTries(policy, maxTries);
}

void CHttpDownload::SetNotify(HWND__* window, uint32_t message, int enable, int deltaMode) {
  if (enable && window && IsWindow(window)) {
    m_hNotifyWnd = window;
    m_nNotifyMsg = message;
    m_bNotify = true;
  } else {
    m_hNotifyWnd = nullptr;
    m_nNotifyMsg = 0;
    m_bNotify = false;
  }
  m_bDelta = deltaMode != 0;
}

void CHttpDownload::CloseConnection() {
  Sock_FreeRecvRing(m_pRing);
  m_pRing = nullptr;
  if (m_socket != INVALID_SOCKET) Sock_CloseSocket(m_socket);
  m_socket = INVALID_SOCKET;
  m_bConnected = false;
}

int CHttpDownload::Fail(int line) {
  EngineFunc::EngineFunc_ReportError(1, __FILE__, line, "下载失败");
  CloseConnection();
  return DOWNLOAD_RESULT_FAILED;
}

// Host, path and port change only when the whole address is valid.
bool CHttpDownload::Split() { return HttpText::SplitAddress(m_strAddress, m_strHost, m_strPath, m_nPort); }

bool CHttpDownload::SleepUnlessCancelled(uint32_t ms) {
  for (uint32_t slept = 0; slept < ms; slept += kCancelSlice) {
    if (m_bCancel) return false;
    Sleep(ms - slept < kCancelSlice ? ms - slept : kCancelSlice);
  }
  return !m_bCancel;
}

bool CHttpDownload::TakeTry() {
  if (m_nRetryPolicy == DOWNLOAD_RETRY_LIMITED) {
    if (++m_nTriesUsed > m_maxTries) return false;
  } else if (m_nRetryPolicy != DOWNLOAD_RETRY_ALWAYS) {
    return false;
  }
  return m_nRetryInterval == 0 || SleepUnlessCancelled(m_nRetryInterval);
}

void CHttpDownload::Progress() {
  if (!m_bNotify || m_pProgress == nullptr) return;
  m_pProgress(static_cast<int32_t>(m_nTotal), static_cast<int32_t>(m_nDone));
  if (m_bDelta) m_nDone = 0;
}

int CHttpDownload::Download(const char* url, const char* localFile, void*, uint32_t start, uint32_t end, int force,
                            uint32_t speedLimit, int, int) {
  m_bCancel = 0;
  m_bForce = force;
  m_nTriesUsed = 0;
  m_nRedirects = 0;
  m_bRangeRestarted = false;
  m_nSpeedLimit = speedLimit;
  m_speed.Restart();
  if (!HttpText::AddressBytesOk(url)) return DOWNLOAD_RESULT_FAILED;
  m_strAddress = url ? url : "";
  m_strAddress.MakeLower();
  m_strAddress.Replace("\\", "/");
  m_strAddress.Trim();
  if (m_strAddress.IsEmpty()) return Fail(__LINE__);
  if (!Split()) {
    m_strAddress = "http://" + m_strAddress;
    if (!Split()) return Fail(__LINE__);
  }
  m_strPath = StrUtil::AnsiToUtf8(m_strPath.Str());
  m_strTarget = localFile ? localFile : "";
  m_strTarget.Trim();
  if (m_strTarget.IsEmpty()) return Fail(__LINE__);
  m_strTemp = DownLoadTempFile(m_strTarget);
  m_nDone = m_nTotal = m_nExpected = m_nWritten = 0;
  m_nCallerStart = start;
  m_nCallerEnd = end;
  m_nResumeMark = 0;
  bool firstPass = true;
  for (;;) {
    int r = Request(start, end);
    if (r == kReqCancelled) {
      CloseConnection();
      return DOWNLOAD_RESULT_CANCELLED;
    }
    if (r == kReqRetry) {
      CloseConnection();
      if (m_bCancel) return DOWNLOAD_RESULT_CANCELLED;
      if (!TakeTry()) return m_bCancel ? DOWNLOAD_RESULT_CANCELLED : Fail(__LINE__);
      continue;
    }
    if (r != kReqOk) return Fail(__LINE__);
    if (m_nExpected == 0) return Fail(__LINE__);
    if (!force) {
      int64_t mtime = 0, size = -1;
      int64_t diff = 0;
      if (ModifiedTime(m_strTarget, mtime, size) && (diff = mtime - m_tLastModified, diff >= -2 && diff <= 2) &&
          size == static_cast<int64_t>(m_nTotal)) {
        CloseConnection();  // the body stays unread
        return DOWNLOAD_RESULT_UPTODATE;
      }
    }
    if (firstPass && m_bNotify && m_pProgress) {
      for (int i = 0; i < 3; ++i) m_pProgress(static_cast<int32_t>(m_nTotal), static_cast<int32_t>(m_nDone));
    }
    firstPass = false;
    r = ReadBody(start);
    if (r == kReqOk) return Finish();
    if (r == kReqCancelled) return DOWNLOAD_RESULT_CANCELLED;
    if (r == kReqFailed) return DOWNLOAD_RESULT_FAILED;
    if (r == kReqResume) continue;
    // A body that made no progress or could not be written costs a try.
    if (!TakeTry()) return m_bCancel ? DOWNLOAD_RESULT_CANCELLED : Fail(__LINE__);
  }
}

int CHttpDownload::FillRing(DWORD& wait) {
  for (uint32_t waited = 0;;) {
    uint32_t left = m_nRecvTimeout - waited;
    uint32_t slice = left < kCancelSlice ? left : kCancelSlice;
    wait = 0;
    int n = Sock_FillRecvRing(m_pRing, slice, &wait);
    if (n > 0 || wait != kSockWaitTimeout) return n;
    waited += slice;
    if (m_bCancel || waited >= m_nRecvTimeout) return 0;
  }
}

int CHttpDownload::ReadBlock(char* buffer, DWORD& wait) {
  wait = 0;
  if (m_pRing->held == 0 && FillRing(wait) <= 0) return 0;
  return Sock_ReadBlock(&wait, m_pRing, 0, buffer);
}

bool CHttpDownload::RingHoldsLine() const {
  uint32_t scan = m_pRing->held < kSockLineMax - 1 ? m_pRing->held : kSockLineMax - 1;
  if (scan == kSockLineMax - 1) return true;  // a full piece is there either way
  for (uint32_t i = 0, at = m_pRing->readPos; i < scan; ++i, at = (at + 1) % m_pRing->size)
    if (m_pRing->data[at] == '\n') return true;
  return false;
}

bool CHttpDownload::WaitForLine() {
  // A close ends the header too: the close is reported once, a second wait
  // would not see it.
  DWORD wait = 0;
  while (!RingHoldsLine())
    if (FillRing(wait) <= 0) return false;
  return true;
}

int CHttpDownload::ReadBody(uint32_t& start) {
  CDownLoadFile file;
  DWORD error = 0;
  if (!file.Open(m_strTemp, error)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "下载失败%d", static_cast<int>(error));
    CloseConnection();
    return kReqFailed;
  }
  // A response that continues the file goes right after the bytes it was
  // asked for (anything older beyond them is stale); any other replaces it.
  uint64_t held = file.Length();
  uint64_t keep = m_bResume ? m_nDone : 0;
  if (held < keep || !file.Truncate(keep)) {
    file.Close();
    Fail(__LINE__);
    return kReqFailed;
  }
  m_nWritten = 0;
  std::vector<char> buffer(kSockRingSize + 1);
  while (m_nWritten < m_nExpected) {
    m_speed.Limit(m_nSpeedLimit);
    if (m_bCancel) {
      file.Close();
      CloseConnection();
      return kReqCancelled;
    }
    std::memset(buffer.data(), 0, buffer.size());
    DWORD wait = 0;
    int n = ReadBlock(buffer.data(), wait);
    if (n <= 0) {
      if (m_bCancel) {
        file.Close();
        CloseConnection();
        return kReqCancelled;
      }
      // Whatever ended the body (a time-out or a close), the next request
      // asks for what follows the bytes already held. It is free when the
      // file grew; a body that gets nowhere uses a try.
      uint64_t length = file.Length();
      start = m_nCallerStart + static_cast<uint32_t>(length);
      file.Close();
      CloseConnection();
      if (length <= m_nResumeMark) return kReqRetry;
      m_nResumeMark = length;
      return kReqResume;
    }
    uint32_t count = static_cast<uint32_t>(n);
    // Bytes past the announced length belong to no file; the stream is out of
    // step, so the connection is not kept.
    if (count > m_nExpected - m_nWritten) {
      count = m_nExpected - m_nWritten;
      m_bServerCloses = true;
    }
    if (!file.Write(buffer.data(), count)) {
      file.Close();
      CloseConnection();
      return kReqRetry;
    }
    m_speed.Count(count);
    m_nWritten += count;
    m_nDone += count;
    Progress();
  }
  file.Close();
  return kReqOk;
}

int CHttpDownload::Finish() {
  if (!m_bKeepAlive || m_bServerCloses) CloseConnection();
  if (!DownLoadReplaceFile(m_strTemp, m_strTarget)) return Fail(__LINE__);
  if (!SetModifiedTime(m_strTarget, m_tLastModified)) return Fail(__LINE__);
  return DOWNLOAD_RESULT_OK;
}

bool CHttpDownload::OpenConnection() {
  CloseConnection();
  m_socket = WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (m_socket == INVALID_SOCKET) return false;
  if (Sock_SetSocketOptions(m_socket) != 0) {
    CloseConnection();
    return false;
  }
  m_pRing = Sock_CreateRecvRing(m_socket);
  if (m_pRing == nullptr) {
    CloseConnection();
    return false;
  }
  m_bConnected = false;
  return true;
}

int CHttpDownload::Request(uint32_t& start, uint32_t end) {
  for (;;) {
    m_nExpected = 0;
    m_nDone = 0;
    m_bServerCloses = false;
    CString hostKey;
    hostKey.Format("%s:%u", m_strHost.GetString(), static_cast<unsigned>(m_nPort));
    bool needConnect = true;
    if (m_bKeepAlive && hostKey == m_strRemembered && m_socket != INVALID_SOCKET && m_bConnected) {
      Sock_FreeRecvRing(m_pRing);
      m_pRing = Sock_CreateRecvRing(m_socket);
      if (m_pRing == nullptr) return kReqFailed;
      needConnect = false;
    } else if (!OpenConnection()) {
      return kReqFailed;
    }
    if (m_bCancel) return kReqCancelled;
    if (needConnect) {
      if (hostKey != m_strRemembered) {
        m_strRemembered = hostKey.Left(kRememberedMax);
        if (Sock_ConnectByName(m_nPort, m_strHost, m_socket, m_nConnectTimeout, &m_addrRemembered) != 0) {
          m_strRemembered.Empty();  // its address is not known
          return kReqRetry;
        }
      } else {
        while (Sock_ConnectWithTimeout(m_socket, &m_addrRemembered, m_nConnectTimeout) != 0) {
          if (m_nTriesUsed > m_maxTries) return kReqRetry;
          ++m_nTriesUsed;
          if (m_nRetryInterval && !SleepUnlessCancelled(m_nRetryInterval)) return kReqCancelled;
          // A socket whose connect failed cannot connect again.
          if (!OpenConnection()) return kReqFailed;
        }
      }
      m_bConnected = true;
    }
    std::string request = "GET " + m_strPath.Str() + " HTTP/1.1\r\n";
    request += "Host: " + m_strHost.Str() + "\r\n";
    request += "Accept: */*\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n";
    request += "User-Agent: " + m_strUserAgent.Str() + "\r\n";
    if (!m_strReferer.IsEmpty()) request += "Referer: " + m_strReferer.Str() + "\r\n";
    request += m_bKeepAlive ? "Connection: Keep-Alive\r\n" : "Connection: close\r\n";
    bool ranged = false;
    if (start != 0 || end != 0) {
      request += HttpText::RangeLine(start, start < end ? end : 0);
      ranged = true;
      // What the temporary file already holds when a time-out resumes it.
      m_nDone = start >= m_nCallerStart ? start - m_nCallerStart : 0;
    } else if (!m_bForce) {
      int64_t held = DownLoadFileLength(m_strTemp);
      if (held > 0) {
        m_nDone = held > 0x7FFFFFFF ? 0x7FFFFFFFu : static_cast<uint32_t>(held);
        request += HttpText::RangeLine(m_nDone, 0);
        ranged = true;
      }
    }
    request += "\r\n";
    for (size_t sent = 0; sent < request.size();) {
      int n = Sock_SendWithTimeout(m_socket, request.data() + sent, static_cast<int>(request.size() - sent),
                                   m_nSendTimeout);
      if (n <= 0) return kReqRetry;
      sent += static_cast<size_t>(n);
    }
    if (m_bCancel) return kReqCancelled;
    std::string header;
    char line[kSockLineMax + 1];
    int state = 0, previous = 0;
    for (;;) {
      if (!WaitForLine()) return m_bCancel ? kReqCancelled : kReqRetry;
      if (Sock_ReadLine(m_pRing, line, &state, m_nRecvTimeout) != 0) return kReqRetry;
      // The empty rest of a line cut at 1023 bytes is not the header's end.
      if (state == 0 && line[0] == '\0' && previous == 0) break;
      header += line;
      if (state == 0) header += "\r\n";
      previous = state;
      if (header.size() > kHeaderCap) return kReqFailed;
    }
    int parsed = ParseHeader(header);
    if (parsed == kParseOk) {
      m_nExpected = m_nContentLength;
      if (!ranged) {
        m_bResume = false;
        m_nTotal = m_nExpected;
      } else if (m_nStatus == 206) {
        m_nTotal = m_nExpected + m_nDone;
        m_bResume = true;
      } else {
        m_bResume = false;
        m_nDone = 0;
        m_nTotal = m_nExpected;
      }
      return kReqOk;
    }
    if (parsed == kParseRetry) return kReqRetry;
    if (parsed == kParseRedirect) {
      CloseConnection();  // its body stays unread
      if (++m_nRedirects > kRedirectCap) return kReqFailed;
      continue;
    }
    if (m_nStatus == 416 && ranged && !m_bRangeRestarted) {
      // The server holds less than the temporary file: start over from 0.
      m_bRangeRestarted = true;
      DeleteFileA(m_strTemp);
      start = m_nCallerStart;
      CloseConnection();
      continue;
    }
    return kReqFailed;
  }
}

int CHttpDownload::ParseHeader(const std::string& header) {
  m_nContentLength = 0;
  m_nStatus = 0;
  m_tLastModified = static_cast<int64_t>(time(nullptr));
  std::string lower = HttpText::Lower(header);
  int status = 0;
  if (!HttpText::ParseStatus(lower, status)) return kParseFailed;
  m_nStatus = status;
  std::string value;
  if (status >= 300 && status <= 399) {
    if (!HttpText::FindField(lower, "location:", value) || value.empty()) return kParseFailed;
    m_strReferer = m_strAddress;
    // A root path keeps scheme, host and port; the address follows it too,
    // so that a later relative Location starts from where this one led.
    m_strAddress = HttpText::RedirectTarget(m_strAddress, CString(value));
    return Split() ? kParseRedirect : kParseFailed;
  }
  if (status >= 500) return kParseRetry;
  if (status >= 400) return kParseFailed;
  if (!HttpText::FindField(lower, "content-length:", value) || !HttpText::ParseLength(value, m_nContentLength))
    return kParseFailed;
  if (status == 206 && HttpText::FindField(lower, "content-range:", value)) {
    uint32_t from = 0;
    // A range other than the one asked for would splice the file.
    if (!HttpText::ParseRangeStart(value, from) || from != m_nDone + m_nCallerStart) return kParseFailed;
  }
  int64_t seconds = 0;
  if (HttpText::FindField(lower, "last-modified:", value) && HttpText::ParseHttpDate(value, seconds))
    m_tLastModified = seconds;
  if (HttpText::FindField(lower, "connection:", value) && value == "close") m_bServerCloses = true;
  return kParseOk;
}
