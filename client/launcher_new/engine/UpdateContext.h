// The state of one update run, passed explicitly to every step of the
// engine. Counters and flags that threads poll are atomic; strings shared
// between threads are read as copies under the lock.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineFiles.h"
#include "ServerList.h"
#include "UpdateCfg.h"
#include "UpdateRun.h"
#include "common/HttpDownLoad/IDownLoad.h"
#include "common/Locks.h"

// The folder every package is downloaded into.
extern const char* const kPatchTemp;  // "LauncherCfg/PatchTemp"

// Everything the global downloader was told, so that a new downloader of
// another type is told the same.
struct DownloaderSettings {
  int retryPolicy = DOWNLOAD_RETRY_LIMITED;
  uint32_t retryInterval = 1;
  uint32_t retryTries = 5;
  uint32_t sendMs = 5000, recvMs = 5000, connectMs = 5000;
  HWND__* notifyWindow = nullptr;
  uint32_t notifyMessage = 0;
  int notifyEnable = 0;
  int notifyDelta = 0;
  DownLoadProgressFunc progress = nullptr;
};

class UpdateContext {
 public:
  explicit UpdateContext(IUpdateWindow* window);
  ~UpdateContext();
  UpdateContext(const UpdateContext&) = delete;
  UpdateContext& operator=(const UpdateContext&) = delete;

  // The run whose progress the downloaders' context-free callback feeds.
  static UpdateContext* Active();

  // ---- the window
  IUpdateWindow& Window() { return *m_window; }
  UpdateSettings Settings() { return m_window->Settings(); }
  std::string Text(int32_t id) { return m_window->Text(id); }
  // Blocking, as the protocol wants; returns when the handler has run.
  void Send(unsigned message);
  // A box through the message-box seam with caption text captionId; owned
  // by the main window when asked.
  int ShowTextBox(const std::string& text, int32_t captionId, unsigned type, bool owned);
  int ShowBox(int32_t textId, int32_t captionId, unsigned type, bool owned);

  // ---- the stage machine: every change goes through SetStage
  UpdateStage Stage() const { return static_cast<UpdateStage>(m_stage.load()); }
  void SetStage(UpdateStage stage);
  void SetStageObserver(UpdateRun::StageObserver observer, void* context);

  // ---- counters and flags polled across threads
  std::atomic<int32_t> progressDone{0};
  std::atomic<int32_t> progressTotal{1};
  std::atomic<int32_t> clientCheckDone{0};
  std::atomic<int32_t> clientCheckTotal{0};
  std::atomic<bool> updatePrepare{false};
  std::atomic<bool> pingDone{false};
  std::atomic<bool> quitting{false};
  std::atomic<bool> packsChanged{false};
  void SetMergeProgress(int32_t merged, int32_t toMerge);

  // ---- strings shared between threads
  LocalVersions Local() const;
  void TakeUpdateCfg(const LauncherCfg::UpdateCfg& cfg);
  void SetLocalVersion(const std::string& version, const std::string& clientVersion);
  std::string RequiredLauncherVersion() const;
  void SetRequiredLauncherVersion(const std::string& version);
  std::string PendingShowVersion() const;
  void SetPendingShowVersion(const std::string& version);
  std::string LauncherLoginArgs() const;
  void SetLauncherLoginArgs(const std::string& args);
  int32_t BaseArea() const { return m_baseArea.load(); }
  void SetBaseArea(int32_t area) { m_baseArea = area; }
  // The patch base address, chosen once per run.
  bool BaseUrl(std::string* url) const;
  void SetBaseUrl(const std::string& url);
  // The versions this run's steps started from: a chain that leads back to
  // one of them would go round for ever.
  std::vector<std::string> LeftVersions() const;
  void LeaveVersion(const std::string& version);

  // ---- the server-list package's tables: copied in once by the update
  // thread before any step starts, read-only afterwards.
  void SetTables(const LauncherCfg::ServerListTables& tables);
  const LauncherCfg::ServerListTables& Tables() const { return m_tables; }
  std::string NewShowVersion() const;
  // Copies for the GUI thread, which may ask before the tables are in.
  void VersionChain(std::vector<VersionStep>* steps, std::string* newVersion) const;

  // ---- the global downloader: used on the update and step threads, one
  // at a time; CancelDownload may come from any thread.
  IDownLoad* Downloader();
  int DownloadType() const { return m_downloadType.load(); }
  // A new downloader of that type with the same settings; false (the old
  // one stays) when it cannot be made.
  bool SetDownloadType(int type);
  // Progress callback, 5 tries 1 ms apart, 5000 ms time-outs, notify window.
  void SetupGlobalDownloader();
  void SetDownloaderRetry(int policy, uint32_t intervalMs, uint32_t tries);
  void SetDownloaderTimeouts(uint32_t ms);
  void CancelDownload();

  // ---- the patch folder: held by whoever downloads into it and empties it
  // afterwards, so that two threads of the micro-client check (the
  // auxiliary libraries, the bulk packs) never remove each other's files.
  CSemiAutoIntLock& PatchFolderLock() { return m_patchFolderLock; }

  // ---- threads of the run
  typedef unsigned(__stdcall* ThreadProc)(void*);
  // False (reported) when the thread cannot be started.
  bool StartThread(ThreadProc proc, void* arg);
  // Until every started thread has ended; pumps this thread's messages, so
  // the GUI thread may call it while workers wait in SendMessage.
  void WaitForThreads();

 private:
  void ApplySettings(IDownLoad* down);

  IUpdateWindow* m_window;
  std::atomic<int16_t> m_stage{0};
  UpdateRun::StageObserver m_observer = nullptr;
  void* m_observerContext = nullptr;

  mutable CSemiAutoIntLock m_lock;  // the strings, tables and thread list below
  LocalVersions m_local;
  std::string m_requiredLauncherVersion;
  std::string m_pendingShowVersion;
  std::string m_loginArgs;
  std::string m_baseUrl;
  bool m_hasBaseUrl = false;
  std::vector<std::string> m_leftVersions;
  std::atomic<int32_t> m_baseArea{0};
  LauncherCfg::ServerListTables m_tables;

  mutable CSemiAutoIntLock m_downLock;  // the downloader pointer
  std::unique_ptr<IDownLoad> m_down;
  std::atomic<int> m_downloadType{1};
  DownloaderSettings m_downSettings;

  std::vector<ScopedHandle> m_threads;  // the run's threads not yet waited for
  CSemiAutoIntLock m_patchFolderLock;
};
