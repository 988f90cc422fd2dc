#include "FatalExit.h"

#include <windows.h>

#include <cstdio>

#include "common/EngineFun/ReportSink.h"
#include "common/FuncPerformance.h"

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
  // Flushed while the workers still live, so every stream lock comes free.
  fflush(nullptr);
  if (EndHook() != nullptr) {
    EndHook()(exitCode);
    return;
  }
  FuncPerformanceLog::Instance().WriteReport();
  // ExitProcess would kill the workers wherever they are and then run the
  // runtime's shutdown, which takes the stream and heap locks a killed
  // worker may hold; ending here runs nothing more in this process.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
  ExitProcess(static_cast<UINT>(exitCode));  // not reached
}

void FatalConfigExit(HWND__* owner, const char* text, const char* caption, unsigned type, int exitCode) {
  EngineFunc::ShowMessageBox(owner, text, caption, type);
  EndLauncherProcess(exitCode);
}

void LayoutReadFailedExit(HWND__* owner) {
  FatalConfigExit(owner, "error: Read the configuration file failed!", "error", MB_ICONERROR, -1);
}

}  // namespace LauncherCfg
