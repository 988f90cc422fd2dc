#include "PackOptimisation.h"

#include <commctrl.h>
#include <process.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "common/Pack/FilePackIndexMgr.h"

namespace {

volatile LONG& RunningCount() {
  static volatile LONG running = 0;
  return running;
}

const DWORD kPollMs = 50;

bool StartThread(unsigned(__stdcall* main)(void*), void* context) {
  uintptr_t thread = _beginthreadex(nullptr, 0, main, context, 0, nullptr);
  if (thread == 0) return false;
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));  // nobody joins: the run reports its own end
  return true;
}

}  // namespace

void GetOptimisedPacks(OptimisedPacks packs) {
  static const int kOrder[kOptimisedPackCount] = {6, 8, 1, 7, 2, 4, 3, 5, 10};
  for (int i = 0; i < kOptimisedPackCount; ++i) packs[i] = FilePack::ClientPackManager(kOrder[i]);
}

bool IsPackOptimisationRunning() { return InterlockedCompareExchange(&RunningCount(), 0, 0) > 0; }

PackOptimisation::PackOptimisation(const OptimisationView& view, const OptimisedPacks packs) : m_view(view) {
  for (int i = 0; i < kOptimisedPackCount; ++i) m_workers[i] = {this, packs[i], 0, 0};
}

int PackOptimisation::Percent(int64_t done, int64_t total) {
  if (total <= 0) return 100;
  done = std::max<int64_t>(0, std::min(done, total));
  return static_cast<int>(done * 100 / total);
}

int64_t PackOptimisation::Done() const {
  int64_t done = 0;
  for (const Worker& w : m_workers) {
    // A counter is the pack's own from its worker's start on; before that
    // it may still hold an earlier run's figure.
    if (w.pack != nullptr && w.started != 0)
      done += std::min<int64_t>(std::max<LONG>(0, w.pack->CompactProgress()), w.entries);
  }
  return std::min(done, m_total);
}

bool PackOptimisation::Start() {
  m_total = 0;
  for (Worker& w : m_workers) {
    w.entries = w.pack != nullptr && w.pack->IsOpen() ? w.pack->EntryCount() : 0;
    w.started = 0;
    m_total += w.entries;
  }
  InterlockedExchange(&m_workersLeft, kOptimisedPackCount);
  InterlockedIncrement(&RunningCount());
  // The progress thread first: it is what reports the end of the run.
  if (!StartThread(&ProgressMain, this)) {
    InterlockedDecrement(&RunningCount());
    return false;
  }
  for (Worker& w : m_workers)
    if (w.pack == nullptr || !StartThread(&WorkerMain, &w)) InterlockedDecrement(&m_workersLeft);
  return true;
}

unsigned __stdcall PackOptimisation::WorkerMain(void* context) {
  Worker* w = static_cast<Worker*>(context);
  InterlockedExchange(&w->started, 1);
  // A failed pack keeps its old files (or stays closed until it is opened
  // again, when they were held); its counter still reaches its count.
  w->pack->CompactPack();
  InterlockedDecrement(&w->run->m_workersLeft);
  return 0;
}

unsigned __stdcall PackOptimisation::ProgressMain(void* context) {
  static_cast<PackOptimisation*>(context)->RunProgress();
  return 0;
}

void PackOptimisation::ShowProgress(int64_t done) {
  const int range = static_cast<int>(std::min<int64_t>(m_total, INT_MAX));
  const int position = static_cast<int>(m_total > INT_MAX ? done * INT_MAX / m_total : done);
  ::SendDlgItemMessageA(m_view.dialog, m_view.barId, PBM_SETRANGE32, 0, range);
  ::SendDlgItemMessageA(m_view.dialog, m_view.barId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  char text[16];
  std::snprintf(text, sizeof(text), "%d%%", Percent(done, m_total));
  HWND label = ::GetDlgItem(m_view.dialog, m_view.labelId);
  RECT area;
  if (label != nullptr && ::GetWindowRect(label, &area)) {
    ::MapWindowPoints(nullptr, m_view.dialog, reinterpret_cast<POINT*>(&area), 2);
    ::InvalidateRect(m_view.dialog, &area, FALSE);
  }
  ::SetDlgItemTextA(m_view.dialog, m_view.labelId, text);
}

void PackOptimisation::RunProgress() {
  // Polls until every worker has ended, not until the counters reach the
  // total: a pack that stops early must not keep this thread for ever.
  const bool shown = m_total > 0;
  while (InterlockedCompareExchange(&m_workersLeft, 0, 0) > 0) {
    if (shown) ShowProgress(Done());
    ::Sleep(kPollMs);
  }
  if (shown) ShowProgress(m_total);
  const HWND dialog = m_view.dialog;
  const UINT message = m_view.finishedMessage;
  InterlockedDecrement(&RunningCount());
  // The dialog may free this object once it has the message.
  ::PostMessageA(dialog, message, shown ? 1 : 0, 0);
}
