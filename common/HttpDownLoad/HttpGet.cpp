#include "HttpGet.h"

#include <cstdio>

#include "DownLoadFile.h"
#include "HttpText.h"
#include "SockHelpers.h"
#include "common/EngineFun/Helper.h"

namespace {

const uint32_t kHttpGetTimeoutCap = 10000;
const size_t kHeaderLimit = 1024;
const int kBlock = 4096;

#define HTTPGET_REPORT(...) EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, __VA_ARGS__)

}  // namespace

CHttpGet::CHttpGet()
    : m_nLength(0), m_nRetryPolicy(0), m_nRetryInterval(0), m_maxTries(0),
      m_nFailures(0), m_nError(0), m_nPort(80), m_nSpeedLimit(0),
      m_nLastStatus(0), m_nExtraTries(1), m_nConnectTimeout(10000), m_nRecvTimeout(10000), m_nSendTimeout(10000),
      m_nRequestStart(0), m_bRewrite(false), m_bRangeRefused(false), m_nAnswer(0), m_bRangeRestarted(false) {
  Sock_EnsureSocketLib();
}

void CHttpGet::SetTimeouts(uint32_t sendMs, uint32_t recvMs, uint32_t connectMs) {
  if (sendMs) m_nSendTimeout = sendMs < kHttpGetTimeoutCap ? sendMs : kHttpGetTimeoutCap;
  if (recvMs) m_nRecvTimeout = recvMs < kHttpGetTimeoutCap ? recvMs : kHttpGetTimeoutCap;
  if (connectMs) m_nConnectTimeout = connectMs < kHttpGetTimeoutCap ? connectMs : kHttpGetTimeoutCap;
}

void CHttpGet::SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) {
  m_nRetryPolicy = policy;
  m_nRetryInterval = intervalMs;
  m_maxTries = DownLoadMaxTries(policy, maxTries);
}

int CHttpGet::Download(const char* url, const char* localFile, void*, uint32_t start, uint32_t end, int, uint32_t speedLimit,
                       int, int parts) {
  if (url == nullptr || localFile == nullptr || *localFile == '\0') {
    ENGINE_ASSERT(false && "文件名为空");
    return DOWNLOAD_RESULT_FAILED;
  }
  if (!HttpText::AddressBytesOk(url)) return DOWNLOAD_RESULT_FAILED;
  // The failure count and the last status carry over from earlier calls, so
  // a server that kept failing is asked less often.
  m_nError = 0;
  m_bRangeRestarted = false;
  m_strAddress = url;
  m_strTarget = localFile;
  m_nSpeedLimit = speedLimit;
  m_speed.Restart();
  m_strAddress.Replace("\\", "/");
  if (!Split()) {
    m_strAddress = "http://" + m_strAddress;
    if (!Split()) {
      HTTPGET_REPORT("解析HTTP文件头失败");
      return DOWNLOAD_RESULT_FAILED;
    }
  }
  for (;;) {
    if (Attempt(start, end, parts)) return DOWNLOAD_RESULT_OK;
    HTTPGET_REPORT("下载失败,错误代码:%d", m_nError);
    m_nError = 0;
    if (m_bRangeRefused) {  // the part file was dropped; fetch it whole once more
      m_bRangeRefused = false;
      continue;
    }
    uint32_t f = m_nFailures, m = m_maxTries, s = static_cast<uint32_t>(m_nLastStatus);
    if (s >= 300 && s <= 399 && f <= m + m_nExtraTries) {
      if (!Split()) {
        HTTPGET_REPORT("解析HTTP文件头失败");
        return DOWNLOAD_RESULT_FAILED;
      }
      continue;
    }
    if (f < m) continue;
    if (s >= 500 && f <= m + m_nExtraTries) continue;
    return DOWNLOAD_RESULT_FAILED;
  }
}

// Host, path and port change only when the whole address is valid.
bool CHttpGet::Split() { return HttpText::SplitAddress(m_strAddress, m_strHost, m_strPath, m_nPort); }

void CHttpGet::Fail(int error) {
  m_nError = error;
  ++m_nFailures;
}

bool CHttpGet::Attempt(uint32_t start, uint32_t end, int parts) {
  if (parts >= 2 && !ProbeLength(start, end)) return false;
  CString partFile = DownLoadPartFile(m_strTarget);
  bool ok = RunPart(partFile);
  if (ok && !DownLoadReplaceFile(partFile, m_strTarget)) {
    Fail(7);
    HTTPGET_REPORT("换名失败");
    ok = false;
  }
  return ok;
}

bool CHttpGet::ProbeLength(uint32_t start, uint32_t end) {
  SOCKET s = Connect(m_strHost, m_nPort);
  if (s == INVALID_SOCKET) return false;
  m_nRequestStart = start;
  if (!Exchange(s, start, end)) {
    closesocket(s);
    Fail(2);
    HTTPGET_REPORT("发送HTTP文件头失败");
    return false;
  }
  shutdown(s, SD_BOTH);
  closesocket(s);
  return true;
}

SOCKET CHttpGet::Connect(const CString& host, uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    Fail(1);
    return INVALID_SOCKET;
  }
  DWORD recvMs = m_nRecvTimeout, sendMs = m_nSendTimeout;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&recvMs), sizeof(recvMs));
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendMs), sizeof(sendMs));
  sockaddr_in address;
  if (!Sock_ResolveName(port, host, &address) ||
      connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    closesocket(s);
    Fail(1);
    return INVALID_SOCKET;
  }
  return s;
}

std::string CHttpGet::BuildRequest(uint32_t start, uint32_t end) const {
  std::string r = "GET " + m_strPath.Str() + " HTTP/1.1\r\n";
  r += "Host: " + m_strHost.Str() + "\r\n";
  r += "Accept: */*\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n";
  if (!m_strReferer.IsEmpty()) r += "Referer: " + m_strReferer.Str() + "\r\n";
  r += "User-Agent: Mozilla/4.0 \t\t\t (compatible; MSIE 5.0; Windows NT; DigExt; Agent;)\r\n";
  r += HttpText::RangeLine(start, end);
  r += "Connection: close\r\n\r\n";
  return r;
}

bool CHttpGet::Exchange(SOCKET s, uint32_t start, uint32_t end) {
  m_nAnswer = 0;
  std::string request = BuildRequest(start, end);
  int sent = send(s, request.data(), static_cast<int>(request.size()), 0);
  if (sent != static_cast<int>(request.size())) {
    shutdown(s, SD_BOTH);
    return false;
  }
  std::string header;
  bool ended = false;
  while (header.size() < kHeaderLimit) {
    char c;
    int n = recv(s, &c, 1, 0);
    if (n < 0) return false;
    if (n == 0) break;
    header += c;
    if (header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0) {
      ended = true;
      break;
    }
  }
  // A header cut by the limit or by a close must not leak into the file.
  if (!ended) return false;
  return ParseHeader(header);
}

bool CHttpGet::ParseHeader(const std::string& header) {
  std::string lower = HttpText::Lower(header);
  int status = 0;
  if (!HttpText::ParseStatus(lower, status)) return false;
  m_nAnswer = status;
  if (status >= 300 && status <= 399) {
    std::string location;
    if (!HttpText::FindField(lower, "location:", location) || location.empty()) return false;
    m_nLastStatus = status;
    m_strReferer = m_strAddress;
    m_strAddress = HttpText::RedirectTarget(m_strAddress, CString(location));
    return false;
  }
  m_nLastStatus = status;
  if (status >= 400) return false;
  std::string value;
  uint32_t length = 0;
  if (!HttpText::FindField(lower, "content-length:", value) || !HttpText::ParseLength(value, length)) return false;
  if (status == 206 && HttpText::FindField(lower, "content-range:", value)) {
    uint32_t from = 0;
    if (!HttpText::ParseRangeStart(value, from) || from != m_nRequestStart) return false;
  }
  // A full body to a resumed request replaces the part file, never follows it.
  m_bRewrite = m_nRequestStart > 0 && status != 206;
  m_nLength = static_cast<int32_t>(length);
  return true;
}

bool CHttpGet::RunPart(const CString& partFile) {
  SOCKET s = Connect(m_strHost, m_nPort);
  if (s == INVALID_SOCKET) return false;
  CDownLoadFile file;
  DWORD error = 0;
  if (!file.Open(partFile, error)) {
    closesocket(s);
    Fail(3);
    HTTPGET_REPORT("下载失败%d", static_cast<int>(error));
    return false;
  }
  if (!file.SeekToEnd()) {
    closesocket(s);
    Fail(3);
    HTTPGET_REPORT("文件定位失败");
    return false;
  }
  uint64_t held = file.Length();
  m_nRequestStart = held > 0x7FFFFFFFull ? 0x7FFFFFFFu : static_cast<uint32_t>(held);
  m_bRewrite = false;
  if (!Exchange(s, m_nRequestStart, 0)) {
    file.Close();
    closesocket(s);
    if (m_nAnswer == 416 && m_nRequestStart > 0 && !m_bRangeRestarted) {
      // The server has less than the part file holds: start over from 0.
      DeleteFileA(partFile);
      m_bRangeRestarted = true;
      m_bRangeRefused = true;
      m_nError = 2;
      return false;
    }
    Fail(2);
    HTTPGET_REPORT("发送HTTP文件头失败");
    return false;
  }
  if (m_bRewrite && !file.Truncate(0)) {
    closesocket(s);
    Fail(3);
    HTTPGET_REPORT("文件定位失败");
    return false;
  }
  int32_t total = m_nLength;
  if (total <= 0) {
    printf("文件下载成功！下载结束！\n");
  } else {
    char buffer[kBlock];
    int32_t received = 0;
    while (received < total) {
      m_speed.Limit(m_nSpeedLimit);
      int want = total - received < kBlock ? total - received : kBlock;
      int n = recv(s, buffer, want, 0);
      if (n <= 0) {
        // A close before the announced length is a failure too; the part file
        // stays for the resume unless the connection broke.
        int code = n < 0 ? WSAGetLastError() : 0;
        file.Close();
        if (n < 0 && code != WSAETIMEDOUT) DeleteFileA(partFile);
        Fail(4);
        closesocket(s);
        return false;
      }
      if (!file.Write(buffer, static_cast<uint32_t>(n))) {
        Fail(5);
        file.Close();
        closesocket(s);
        return false;
      }
      m_speed.Count(static_cast<uint32_t>(n));
      received += n;
      Sleep(1);
    }
  }
  file.Close();
  shutdown(s, SD_BOTH);
  closesocket(s);
  return true;
}
