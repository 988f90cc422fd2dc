// Ending the launcher on a fatal configuration error.
#pragma once

struct HWND__;

namespace LauncherCfg {

typedef void (*EndProcessHook)(int exitCode);

// Tests install a hook so the end is observed instead of performed; the
// hook may return, and then so does FatalConfigExit. Returns the previous one.
EndProcessHook SetEndProcessHook(EndProcessHook hook);

// Flushes, then ExitProcess (or the hook): leaving from any thread without
// running static destructors under live worker threads.
void EndLauncherProcess(int exitCode);

// Shows the box, then EndLauncherProcess.
void FatalConfigExit(HWND__* owner, const char* text, const char* caption, unsigned type, int exitCode);

// The box of a layout that cannot be read, and exit code -1.
void LayoutReadFailedExit(HWND__* owner);

}  // namespace LauncherCfg
