// Reconciling a data pack with the "_old" copy of its micro index that the
// checksum passes moved aside: resources the new index drops or changes
// leave the pack.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "ClientCheck.h"
#include "EngineFiles.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"

namespace {

struct OldPackJob {
  std::string movedCopy;  // "data/006.pkg2"
  FilePack::CFilePackIndexMgr* pack;
  bool inMoveList;
  std::atomic<bool>* changed;
};

// Runs on its own thread with a pack that is already open: it only looks
// up and marks.
unsigned __stdcall ReconcileOldPack(void* arg) {
  OldPackJob* job = static_cast<OldPackJob*>(arg);
  const std::string old = job->movedCopy + "_old";
  FilePack::CFilePackIndexMgr fresh, previous;
  if (!fresh.OpenMicroIndex(job->movedCopy.c_str()) || !previous.OpenMicroIndex(old.c_str())) {
    // Without both indexes nothing can be told apart; the pack stays whole.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 无法比较", job->movedCopy.c_str());
    return 0;
  }
  bool marked = false;
  const auto now = fresh.MicroRecords();
  for (const auto& resource : previous.MicroRecords()) {
    auto found = now.find(resource.first);
    if (found == now.end() || found->second.crc != resource.second.crc)
      marked = job->pack->DeleteFile(resource.first.c_str()) || marked;
  }
  if (marked && !job->pack->SaveChanges()) {
    // The pack still holds what "_old" names: it stays for the next start.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 保存失败", job->movedCopy.c_str());
    return 0;
  }
  if (marked && job->inMoveList) *job->changed = true;
  DeleteFileWritable(old);
  return 0;
}

// A pack that cannot be opened is dropped whole; it is fetched again.
void DropPack(FilePack::CFilePackIndexMgr* pack, const std::string& source, bool micro) {
  if (pack != nullptr) pack->Close(micro);
  std::string base = source.substr(0, source.rfind('.'));
  for (const char* suffix : {".pkg", ".pkg1", ".pkg2"}) DeleteFileWritable(base + suffix);
}

}  // namespace

void ReconcileOldPacks(UpdateContext& run) {
  run.packsChanged = false;
  const bool micro = run.Settings().microClientOpen;
  std::atomic<bool> changed{false};
  std::vector<OldPackJob> jobs;
  bool reopened = false;
  // The packs are opened here, once, on this thread; the workers only look up.
  for (const PackClient::MoveAsidePair& pair : std::vector<PackClient::MoveAsidePair>(PackClient::MoveAsideListAll())) {
    const std::string source = pair.source.Str(), copy = pair.target.Str();
    // An "_old" whose copy has not arrived waits for it: only the pair
    // tells which resources changed.
    if (!FileExists(copy + "_old") || !FileExists(copy)) continue;
    FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManagerForPath(source.c_str());
    if ((pack == nullptr || !pack->IsOpen()) && !reopened) {
      PackClient::OpenAllPacks(micro, false);
      reopened = true;
      pack = PackClient::GetPackManagerForPath(source.c_str());
    }
    const bool inMoveList = PackClient::IsInMoveList(source.c_str());
    if (pack != nullptr && pack->IsOpen()) {
      jobs.push_back({copy, pack, inMoveList, &changed});
    } else {
      DropPack(pack, source, micro);
      if (inMoveList) changed = true;
    }
  }
  std::vector<ScopedHandle> threads;
  for (OldPackJob& job : jobs) StartWorker(&ReconcileOldPack, &job, &threads);
  WaitForWorkers(threads);
  run.packsChanged = changed.load();
}

void ReconcileLeftOldPacks(UpdateContext& run) {
  ReconcileOldPacks(run);
  if (!run.packsChanged) return;
  PackClient::CloseAllPacks();
  PackClient::OpenAllPacks(run.Settings().microClientOpen, true);
}
