#include "VersionChain.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "ClientCheck.h"
#include "MicroClientCheck.h"
#include "PingRegistration.h"
#include "ProcessChecks.h"
#include "UpdateCfg.h"
#include "UpdateContext.h"
#include "common/MD5Checksum.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/PatchPath.h"

namespace {

template <typename Match>
const VersionStep* FindFirst(const std::vector<VersionStep>& steps, Match match) {
  for (const VersionStep& step : steps)
    if (match(step)) return &step;
  return nullptr;
}

// The launcher's own check of the program file name: "Bin\\zarn.exe" runs
// as "zarn.exe".
std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string GetShowVersion(const std::vector<VersionStep>& steps, const std::string& next) {
  const VersionStep* step = FindFirst(steps, [&](const VersionStep& s) { return s.Next == next; });
  return step != nullptr ? step->ShowVer : std::string();
}

const std::string* GetFirstVersionStepNext(const std::vector<VersionStep>& steps) {
  return steps.empty() ? nullptr : &steps.front().Next;
}

const std::string* GetVersionBefore(const std::vector<VersionStep>& steps, const std::string& next) {
  const VersionStep* step = FindFirst(steps, [&](const VersionStep& s) { return s.Next == next; });
  return step != nullptr ? &step->Cur : nullptr;
}

const std::string* GetVersionAfter(const std::vector<VersionStep>& steps, const std::string& cur) {
  const VersionStep* step = FindStepFrom(steps, cur);
  return step != nullptr ? &step->Next : nullptr;
}

const VersionStep* FindStepFrom(const std::vector<VersionStep>& steps, const std::string& cur) {
  return FindFirst(steps, [&](const VersionStep& s) { return s.Cur == cur; });
}

bool StepComesBack(const std::vector<VersionStep>& steps, const VersionStep& step, const std::string& newest,
                   std::vector<std::string> left) {
  auto isLeft = [&left](const std::string& v) { return std::find(left.begin(), left.end(), v) != left.end(); };
  // A start already left: the version recorded reads back as another text.
  if (isLeft(step.Cur)) return true;
  left.push_back(step.Cur);
  if (isLeft(step.Next)) return true;
  if (step.Restart != "TRUE") return false;
  // Every pass leaves a new version, so the walk ends within the table.
  for (const VersionStep* s = &step; s->Next != newest;) {
    s = FindStepFrom(steps, s->Next);
    if (s == nullptr) return false;  // the chain ends: the next run stops there
    left.push_back(s->Cur);
    if (isLeft(s->Next)) return true;
  }
  return false;
}

ReconcileResult AlignLocalVersions(const std::vector<VersionStep>& steps, std::string* version,
                                   std::string* clientVersion) {
  if (steps.empty() || version->empty() || clientVersion->empty()) return ReconcileResult::EmptyChain;
  int showIndex = -1, nextIndex = -1;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].ShowVer == *clientVersion) showIndex = static_cast<int>(i);
    if (steps[i].Next == *version) nextIndex = static_cast<int>(i);
  }
  if (showIndex < 0 || nextIndex < 0) return ReconcileResult::NotInChain;
  if (showIndex == nextIndex) return ReconcileResult::Unchanged;
  if (showIndex > nextIndex)
    *clientVersion = steps[nextIndex].ShowVer;
  else
    *version = steps[showIndex].Next;
  return ReconcileResult::Changed;
}

void ReconcileLocalVersions(UpdateContext& run) {
  LocalVersions local = run.Local();
  ReconcileResult result = AlignLocalVersions(run.Tables().versionSteps, &local.version, &local.clientVersion);
  if (result == ReconcileResult::EmptyChain || result == ReconcileResult::NotInChain) {
    run.ShowBox(result == ReconcileResult::EmptyChain ? 29 : 28, 16, MB_OK, false);
    run.updatePrepare = false;
    return;
  }
  if (result == ReconcileResult::Unchanged) return;
  run.SetLocalVersion(local.version, local.clientVersion);
  SaveUpdateCfgVersion(local.clientVersion.c_str(), local.version.c_str());
}

bool IsGameClientRunning(const std::string& exeName) {
  std::string name = FileNamePart(exeName);
  return (!name.empty() && CountProcessesByName(name.c_str()) > 0) || IsModuleLoadedInAnyProcess("kestrand.dll");
}

bool RunClientFileCheck(UpdateContext& run) {
  return run.Settings().microClientOpen ? MicroClientFileCheck(run) : FullClientFileCheck(run);
}

void ContinueUpdate(UpdateContext& run) {
  if (run.Tables().newVersion != run.Local().version) {
    // An "_old" that a check left is reconciled against the copy it belongs
    // to while that copy is here; the step's copies are the newest version's.
    ReconcileLeftOldPacks(run);
    PackClient::DeleteMovedPacks();
    FetchMissingMovedPacks(run);
    run.Send(WM_RUN_VERSION_UPDATE);
    return;
  }
  if (!CheckLauncherPatchVer(run)) return;
  run.SetStage(UpdateStage::ClientCheck);
  run.Window().EnableButton(LauncherButton::Exit, false);
  run.SetMergeProgress(0, 0);
  if (IsGameClientRunning(run.Settings().exeName)) {
    PackClient::EnsurePacksReady(false, &SetMergeProgress);
  } else {
    PackClient::EnsurePacksReady(true, &SetMergeProgress);
    PackClient::DeleteFolderTree(PackClient::kMicroDownloadFolder, true);
  }
  run.Window().EnableButton(LauncherButton::Exit, true);
  if (!RunClientFileCheck(run)) {
    run.Send(WM_UPDATE_FAILED);
    return;
  }
  run.progressDone = 1;
  run.progressTotal = 1;
  run.SetMergeProgress(1, 1);
  WaitForPingDone(run);
  run.Send(WM_UPDATE_COMPLETE);
}

bool CheckLauncherPatchVer(UpdateContext& run) {
  const std::vector<VersionStep>& steps = run.Tables().versionSteps;
  if (steps.empty()) return true;
  const std::string& required = steps.back().PatchVer;
  run.SetRequiredLauncherVersion(required);
  run.SetBaseArea(run.Settings().selectedBigArea);
  if (VersionNewer(required, run.Local().patchVer)) {
    run.Send(WM_SELF_UPDATE);
    return false;
  }
  return true;
}

bool VerifyFileMD5(const char* path, const char* md5, const char* microClientMd5, bool microClient) {
  const char* expected = microClient ? microClientMd5 : md5;
  if (path == nullptr || expected == nullptr) return false;
  return CMD5Checksum::GetFileMD5(path).Str() == expected;
}

bool SetLocalVersion(UpdateContext& run, const char* version, const char* showVersion) {
  run.SetStage(UpdateStage::VersionSave);
  if (version == nullptr || showVersion == nullptr) {
    run.SetStage(UpdateStage::VersionSaveFailed);
    return false;
  }
  run.SetLocalVersion(version, showVersion);
  if (run.quitting) return true;
  if (!SaveUpdateCfgVersion(showVersion, version)) {
    run.SetStage(UpdateStage::VersionSaveFailed);
    return false;
  }
  run.SetPendingShowVersion(std::string());
  return true;
}

bool FinishVersionStep(UpdateContext& run, const std::string& showVersion, const std::string& version,
                       const std::string& newestVersion, bool restart) {
  if (run.quitting) return false;
  const bool micro = run.Settings().microClientOpen;
  PackClient::CloseAllPacks();
  PackClient::OpenAllPacks(micro, false);
  const bool last = version == newestVersion;
  if (last && !RunClientFileCheck(run)) return false;
  if (!SetLocalVersion(run, version.c_str(), showVersion.c_str())) return false;
  if (restart) {
    run.Window().EnableButton(LauncherButton::Exit, true);
    run.Window().QuitLauncher(true);
    return true;
  }
  if (!last) {
    run.SetMergeProgress(0, 0);
    run.Send(WM_RUN_VERSION_UPDATE);
    return true;
  }
  run.progressDone = 1;
  run.progressTotal = 1;
  run.SetMergeProgress(1, 1);
  run.SetStage(UpdateStage::Done);
  WaitForPingDone(run);
  run.Send(WM_UPDATE_COMPLETE);
  return true;
}
