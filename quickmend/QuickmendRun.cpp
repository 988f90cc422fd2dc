#include "common/HttpDownLoad/SockHelpers.h"

#include "QuickmendRun.h"

#include <process.h>

#include <new>

#include "LauncherInstall.h"
#include "common/HttpDownLoad/DownLoadFile.h"
#include "common/HttpDownLoad/IDownLoad.h"
#include "common/MicroClient/DownLoadPool.h"

namespace {

const DWORD kProgressPollMs = 50;

// The attempt whose download runs on this thread: the progress callback
// carries no context, and the downloaders call it on the downloading thread.
thread_local DownloadAttempt* t_attempt = nullptr;

void OnDownloadProgress(int32_t total, int32_t done) {
  if (t_attempt == nullptr) return;
  t_attempt->total = total;
  t_attempt->done = done;
}

// Each thread owns one reference to its attempt, handed over by Launch, and
// counts itself out as its very last step.
template <void (*Body)(DownloadAttempt&)>
void ThreadEntry(void* param) {
  std::unique_ptr<std::shared_ptr<DownloadAttempt>> held(static_cast<std::shared_ptr<DownloadAttempt>*>(param));
  CQuickmendRun* run = (*held)->run;
  Body(**held);
  held.reset();
  run->ThreadEnded();
}

void DownloadBody(DownloadAttempt& attempt) { attempt.run->RunDownload(attempt); }

AttemptResult InstallAndStart(const CString& url) {
  switch (InstallLauncherPackage(RequiredLauncherVersion(url))) {
    case INSTALL_OK:
      StartLauncher();
      return ATTEMPT_INSTALLED;
    case INSTALL_UNPACK_FAILED:
      return ATTEMPT_UNPACK_FAILED;
    case INSTALL_OUTDATED:
      return ATTEMPT_OUTDATED;
    default:
      return ATTEMPT_VERSION_FAILED;
  }
}

}  // namespace

bool DialogLink::Alive() {
  CSALocker hold(&m_lock);
  return m_window != nullptr;
}

HWND DialogLink::Window() {
  CSALocker hold(&m_lock);
  return m_window;
}

void DialogLink::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  CSALocker hold(&m_lock);
  if (m_window != nullptr) PostMessageA(m_window, message, wParam, lParam);
}

void DialogLink::Detach() {
  CSALocker hold(&m_lock);
  m_window = nullptr;
}

CQuickmendRun::~CQuickmendRun() {
  if (m_threads.load() == 0) TearDown();
}

void CQuickmendRun::Start() {
  m_sockets = Sock_InitSocketLib() == 0;
  InitDownLoadPool();
  m_type = DOWNLOAD_INET;
  m_down.reset(CreateDownLoad(m_type));
  if (m_down != nullptr) m_down->Init();
}

bool CQuickmendRun::Launch(void (*entry)(void*), const std::shared_ptr<DownloadAttempt>& attempt) {
  auto* param = new (std::nothrow) std::shared_ptr<DownloadAttempt>(attempt);
  if (param == nullptr) return false;
  ++m_threads;
  if (_beginthread(entry, 0, param) == static_cast<uintptr_t>(-1)) {
    --m_threads;
    delete param;
    return false;
  }
  return true;
}

bool CQuickmendRun::StartAttempt(const CString& url, const std::shared_ptr<DialogLink>& link) {
  auto attempt = std::make_shared<DownloadAttempt>();
  attempt->run = this;
  attempt->link = link;
  attempt->url = url;
  if (!Launch(&ThreadEntry<&DownloadBody>, attempt)) return false;
  Launch(&ThreadEntry<&CQuickmendRun::RunProgress>, attempt);  // without it only the bar stands still
  return true;
}

void CQuickmendRun::ConfigureForAttempt(HWND notify) {
  if (m_down == nullptr) return;
  m_down->SetProgressCallback(&OnDownloadProgress);
  m_down->SetRetry(DOWNLOAD_RETRY_LIMITED, 1, 5);
  m_down->SetTimeouts(5000, 5000, 5000);
  m_down->SetNotify(notify, WM_QM_DOWNLOAD_NOTIFY, 1, 0);
}

void CQuickmendRun::SwitchType() {
  m_type = m_type == DOWNLOAD_HTTPGET ? DOWNLOAD_INET : DOWNLOAD_HTTPGET;
  std::unique_ptr<IDownLoad> next(CreateDownLoad(m_type));
  if (next != nullptr) {
    next->SetRetry(DOWNLOAD_RETRY_LIMITED, 100, 3);
    next->SetTimeouts(10000, 10000, 10000);
    next->SetKeepAlive(false);
    next->Init();
  }
  m_down = std::move(next);
  if (m_down != nullptr) m_down->Init();
}

bool CQuickmendRun::Fetch(const CString& packageUrl) {
  if (m_down == nullptr) return false;
  // A part file left by an earlier run may belong to another version.
  RemovePartialDownloads(kLauncherPackage);
  int rc = m_down->Download(packageUrl, kLauncherPackage, nullptr, 0, 0, 1, 0, 1, 1);
  return rc == DOWNLOAD_RESULT_OK || rc == DOWNLOAD_RESULT_UPTODATE;
}

void CQuickmendRun::RunDownload(DownloadAttempt& attempt) {
  bool fetched = false;
  if (attempt.link->Alive() && !attempt.url.IsEmpty()) {
    CString packageUrl = PackageUrl(attempt.url);
    t_attempt = &attempt;
    ConfigureForAttempt(attempt.link->Window());
    fetched = Fetch(packageUrl);
    if (!fetched && !m_switched) {
      // The run's first failure tries the other implementation once, without
      // progress callback; later attempts keep it and call it once each.
      m_switched = true;
      SwitchType();
      fetched = Fetch(packageUrl);
    }
    t_attempt = nullptr;
  }
  attempt.succeeded = fetched;
  attempt.finished = true;
  if (!attempt.link->Alive()) return;  // the player closed the window: nothing is installed
  AttemptResult result = attempt.url.IsEmpty() ? ATTEMPT_NO_URL : ATTEMPT_DOWNLOAD_FAILED;
  if (fetched) {
    if (!BeginInstall()) return;  // closed since: nothing is installed
    result = InstallAndStart(attempt.url);
    EndInstall();
  }
  attempt.link->Post(WM_QM_RESULT, result, 0);
}

void CQuickmendRun::RunProgress(DownloadAttempt& attempt) {
  int32_t shownTotal = 0, shownDone = -1;
  while (attempt.link->Alive()) {
    if (attempt.finished) {
      if (attempt.succeeded) {
        int32_t end = attempt.total > 0 ? attempt.total.load() : 1;
        attempt.link->Post(WM_QM_PROGRESS, static_cast<WPARAM>(end), end);
      }
      return;
    }
    int32_t total = attempt.total, done = attempt.done;
    if (total > 0 && (total != shownTotal || done != shownDone)) {
      attempt.link->Post(WM_QM_PROGRESS, static_cast<WPARAM>(done), total);
      shownTotal = total;
      shownDone = done;
    }
    Sleep(kProgressPollMs);
  }
}

void CQuickmendRun::TearDown() {
  if (m_down != nullptr) {
    m_down->UnInit();
    m_down.reset();
  }
  if (m_sockets) WSACleanup();
  m_sockets = false;
}

bool CQuickmendRun::RequestClose() {
  CSALocker hold(&m_installLock);
  if (m_installing) return false;
  m_closing = true;
  return true;
}

bool CQuickmendRun::BeginInstall() {
  CSALocker hold(&m_installLock);
  if (m_closing) return false;
  m_installing = true;
  return true;
}

void CQuickmendRun::EndInstall() {
  CSALocker hold(&m_installLock);
  m_installing = false;
}

void CQuickmendRun::Finish(int exitCode) {
  // A download thread may sit in a blocking call for many seconds: the
  // player who closed the window does not wait for it. No install runs: a
  // close waits for it, and every other end follows one.
  if (m_threads.load() != 0) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
  TearDown();
}
