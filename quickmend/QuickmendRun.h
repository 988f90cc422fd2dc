// One run of the updater: the global downloader with its type, and the
// download and progress threads of each attempt. The threads reach the
// dialog only by posting to it while it exists.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "afx/AfxString.h"
#include "common/HttpDownLoad/IDownLoad.h"
#include "common/Locks.h"

// Posted to the dialog; codes only, so a message that arrives after the
// dialog is gone is dropped with nothing to free.
const UINT WM_QM_PROGRESS = WM_APP + 1;  // wParam bytes done, lParam bytes in all
const UINT WM_QM_RESULT = WM_APP + 2;    // wParam an AttemptResult
// The downloaders' notify message; the dialog gives it default processing.
const UINT WM_QM_DOWNLOAD_NOTIFY = WM_USER + 1;

enum AttemptResult {
  ATTEMPT_INSTALLED = 0,   // the new launcher is in place and started
  ATTEMPT_NO_URL,
  ATTEMPT_DOWNLOAD_FAILED,
  ATTEMPT_UNPACK_FAILED,
  ATTEMPT_VERSION_FAILED,
  ATTEMPT_OUTDATED,  // shown as a package that cannot be unpacked
};

// The dialog as the threads see it: a window to post to until the dialog
// detaches it on its way out. Posting never blocks on the dialog's thread.
class DialogLink {
 public:
  explicit DialogLink(HWND window) : m_window(window) {}
  bool Alive();
  HWND Window();
  void Post(UINT message, WPARAM wParam, LPARAM lParam);
  void Detach();

 private:
  CSemiAutoIntLock m_lock;
  HWND m_window;
};

// What the two threads of one attempt share.
struct DownloadAttempt {
  class CQuickmendRun* run = nullptr;
  std::shared_ptr<DialogLink> link;
  CString url;  // the command line
  std::atomic<int32_t> total{0};
  std::atomic<int32_t> done{0};
  std::atomic<bool> finished{false};  // the download has returned
  std::atomic<bool> succeeded{false};
};

class CQuickmendRun {
 public:
  CQuickmendRun() = default;
  ~CQuickmendRun();
  CQuickmendRun(const CQuickmendRun&) = delete;
  CQuickmendRun& operator=(const CQuickmendRun&) = delete;

  // Socket library, download pool guard, and a WinINet downloader.
  void Start();
  // Starts the download and progress threads of one attempt; false when the
  // download thread cannot start.
  bool StartAttempt(const CString& url, const std::shared_ptr<DialogLink>& link);
  // The end of the program: tears down the downloader and the socket library,
  // unless a thread still runs; then the process ends at once with exitCode,
  // so nothing is torn down under it.
  void Finish(int exitCode);
  // The install is a section a close cannot cut (between the program and its
  // version record): false while it runs. Once granted, no install starts.
  bool RequestClose();

  // Thread bodies (public for the thread entry points).
  void RunDownload(DownloadAttempt& attempt);
  static void RunProgress(DownloadAttempt& attempt);
  void ThreadEnded() { --m_threads; }

 private:
  bool Launch(void (*entry)(void*), const std::shared_ptr<DownloadAttempt>& attempt);
  void ConfigureForAttempt(HWND notify);
  void SwitchType();
  bool Fetch(const CString& packageUrl);
  void TearDown();
  bool BeginInstall();
  void EndInstall();

  std::unique_ptr<IDownLoad> m_down;
  int m_type = 0;  // 0 WinINet, 1 plain-socket GET
  bool m_switched = false;  // the run's first failure has switched the type
  bool m_sockets = false;
  std::atomic<int> m_threads{0};
  CSemiAutoIntLock m_installLock;
  bool m_installing = false;
  bool m_closing = false;
};
