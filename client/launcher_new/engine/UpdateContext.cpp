#include "UpdateContext.h"

#include <windows.h>


#include "EngineFiles.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/MicroClient/DownLoadPool.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/PackClient.h"

const char* const kPatchTemp = "LauncherCfg/PatchTemp";

namespace {

std::atomic<UpdateContext*> g_active{nullptr};

}  // namespace

UpdateContext::UpdateContext(IUpdateWindow* window) : m_window(window) {
  // What the window loaded at start-up; a step reloads the file itself.
  TakeUpdateCfg(LauncherCfg::GetLocalUpdateCfg());
  PackClient::PatchFolder() = kPatchTemp;
  PackClient::FillPackPairsA();
  InitDownLoadPool();
  m_downloadType = CHttpConfig::GetInstance()->m_nHttpID;
  m_down.reset(CreateDownLoad(m_downloadType));
  g_active = this;
}

UpdateContext::~UpdateContext() {
  quitting = true;
  CancelDownload();
  WaitForThreads();
  UpdateContext* self = this;
  g_active.compare_exchange_strong(self, nullptr);
  CSALocker hold(&m_downLock);
  if (m_down) m_down->UnInit();
}

UpdateContext* UpdateContext::Active() { return g_active; }

void UpdateContext::Send(unsigned message) {
  HWND window = m_window->MainWindow();
  if (window != nullptr) SendMessageA(window, message, 0, 0);
}

int UpdateContext::ShowTextBox(const std::string& text, int32_t captionId, unsigned type, bool owned) {
  return EngineFunc::ShowMessageBox(owned ? m_window->MainWindow() : nullptr, text.c_str(), Text(captionId).c_str(),
                                    type);
}

int UpdateContext::ShowBox(int32_t textId, int32_t captionId, unsigned type, bool owned) {
  return ShowTextBox(Text(textId), captionId, type, owned);
}

void UpdateContext::SetStage(UpdateStage stage) {
  m_stage = static_cast<int16_t>(stage);
  UpdateRun::StageObserver observer;
  void* context;
  {
    CSALocker hold(&m_lock);
    observer = m_observer;
    context = m_observerContext;
  }
  if (observer != nullptr) observer(context, stage);
}

void UpdateContext::SetStageObserver(UpdateRun::StageObserver observer, void* context) {
  CSALocker hold(&m_lock);
  m_observer = observer;
  m_observerContext = context;
}

void UpdateContext::SetMergeProgress(int32_t merged, int32_t toMerge) {
  PackClient::MergeProgress& progress = PackClient::PackMergeProgress();
  InterlockedExchange(&progress.total, toMerge);
  InterlockedExchange(&progress.handled, merged);
}

LocalVersions UpdateContext::Local() const {
  CSALocker hold(&m_lock);
  return m_local;
}

void UpdateContext::TakeUpdateCfg(const LauncherCfg::UpdateCfg& cfg) {
  CSALocker hold(&m_lock);
  m_local.version = cfg.version;
  m_local.clientVersion = cfg.clientVersion;
  m_local.patchVer = cfg.patchVer;
  m_local.superVar = cfg.superVar;
  m_local.superVar1 = cfg.superVar1;
}

void UpdateContext::SetLocalVersion(const std::string& version, const std::string& clientVersion) {
  CSALocker hold(&m_lock);
  m_local.version = version;
  m_local.clientVersion = clientVersion;
}

std::string UpdateContext::RequiredLauncherVersion() const {
  CSALocker hold(&m_lock);
  return m_requiredLauncherVersion;
}

void UpdateContext::SetRequiredLauncherVersion(const std::string& version) {
  CSALocker hold(&m_lock);
  m_requiredLauncherVersion = version;
}

std::string UpdateContext::PendingShowVersion() const {
  CSALocker hold(&m_lock);
  return m_pendingShowVersion;
}

void UpdateContext::SetPendingShowVersion(const std::string& version) {
  CSALocker hold(&m_lock);
  m_pendingShowVersion = version;
}

std::string UpdateContext::LauncherLoginArgs() const {
  CSALocker hold(&m_lock);
  return m_loginArgs;
}

void UpdateContext::SetLauncherLoginArgs(const std::string& args) {
  CSALocker hold(&m_lock);
  m_loginArgs = args;
}

bool UpdateContext::BaseUrl(std::string* url) const {
  CSALocker hold(&m_lock);
  if (m_hasBaseUrl) *url = m_baseUrl;
  return m_hasBaseUrl;
}

void UpdateContext::SetBaseUrl(const std::string& url) {
  CSALocker hold(&m_lock);
  m_baseUrl = url;
  m_hasBaseUrl = true;
}

std::vector<std::string> UpdateContext::LeftVersions() const {
  CSALocker hold(&m_lock);
  return m_leftVersions;
}

void UpdateContext::LeaveVersion(const std::string& version) {
  CSALocker hold(&m_lock);
  m_leftVersions.push_back(version);
}

void UpdateContext::SetTables(const LauncherCfg::ServerListTables& tables) {
  CSALocker hold(&m_lock);
  m_tables = tables;
}

void UpdateContext::VersionChain(std::vector<VersionStep>* steps, std::string* newVersion) const {
  CSALocker hold(&m_lock);
  *steps = m_tables.versionSteps;
  *newVersion = m_tables.newVersion;
}

std::string UpdateContext::NewShowVersion() const {
  CSALocker hold(&m_lock);
  return m_tables.newShowVersion;
}

IDownLoad* UpdateContext::Downloader() {
  CSALocker hold(&m_downLock);
  return m_down.get();
}

void UpdateContext::ApplySettings(IDownLoad* down) {
  const DownloaderSettings& s = m_downSettings;
  down->SetRetry(s.retryPolicy, s.retryInterval, s.retryTries);
  down->SetTimeouts(s.sendMs, s.recvMs, s.connectMs);
  down->SetNotify(s.notifyWindow, s.notifyMessage, s.notifyEnable, s.notifyDelta);
  down->SetProgressCallback(s.progress);
}

bool UpdateContext::SetDownloadType(int type) {
  InitDownLoadPool();
  std::unique_ptr<IDownLoad> fresh(CreateDownLoad(type));
  if (!fresh) return false;
  ApplySettings(fresh.get());
  std::unique_ptr<IDownLoad> old;
  {
    CSALocker hold(&m_downLock);
    old.swap(m_down);
    m_down = std::move(fresh);
    m_downloadType = type;
  }
  if (old) old->UnInit();
  return true;
}

namespace {
void OnPatchDownloadProgress(int32_t total, int32_t done) {
  if (UpdateContext* run = UpdateContext::Active()) {
    run->progressDone = done;
    run->progressTotal = total;
  }
}
}  // namespace

void UpdateContext::SetupGlobalDownloader() {
  CSALocker hold(&m_downLock);
  m_downSettings.progress = &OnPatchDownloadProgress;
  m_downSettings.retryPolicy = DOWNLOAD_RETRY_LIMITED;
  m_downSettings.retryInterval = 1;
  m_downSettings.retryTries = 5;
  m_downSettings.sendMs = m_downSettings.recvMs = m_downSettings.connectMs = 5000;
  m_downSettings.notifyWindow = m_window->MainWindow();
  m_downSettings.notifyMessage = WM_DOWNLOAD_NOTIFY;
  m_downSettings.notifyEnable = 1;
  m_downSettings.notifyDelta = 0;
  if (m_down) ApplySettings(m_down.get());
}

void UpdateContext::SetDownloaderRetry(int policy, uint32_t intervalMs, uint32_t tries) {
  CSALocker hold(&m_downLock);
  m_downSettings.retryPolicy = policy;
  m_downSettings.retryInterval = intervalMs;
  m_downSettings.retryTries = tries;
  if (m_down) m_down->SetRetry(policy, intervalMs, tries);
}

void UpdateContext::SetDownloaderTimeouts(uint32_t ms) {
  CSALocker hold(&m_downLock);
  m_downSettings.sendMs = m_downSettings.recvMs = m_downSettings.connectMs = ms;
  if (m_down) m_down->SetTimeouts(ms, ms, ms);
}

void UpdateContext::CancelDownload() {
  CSALocker hold(&m_downLock);
  if (m_down) m_down->Cancel();
}

bool UpdateContext::StartThread(ThreadProc proc, void* arg) {
  std::vector<ScopedHandle> started;
  if (!StartWorker(proc, arg, &started)) return false;
  CSALocker hold(&m_lock);
  m_threads.push_back(std::move(started.front()));
  return true;
}

void UpdateContext::WaitForThreads() {
  for (;;) {
    std::vector<ScopedHandle> threads;
    {
      CSALocker hold(&m_lock);
      threads.swap(m_threads);
    }
    if (threads.empty()) return;
    for (const ScopedHandle& thread : threads) {
      HANDLE handle = thread.Get();
      // A worker may be waiting in SendMessage for this very thread.
      while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
    }
  }
}
