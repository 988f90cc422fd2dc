// Quickmend with its install held at the first write of the new program
// while "install.hold" exists in its working folder, so that a test can
// close the window in the middle of the install.
#include <windows.h>

#include "common/LauncherPack/LauncherPack.h"

namespace {

const DWORD kHoldLimitMs = 120000;
const DWORD kPollMs = 20;

bool HoldWhileMarked(const char*, uint64_t offset, uint32_t) {
  for (DWORD held = 0; offset == 0 && held < kHoldLimitMs; held += kPollMs) {
    if (GetFileAttributesA("install.hold") == INVALID_FILE_ATTRIBUTES) break;
    Sleep(kPollMs);
  }
  return false;  // the write goes ahead
}

const LauncherPackWriteHook kSet = SetLauncherPackWriteHook(&HoldWhileMarked);

}  // namespace
