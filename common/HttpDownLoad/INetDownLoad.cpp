#include "INetDownLoad.h"

#include <objbase.h>

#include <atomic>
#include <memory>
#include <string>

#include "DownLoadFile.h"
#include "HttpText.h"
#include "common/EngineFun/Helper.h"
#include "common/Locks.h"

namespace {

const DWORD kINetTimeout = 12002;  // ERROR_INTERNET_TIMEOUT
const DWORD kBlock = 4096;

const INetApi kRealApi = {InternetOpenA, InternetOpenUrlA, HttpQueryInfoA, InternetReadFile, InternetCloseHandle};

#define INET_PRINT(...) EngineFunc::EngineFunc_DebugPrint(0, __VA_ARGS__)

std::atomic<const INetApi*>& ApiSlot() {
  static std::atomic<const INetApi*> api{&kRealApi};
  return api;
}
const INetApi& Api() { return *ApiSlot().load(); }

// The session shared by every CINetDownLoad of the process. Users take a
// copy, so a session closed by UnInit lives on until the requests opened
// through it are done.
struct INetSession {
  CSemiAutoIntLock lock;
  std::shared_ptr<void> handle;
  bool opened = false;  // a session was opened through the current table
};
INetSession& Session() {
  // Never destroyed: a downloader torn down at static exit may still use it.
  static INetSession* session = new INetSession;
  return *session;
}

// The current session, opened when there is none; null when it cannot be
// opened. `first` tells whether it is the first one opened at all.
std::shared_ptr<void> TakeSession(bool& first) {
  INetSession& session = Session();
  CSALocker hold(&session.lock);
  first = false;
  if (session.handle) return session.handle;
  const INetApi& api = Api();
  HINTERNET handle = api.open("InetURL:/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (handle == nullptr) {
    INET_PRINT("InternetOpen CALL fails GetLastError:%d", static_cast<int>(GetLastError()));
    return nullptr;
  }
  auto close = api.closeHandle;
  session.handle.reset(handle, [close](void* h) { close(static_cast<HINTERNET>(h)); });
  first = !session.opened;
  session.opened = true;
  return session.handle;
}

// Dropped from the shared slot; closed when its last user lets go.
void DropSession(bool forget) {
  INetSession& session = Session();
  std::shared_ptr<void> dropped;
  CSALocker hold(&session.lock);
  dropped.swap(session.handle);
  if (forget) session.opened = false;
}

// A header as text; false when it is missing or unreadable.
bool QueryText(HINTERNET request, DWORD level, std::string& value) {
  char buffer[256];
  DWORD length = sizeof(buffer) - 1;
  if (!Api().queryInfo(request, level, buffer, &length, nullptr)) return false;
  if (length >= sizeof(buffer)) length = sizeof(buffer) - 1;
  buffer[length] = '\0';
  value = HttpText::Trim(buffer);
  return true;
}

}  // namespace

const INetApi* SetINetApi(const INetApi* api) {
  // A session belongs to the table that opened it.
  DropSession(true);
  return ApiSlot().exchange(api ? api : &kRealApi);
}

CINetDownLoad::CINetDownLoad()
    : m_nExpected(0), m_nDone(0), m_bDelta(false), m_pProgress(nullptr), m_nRetryPolicy(0), m_nRetryInterval(0),
      m_maxTries(0) {}

int CINetDownLoad::Init() { return JoinSession() ? 1 : 0; }

std::shared_ptr<void> CINetDownLoad::JoinSession() {
  bool first = false;
  std::shared_ptr<void> session = TakeSession(first);
  // Only the process's first session clears its opener's retries; one opened
  // again after another object's UnInit changes nobody's settings.
  if (first) {
    m_nRetryPolicy = 0;
    m_nRetryInterval = 0;
    m_maxTries = 0;
  }
  return session;
}

int CINetDownLoad::UnInit() {
  // Cleared, so a later Init opens a new session instead of using a dead one.
  DropSession(false);
  // No CoUninitialize: this downloader never initialised COM, and the
  // caller's apartment (a browser's, say) must outlive it.
  return 1;
}

void CINetDownLoad::SetRetry(int policy, uint32_t intervalMs, uint32_t maxTries) {
  m_nRetryPolicy = policy;
  m_nRetryInterval = intervalMs;
  m_maxTries = DownLoadMaxTries(policy, maxTries);
}

int CINetDownLoad::Download(const char* url, const char* localFile, void*, uint32_t start, uint32_t end, int,
                            uint32_t speedLimit, int fetchBody, int) {
  if (url == nullptr || localFile == nullptr || *localFile == '\0') {
    ENGINE_ASSERT(false && "文件名为空");
    return DOWNLOAD_RESULT_FAILED;
  }
  // Checked before the target is touched; WinINet would send such bytes as they are.
  if (!HttpText::AddressBytesOk(url)) return DOWNLOAD_RESULT_FAILED;
  uint32_t tries = 0;
  m_speed.Restart();  // bytes of an earlier call are no part of this one's limit
  // The body goes to a side file that takes the target's name only whole: a
  // kill or a cut leaves the target as it was. Each call starts it anew.
  const CString side = DownLoadTempFile(localFile);
  CDownLoadFile file;
  auto fail = [&]() {
    file.Close();
    SetFileAttributesA(side, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(side);
    return DOWNLOAD_RESULT_FAILED;
  };
  auto finish = [&]() {
    file.Close();
    if (DownLoadReplaceFile(side, localFile)) return DOWNLOAD_RESULT_OK;
    INET_PRINT("下载失败%d", static_cast<int>(GetLastError()));
    return fail();
  };
  for (;;) {  // file set-up
    SetFileAttributesA(side, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(side);
    DWORD openError = 0;
    if (!file.Open(side, openError)) {
      INET_PRINT("下载失败,错误代码%d", static_cast<int>(openError));
      return DOWNLOAD_RESULT_FAILED;
    }
    bool resume = false;
    for (;;) {  // attempt
      ++tries;
      std::shared_ptr<void> session = JoinSession();
      m_nDone = 0;
      m_nExpected = 0;
      CString address(url);
      address.MakeLower();
      address.Replace("\\", "/");
      uint32_t held = static_cast<uint32_t>(file.Length());
      uint32_t from = resume ? held : start;
      std::string header;
      if (resume || start != 0 || end != 0) header = HttpText::RangeLine(from, from < end ? end : 0);
      HINTERNET request =
          Api().openUrl(static_cast<HINTERNET>(session.get()), address, header.empty() ? nullptr : header.c_str(),
                        static_cast<DWORD>(header.size()), INTERNET_FLAG_RELOAD, 0);
      if (request == nullptr) {
        DWORD e = GetLastError();
        if (e == kINetTimeout && tries < m_maxTries) continue;
        INET_PRINT("下载失败%d", static_cast<int>(e));
        return fail();
      }
      DWORD status = 0, statusSize = sizeof(status);
      if (!Api().queryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, nullptr) ||
          (status != 200 && status != 206)) {
        INET_PRINT("下载失败%d", static_cast<int>(GetLastError()));
        Api().closeHandle(request);
        return fail();
      }
      if (fetchBody == 0) {
        Api().closeHandle(request);
        return finish();
      }
      std::string value;
      uint32_t announced = 0;
      if (QueryText(request, HTTP_QUERY_CONTENT_LENGTH, value) && !HttpText::ParseLength(value, announced)) {
        INET_PRINT("下载失败%d", static_cast<int>(status));
        Api().closeHandle(request);
        return fail();
      }
      if (held > 0) {
        uint32_t from = 0;
        bool continues = status == 206 && (!QueryText(request, HTTP_QUERY_CONTENT_RANGE, value) ||
                                           (HttpText::ParseRangeStart(HttpText::Lower(value), from) && from == held));
        // A whole body to a Range request replaces what is there.
        if (!continues && !file.Truncate(0)) {
          Api().closeHandle(request);
          return fail();
        }
      }
      m_nExpected = static_cast<uint32_t>(file.Length()) + announced;
      char buffer[kBlock];
      DWORD got = 0;
      BOOL readOk = TRUE;
      for (;;) {
        got = 0;
        readOk = Api().readFile(request, buffer, kBlock, &got);
        if (!readOk || got == 0) break;
        m_speed.Count(got);
        m_speed.Limit(speedLimit);
        m_nDone += got;
        if (!file.Write(buffer, got)) {
          Api().closeHandle(request);
          return fail();
        }
        Sleep(1);
        if (m_pProgress) {
          m_pProgress(static_cast<int32_t>(announced), static_cast<int32_t>(m_nDone));
          if (m_bDelta) m_nDone = 0;
        }
      }
      DWORD e = GetLastError();
      INET_PRINT("下载跳出%d,%d,%d,%s\n", static_cast<int>(got), static_cast<int>(readOk), static_cast<int>(e),
                 address.GetString());
      uint32_t length = static_cast<uint32_t>(file.Length());
      if (length == m_nExpected) {
        Api().closeHandle(request);
        INET_PRINT("下载成功%s\n", address.GetString());
        return finish();
      }
      if (e == kINetTimeout) {
        INET_PRINT("下载超时%s", address.GetString());
        resume = true;
        if (tries < m_maxTries) {
          Api().closeHandle(request);
          continue;
        }
      }
      Api().closeHandle(request);
      if (tries >= m_maxTries) return fail();
      file.Close();
      INET_PRINT("下载失败%s,长度有问题:文件长度%d,实际下载%d,代码编号:%d\n", address.GetString(),
                 static_cast<int>(length), static_cast<int>(m_nExpected), static_cast<int>(e));
      break;  // delete and fetch anew
    }
  }
}
