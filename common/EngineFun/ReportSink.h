// Where reports and message boxes go. Programs keep the defaults (debugger
// output, real boxes); tests install hooks so every line is captured exactly
// and no test ever blocks on a box.
#pragma once

struct HWND__;

namespace EngineFunc {

typedef void (*ReportHook)(const char* text);
typedef int (*MessageBoxHook)(HWND__* owner, const char* text, const char* caption, unsigned type);

// Returns the previous hook; null restores the debugger output only.
ReportHook SetReportHook(ReportHook hook);
// tunedesk shows every report in a message box as well.
void SetReportShowsBox(bool on);
bool ReportShowsBox();

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
// Every message box of the system goes through here.
int ShowMessageBox(HWND__* owner, const char* text, const char* caption, unsigned type);

// Delivers one finished report line (debugger output, hook, optional box).
void EmitReport(int showBox, const char* text);

}  // namespace EngineFunc
