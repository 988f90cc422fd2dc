// The main window's side of the engine, headless: a message-only window that
// runs the message protocol (without drawing) and records what the engine
// asked of it.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "UpdateRun.h"

namespace enginetest {

class EngineTestWindow : public IUpdateWindow {
 public:
  EngineTestWindow();
  ~EngineTestWindow() override;

  void Attach(UpdateRun* run) { m_run = run; }
  // Set before the run starts; SelectArea changes the area.
  void Configure(const UpdateSettings& settings);
  // After "update complete" the player presses start.
  bool pressStartOnComplete = false;

  // Pumps this thread's messages until done() or the time is up.
  bool RunUntil(const std::function<bool()>& done, DWORD timeoutMs);
  std::vector<unsigned> Messages();
  // Stage changes, consecutive repeats folded.
  std::vector<int> Stages();
  bool Quit() const { return m_quit; }
  bool QuitWithRestart() const { return m_restart; }
  bool ButtonEnabled(LauncherButton button) const { return m_enabled[static_cast<int>(button)]; }
  static void OnStage(void* context, UpdateStage stage);

  HWND__* MainWindow() override { return m_hwnd; }
  UpdateSettings Settings() override;
  std::string Text(int32_t id) override;
  void EnableButton(LauncherButton button, bool enable) override { m_enabled[static_cast<int>(button)] = enable; }
  void ShowButton(LauncherButton, bool) override {}
  void RedrawPanel() override {}
  void ShowAreaButton(int32_t, int32_t) override {}
  void SelectArea(int32_t area) override;
  void QuitLauncher(bool restart) override;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnMessage(UINT message);

  HWND m_hwnd = nullptr;
  UpdateRun* m_run = nullptr;
  std::mutex m_lock;
  UpdateSettings m_settings;
  std::vector<unsigned> m_messages;
  std::vector<int> m_stages;
  std::atomic<bool> m_quit{false};
  std::atomic<bool> m_restart{false};
  std::atomic<bool> m_enabled[3] = {{true}, {true}, {true}};
};

}  // namespace enginetest
