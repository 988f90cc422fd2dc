// launcher_exit_printing: the launcher ends while workers print without
// pause, as the downloaders do; the end must not wait on a stream lock that
// a worker it killed still held.
#include <windows.h>

#include <cstdio>

#include "FatalExit.h"
#include "common/ScopedHandle.h"

namespace {

const int kWorkers = 4;

DWORD WINAPI PrintingWorker(void* printed) {
  for (bool first = true;; first = false) {
    printf("worker %lu: %d%% received\n", GetCurrentThreadId(), 42);
    if (first) SetEvent(static_cast<HANDLE>(printed));
  }
}

}  // namespace

int main() {
  if (freopen("NUL", "w", stdout) == nullptr) return 2;  // still through stdout's buffer and lock
  ScopedHandle printed[kWorkers];
  HANDLE waits[kWorkers];
  for (int i = 0; i < kWorkers; ++i) {
    printed[i].Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    waits[i] = printed[i].Get();
    ScopedHandle worker(CreateThread(nullptr, 0, &PrintingWorker, waits[i], 0, nullptr));
    if (!printed[i] || !worker) return 2;
  }
  if (WaitForMultipleObjects(kWorkers, waits, TRUE, 20000) != WAIT_OBJECT_0) {
    fprintf(stderr, "the workers did not start printing\n");
    return 3;
  }
  fprintf(stderr, "workers printing, ending\n");
  LauncherCfg::EndLauncherProcess(-1);
  return 4;  // the end returned
}
