// One optimisation of the client's packs: a compaction worker for each of
// data/001 to data/008 and LauncherCfg/010, and a progress thread that
// shows their common progress in a dialog's bar and percentage label.
#pragma once
#include <windows.h>

#include <cstdint>

namespace FilePack {
class CFilePackIndexMgr;
}

// Where the progress thread shows its figures; it talks to the dialog only
// by messages (the dialog's thread must keep pumping while a run lasts).
struct OptimisationView {
  HWND dialog = nullptr;
  int barId = 0;          // progress bar: range 0..total, position done
  int labelId = 0;        // "%d%%"
  UINT finishedMessage = 0;  // posted to dialog once every worker has ended; wParam: 1 when total > 0
};

const int kOptimisedPackCount = 9;
// The packs in the order their workers start; null entries are skipped.
typedef FilePack::CFilePackIndexMgr* OptimisedPacks[kOptimisedPackCount];
// The process-wide managers of data/006, 008, 001, 007, 002, 004, 003,
// 005 and LauncherCfg/010.
void GetOptimisedPacks(OptimisedPacks packs);

// True from a run's start until all its workers have ended. The launcher
// must not end meanwhile: a pack cut off mid-compaction is left half written.
bool IsPackOptimisationRunning();

class PackOptimisation {
 public:
  PackOptimisation(const OptimisationView& view, const OptimisedPacks packs);
  // Only once finishedMessage arrived (or Start failed): the threads use
  // this object until then.
  ~PackOptimisation() {}
  PackOptimisation(const PackOptimisation&) = delete;
  PackOptimisation& operator=(const PackOptimisation&) = delete;

  // Counts the open packs' entries and starts the threads; returns at once.
  // False when no thread could be started (nothing runs then).
  bool Start();
  int64_t Total() const { return m_total; }
  // The summed compaction progress, at most the total.
  int64_t Done() const;
  // 0..100 of done over total, in 64 bits; 100 for an empty total.
  static int Percent(int64_t done, int64_t total);

 private:
  struct Worker {
    PackOptimisation* run;
    FilePack::CFilePackIndexMgr* pack;
    int64_t entries;        // the pack's entry count at the start (0 when closed)
    volatile LONG started;  // set by the worker before it compacts
  };
  static unsigned __stdcall WorkerMain(void* context);
  static unsigned __stdcall ProgressMain(void* context);
  void ShowProgress(int64_t done);
  void RunProgress();

  OptimisationView m_view;
  Worker m_workers[kOptimisedPackCount];
  int64_t m_total = 0;
  volatile LONG m_workersLeft = 0;
};
