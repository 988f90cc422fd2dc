#include "EngineTestWindow.h"

#include "UpdateProtocol.h"
#include "common/Pack/PatchFolders.h"

namespace enginetest {

namespace {
const char kClass[] = "ZarnEngineTestWindow";
}

EngineTestWindow::EngineTestWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
  m_hwnd = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
  SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

EngineTestWindow::~EngineTestWindow() { DestroyWindow(m_hwnd); }

void EngineTestWindow::Configure(const UpdateSettings& settings) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_settings = settings;
}

UpdateSettings EngineTestWindow::Settings() {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_settings;
}

std::string EngineTestWindow::Text(int32_t id) {
  return id == 20 ? "错误(%d):%s" : "text" + std::to_string(id);
}

void EngineTestWindow::SelectArea(int32_t area) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_settings.selectedBigArea = area;
}

void EngineTestWindow::QuitLauncher(bool restart) {
  if (m_run != nullptr) m_run->BeginQuit();
  m_restart = restart;
  m_quit = true;
}

void EngineTestWindow::OnStage(void* context, UpdateStage stage) {
  EngineTestWindow* self = static_cast<EngineTestWindow*>(context);
  std::lock_guard<std::mutex> hold(self->m_lock);
  if (self->m_stages.empty() || self->m_stages.back() != static_cast<int>(stage))
    self->m_stages.push_back(static_cast<int>(stage));
}

std::vector<unsigned> EngineTestWindow::Messages() {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_messages;
}

std::vector<int> EngineTestWindow::Stages() {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_stages;
}

bool EngineTestWindow::RunUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, timeoutMs - waited), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return true;
}

LRESULT CALLBACK EngineTestWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<EngineTestWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self != nullptr && message >= WM_START_GAME && message <= WM_AGREE_OFF) self->OnMessage(message);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The handlers of the main window, minus drawing.
void EngineTestWindow::OnMessage(UINT message) {
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_messages.push_back(message);
  }
  if (m_run == nullptr || m_quit) return;
  UpdateRun& run = *m_run;
  const UpdateSettings settings = Settings();
  if (message == WM_START_GAME) {
    PackClient::DeleteFolderTree(run.PatchFolder().c_str(), false);
    run.StartGameClient();
    QuitLauncher(false);
  } else if (message == WM_UPDATE_COMPLETE) {
    if (settings.agree && !settings.webMode) EnableButton(LauncherButton::Start, true);
    EnableButton(LauncherButton::Exit, true);
    if (run.Local().superVar) EnableButton(LauncherButton::Optimise, true);
    run.SetStage(UpdateStage::Done);
    if (run.ProgressDone() == 0 || run.ProgressTotal() == 0) run.SetProgress(100, 100);
    if (pressStartOnComplete) PostMessageA(m_hwnd, WM_RUN_VERSION_UPDATE, 0, 0);
  } else if (message == WM_UPDATE_FAILED) {
    EnableButton(LauncherButton::Start, false);
  } else if (message == WM_RUN_VERSION_UPDATE || message == WM_SELF_UPDATE) {
    EnableButton(LauncherButton::Start, false);
    EnableButton(LauncherButton::Exit, true);
    EnableButton(LauncherButton::Optimise, false);
    if (message == WM_RUN_VERSION_UPDATE)
      run.StartVersionUpdate(settings.selectedBigArea);
    else if (run.StartLauncherSelfUpdate())
      QuitLauncher(false);
  }
}

}  // namespace enginetest
