#include "ReportSink.h"

#include <windows.h>

#include <atomic>

namespace EngineFunc {
namespace {

std::atomic<ReportHook>& ReportHookSlot() {
  static std::atomic<ReportHook> slot{nullptr};
  return slot;
}

std::atomic<MessageBoxHook>& BoxHookSlot() {
  static std::atomic<MessageBoxHook> slot{nullptr};
  return slot;
}

std::atomic<bool>& ShowsBoxFlag() {
  static std::atomic<bool> flag{false};
  return flag;
}

}  // namespace

ReportHook SetReportHook(ReportHook hook) { return ReportHookSlot().exchange(hook); }

void SetReportShowsBox(bool on) { ShowsBoxFlag().store(on); }

bool ReportShowsBox() { return ShowsBoxFlag().load(); }

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return BoxHookSlot().exchange(hook); }

int ShowMessageBox(HWND__* owner, const char* text, const char* caption, unsigned type) {
  if (MessageBoxHook hook = BoxHookSlot().load()) return hook(owner, text, caption, type);
  return MessageBoxA(owner, text, caption, type);
}

void EmitReport(int showBox, const char* text) {
  OutputDebugStringA(text);
  if (ReportHook hook = ReportHookSlot().load()) hook(text);
  if ((showBox & 0xFF) != 0 && ReportShowsBox()) ShowMessageBox(nullptr, text, nullptr, MB_OK);
}

}  // namespace EngineFunc
