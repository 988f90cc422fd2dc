#include "MicroClientCheck.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ClientCheck.h"
#include "EngineFiles.h"
#include "FileDownload.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/PatchPath.h"

namespace {

// The data packs whose micro indexes are loaded, in this order, and the
// number each pack is given first: its resources' type code (0: they come
// with ".cfg" and ".cfs" companions).
const struct {
  int pack;
  int number;
} kMovedIndexes[9] = {{6, 3}, {7, 0}, {8, 1}, {5, 2}, {1, 4}, {4, 6}, {2, 5}, {3, 7}, {9, 8}};

// The need-download files and the auxiliary libraries, fetched beside the
// resources; ok is written once, at the end.
struct SideCheck {
  UpdateContext* run;
  bool ok;
};

unsigned __stdcall SideCheckThread(void* arg) {
  SideCheck* check = static_cast<SideCheck*>(arg);
  check->ok = FetchNeedDownloadFiles(*check->run) && CheckOtherFiles(*check->run);
  return 0;
}

// The fetched resources merged into their packs (the exit button waits for
// it); true when the packs were reopened afterwards.
bool MergeFetchedResources(UpdateContext& run) {
  run.Window().EnableButton(LauncherButton::Exit, false);
  const bool reopened = PackClient::EnsurePacksReady(true, &SetMergeProgress);
  run.Window().EnableButton(LauncherButton::Exit, true);
  PackClient::DeleteFolderTree(PackClient::kMicroDownloadFolder, true);
  return reopened;
}

}  // namespace

bool FetchMissingMovedPacks(UpdateContext& run) {
  if (run.quitting) return false;
  std::vector<std::string> missing;
  PackClient::ListMissingMovedPacks(&missing);
  std::vector<DownloadRecord> records;
  for (const std::string& name : missing) records.push_back({run.Tables().microClientVersionUrl + name, name});
  return DownloadFilesParallel(run, &records);
}

void OpenMovedPackIndexes() {
  PackClient::SetClientLocale();
  for (const auto& moved : kMovedIndexes) {
    FilePack::CFilePackIndexMgr* pack = FilePack::ClientPackManager(moved.pack);
    if (!pack->MicroMode()) continue;
    char copy[32];
    snprintf(copy, sizeof(copy), "data/%03d.pkg2", moved.pack);
    pack->SetPackNumber(moved.number);
    pack->OpenMicroIndex(copy);  // reports what it cannot load
  }
}

bool MicroClientFileCheck(UpdateContext& run) {
  run.SetStage(UpdateStage::ClientFilesPrepare);
  if (!FetchMissingMovedPacks(run) || !LoadLauncherCfgLists(run)) return false;
  ReconcileLeftOldPacks(run);
  if (!KeepOnDemandPackWhole(run)) return false;
  OpenMovedPackIndexes();
  run.SetStage(UpdateStage::ClientFilesDownload);
  MicroResourceMap map;
  CollectMissingMicroResources(run, &map);  // a list that cannot be had leaves it empty, reported
  run.SetStage(UpdateStage::Merging);
  MergeConfigFileMap(&map);

  SideCheck side = {&run, false};
  std::vector<ScopedHandle> threads;
  if (!StartWorker(&SideCheckThread, &side, &threads)) return false;  // reported
  bool fetched = true;
  if (!map.empty()) {
    fetched = DownloadMicroResources(run, map);
    if (fetched) {
      run.SetStage(UpdateStage::ClientCheck);
      MergeFetchedResources(run);
    }
  }
  WaitForWorkers(threads);
  if (!side.ok) {
    run.SetStage(UpdateStage::DownloadFailed);
    return false;
  }
  return VerifyClientFilesOrWarn(run) && fetched;
}

bool PrepareMicroClientUpdate(UpdateContext& run) {
  if (!FetchMissingMovedPacks(run)) return false;
  OpenMovedPackIndexes();
  MicroResourceMap map;
  MergeConfigFileMap(&map);
  if (map.empty()) return true;
  if (!DownloadMicroResources(run, map)) return false;
  run.SetStage(UpdateStage::ClientCheck);
  run.SetMergeProgress(0, 0);
  // The reopened packs need their micro indexes for the launcher's next use.
  if (MergeFetchedResources(run)) OpenMovedPackIndexes();
  return true;
}

void SetMergeProgress(int merged, int toMerge) {
  if (UpdateContext* run = UpdateContext::Active()) run->SetMergeProgress(merged, toMerge);
}
