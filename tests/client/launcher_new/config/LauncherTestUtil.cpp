#include "LauncherTestUtil.h"

#include "FatalExit.h"

namespace launchertest {
namespace {
int g_ends = 0;
int g_lastCode = 0;
void RecordEnd(int code) {
  ++g_ends;
  g_lastCode = code;
}
}  // namespace
EndWatch::EndWatch() {
  g_ends = 0;
  LauncherCfg::SetEndProcessHook(&RecordEnd);
}
EndWatch::~EndWatch() { LauncherCfg::SetEndProcessHook(nullptr); }
int EndWatch::Count() const { return g_ends; }
int EndWatch::LastCode() const { return g_lastCode; }
}  // namespace launchertest
