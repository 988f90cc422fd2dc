// Ending the launcher on a fatal configuration error.
#pragma once

struct HWND__;

namespace LauncherCfg {

typedef void (*EndProcessHook)(int exitCode);

// Tests install a hook so the end is observed instead of performed; the
// hook may return, and then so does FatalConfigExit. Returns the previous one.
EndProcessHook SetEndProcessHook(EndProcessHook hook);

// Flushes the streams and the timing report, then ends the process without
// the runtime's shutdown (or calls the hook): leaving from any thread without
// running static destructors under live worker threads, and without waiting
// on a lock a killed worker held.
void EndLauncherProcess(int exitCode);

// Shows the box, then EndLauncherProcess.
void FatalConfigExit(HWND__* owner, const char* text, const char* caption, unsigned type, int exitCode);

// The box of a layout that cannot be read, and exit code -1.
void LayoutReadFailedExit(HWND__* owner);

}  // namespace LauncherCfg
