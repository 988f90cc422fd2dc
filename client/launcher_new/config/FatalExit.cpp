#include "FatalExit.h"

#include <windows.h>

#include <cstdio>

#include "common/EngineFun/ReportSink.h"

namespace LauncherCfg {

namespace {
EndProcessHook& EndHook() {
  static EndProcessHook hook = nullptr;
  return hook;
}
}  // namespace

EndProcessHook SetEndProcessHook(EndProcessHook hook) {
  EndProcessHook previous = EndHook();
  EndHook() = hook;
  return previous;
}

void EndLauncherProcess(int exitCode) {
  fflush(nullptr);
  if (EndHook() != nullptr) {
    EndHook()(exitCode);
    return;
  }
  ExitProcess(static_cast<UINT>(exitCode));
}

void FatalConfigExit(HWND__* owner, const char* text, const char* caption, unsigned type, int exitCode) {
  EngineFunc::ShowMessageBox(owner, text, caption, type);
  EndLauncherProcess(exitCode);
}

void LayoutReadFailedExit(HWND__* owner) {
  FatalConfigExit(owner, "error: Read the configuration file failed!", "error", MB_ICONERROR, -1);
}

}  // namespace LauncherCfg
