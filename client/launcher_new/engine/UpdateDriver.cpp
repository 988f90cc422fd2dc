#include "UpdateDriver.h"

#include <windows.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>

#include "EngineFiles.h"
#include "FatalExit.h"
#include "FileDownload.h"
#include "LauncherIni.h"
#include "LauncherText.h"
#include "MicroClientCheck.h"
#include "PatchDownload.h"
#include "PingRegistration.h"
#include "ProcessChecks.h"
#include "ServerListLoad.h"
#include "UpdateCfg.h"
#include "UpdateContext.h"
#include "VersionChain.h"
#include "common/EngineFun/Helper.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/ServerListPak.h"

namespace {

const uint32_t kMiB = 1024 * 1024;

// Low disk space stops the run below 10 MiB, asks below 100 MiB and warns
// below 500 MiB; false ends the update thread.
bool DiskSpaceAllowsUpdate(UpdateContext& run) {
  if (!HasEnoughDiskSpace(10 * kMiB, 0)) {
    run.ShowBox(44, 47, MB_OK, false);
    return false;
  }
  if (!HasEnoughDiskSpace(100 * kMiB, 0)) return run.ShowBox(45, 47, MB_OKCANCEL, false) == IDOK;
  if (!HasEnoughDiskSpace(500 * kMiB, 0)) run.ShowBox(46, 47, MB_OK, false);
  return true;
}

void RemoveServerListFiles(const std::string& base) {
  for (const char* suffix : {".pkg", ".pkg1", ".pak"}) DeleteFileWritable(base + suffix);
}

int OtherDownloadType(int type) { return type == DOWNLOAD_HTTPGET ? DOWNLOAD_INET : DOWNLOAD_HTTPGET; }

// The primary address with the configured type, then the other type; the
// backup address with that other type, then the configured one. True when
// one of them delivered the package.
bool FetchServerListPackage(UpdateContext& run, const std::string& package) {
  const LauncherCfg::LauncherIniSettings& ini = LauncherCfg::GetLauncherIni();
  const std::string primary = ini.url + ".pak", backup = ini.backUrl + ".pak";
  run.SetDownloaderRetry(DOWNLOAD_RETRY_LIMITED, 1, 1);
  run.SetDownloaderTimeouts(5000);
  if (DownloadServerFile(run, primary, package, 0)) return true;
  // A new downloader is told what the old one was.
  run.SetDownloadType(OtherDownloadType(run.DownloadType()));
  if (DownloadServerFile(run, primary, package, 0)) return true;
  if (DownloadServerFile(run, backup, package, 1)) return true;
  run.SetDownloadType(OtherDownloadType(run.DownloadType()));
  return DownloadServerFile(run, backup, package, 1);
}

// Outside web mode the panel shows the areas that have servers and keeps
// the player's area when it is one of them, else takes the first shown.
void ShowAreaButtons(UpdateContext& run) {
  const int32_t selected = run.Settings().selectedBigArea;
  bool matched = false, shown = false;
  int32_t first = 0;
  for (const AreaInfo& area : run.Tables().areas) {
    if (area.servers.empty()) continue;
    run.Window().ShowAreaButton(area.index, area.resindex);
    if (!shown) first = area.index;
    shown = true;
    if (area.index == selected) {
      run.Window().SelectArea(selected);
      matched = true;
    }
  }
  if (!matched && shown) run.Window().SelectArea(first);
}

}  // namespace

bool DownloadServerList(UpdateContext& run) {
  const std::string base = std::string(kPatchTemp) + "/serverlist", package = base + ".pak";
  PackClient::DeleteFolderTree(kPatchTemp, false);
  PackClient::CreateFolders((std::string(kPatchTemp) + "/").c_str());
  RemoveServerListFiles(base);
  run.SetStage(UpdateStage::ServerListDownload);
  if (!FetchServerListPackage(run, package)) {
    run.SetStage(UpdateStage::ServerListUnavailable);
    return false;
  }
  CHttpConfig::GetInstance()->SaveHttpID(run.DownloadType());
  run.SetDownloaderRetry(DOWNLOAD_RETRY_LIMITED, 1, 5);
  run.SetDownloaderTimeouts(5000);
  run.SetStage(UpdateStage::ServerListLoading);
  setlocale(LC_ALL, "Chinese-simplified");
  if (!PackClient::SplitServerListPak(package.c_str()) || !LoadServerListFiles(base.c_str())) {
    run.SetStage(UpdateStage::ServerListBroken);
    RemoveServerListFiles(base);
    return false;
  }
  run.SetTables(LauncherCfg::GetServerListTables());
  if (run.Settings().webMode) {
    run.pingDone = true;  // web mode never pings
  } else {
    ShowAreaButtons(run);
    RegisterPingServers(run);
  }
  RemoveServerListFiles(base);
  ReconcileLocalVersions(run);
  return true;
}

unsigned __stdcall UpdateThread(void* context) {
  UpdateContext& run = *static_cast<UpdateContext*>(context);
  run.updatePrepare = true;
  EngineFunc::EngineFunc_DebugPrint(0, "准备更新");
  run.Window().EnableButton(LauncherButton::Start, false);
  run.Window().EnableButton(LauncherButton::Optimise, false);
  if (!DiskSpaceAllowsUpdate(run)) return 0;
  run.SetupGlobalDownloader();
  EngineFunc::EngineFunc_DebugPrint(0, "开始更新");
  if (!DownloadServerList(run)) return 0;
  if (!run.updatePrepare) {
    run.SetStage(UpdateStage::Idle);
    return 0;
  }
  PackClient::OpenAllPacks(run.Settings().microClientOpen, false);
  ContinueUpdate(run);
  return 0;
}

void StartVersionUpdate(UpdateContext& run, int32_t bigArea) {
  if (run.quitting) return;
  const LauncherCfg::ServerListTables& tables = run.Tables();
  const UpdateSettings settings = run.Settings();
  const LocalVersions local = run.Local();
  if (const VersionStep* step = FindStepFrom(tables.versionSteps, local.version)) {
    run.SetRequiredLauncherVersion(step->PatchVer);
    run.SetBaseArea(settings.selectedBigArea);
    if (VersionNewer(step->PatchVer, local.patchVer)) {
      run.Send(WM_SELF_UPDATE);
      return;
    }
  }
  int32_t error = 0;
  if (tables.newVersion.empty()) {
    error = 17;
  } else if (local.patchVer.empty()) {
    error = 18;
  } else if (settings.webMode ? tables.bigAreas.empty()
                              : std::none_of(tables.bigAreas.begin(), tables.bigAreas.end(),
                                             [bigArea](const BigAreaAddress& a) { return a.Index == bigArea; })) {
    error = 19;
  }
  if (error != 0) {
    run.ShowBox(error, 16, MB_ICONERROR, false);
    run.Send(WM_UPDATE_FAILED);
    return;
  }
  PackClient::CreateFolders((std::string(kPatchTemp) + "/").c_str());
  bool loaded = LoadUpdateCfg();
  run.TakeUpdateCfg(LauncherCfg::GetLocalUpdateCfg());  // what was read, as a failed load leaves it
  if (loaded) run.StartThread(&UpdateCheckThread, &run);
}

unsigned __stdcall UpdateCheckThread(void* context) {
  UpdateContext& run = *static_cast<UpdateContext*>(context);
  const std::string newest = run.Tables().newVersion, version = run.Local().version;
  if (newest == version || VersionNewer(version, newest)) {
    run.SetStage(UpdateStage::Done);
    WaitForPingDone(run);
    run.Send(WM_START_GAME);
    return 0;
  }
  run.SetStage(UpdateStage::ClientCheck);
  run.Window().RedrawPanel();
  run.clientCheckDone = 0;
  run.clientCheckTotal = 0;
  if (IsGameClientRunning(run.Settings().exeName)) {
    PackClient::EnsurePacksReady(false, &SetMergeProgress);
    run.Window().RedrawPanel();
    run.ShowBox(27, 16, MB_OK, false);
    run.Send(WM_UPDATE_FAILED);
    return 0;
  }
  PackClient::EnsurePacksReady(true, &SetMergeProgress);
  run.Window().RedrawPanel();
  RunVersionUpdate(run);
  return 0;
}

// The downloaded pair applied to the client: its loose files and deletes,
// then its pack entries. PatchTemp is emptied whatever the outcome.
bool ApplyDownloadedPatch(UpdateContext& run, bool micro) {
  const std::string pack = std::string(kPatchTemp) + "\\Version";
  std::vector<PackClient::FileEntry> list;
  bool ok = PackClient::ApplyTempPack(pack.c_str(), &list);
  if (!ok) {
    run.SetStage(UpdateStage::PatchOpenFailed);
  } else if (!list.empty()) {
    run.SetMergeProgress(0, static_cast<int32_t>(list.size()));
    run.SetStage(UpdateStage::PatchApply);
    ok = PackClient::MergeFilesIntoPacks(pack.c_str(), &list, micro);
    if (!ok) run.SetStage(UpdateStage::PatchApplyFailed);
  }
  for (PackClient::FileEntry& entry : list) PackClient::FreeFileEntry(&entry);
  PackClient::DeleteFolderTree(kPatchTemp, false);
  return ok;
}

void RunVersionUpdate(UpdateContext& run) {
  const LauncherCfg::ServerListTables& tables = run.Tables();
  const VersionStep* found = FindStepFrom(tables.versionSteps, run.Local().version);
  if (found == nullptr) {
    run.SetStage(UpdateStage::NoPatch);
    return;
  }
  const VersionStep step = *found;
  if (StepComesBack(tables.versionSteps, step, tables.newVersion, run.LeftVersions())) {
    // A broken chain, as a missing step is; the version of the last good step stays.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "版本链回到已离开的版本:%s -> %s", step.Cur.c_str(),
                                       step.Next.c_str());
    run.SetStage(UpdateStage::NoPatch);
    run.Send(WM_UPDATE_FAILED);
    return;
  }
  run.LeaveVersion(step.Cur);
  std::string base;
  if (!GetPatchBaseUrl(run, &base)) return;  // the process ends there
  const bool micro = run.Settings().microClientOpen;
  const std::string name = step.Cur + "_" + step.Next;
  run.SetPendingShowVersion(GetShowVersion(tables.versionSteps, step.Next));
  const std::string url = base + "update/" + name + (micro ? "/microclient_" : "/") + name;
  const std::string data = std::string(kPatchTemp) + "/Version.pkg", index = std::string(kPatchTemp) + "/Version.pkg1";

  bool ok = true;
  run.SetStage(UpdateStage::PatchDownload);
  if (!DownloadPatchFile(run, url, index, data, false)) {
    run.SetStage(UpdateStage::NoPatch);
    ok = false;
  }
  if (ok) {
    run.SetStage(UpdateStage::PatchCheck);
    if (!VerifyFileMD5(data.c_str(), step.MD5.c_str(), step.MicroClientMD5.c_str(), micro)) {
      PackClient::DeleteFolderTree(kPatchTemp, false);
      run.ShowBox(22, 16, MB_ICONERROR, true);
      run.Send(WM_UPDATE_FAILED);
      return;
    }
    run.Window().EnableButton(LauncherButton::Exit, false);
    ok = ApplyDownloadedPatch(run, micro);
    if (ok) run.Window().EnableButton(LauncherButton::Exit, true);
  }
  ok = ok && FinishVersionStep(run, step.ShowVer, step.Next, tables.newVersion, step.Restart == "TRUE");
  if (!ok) {
    run.Window().EnableButton(LauncherButton::Exit, true);
    run.Send(WM_UPDATE_FAILED);
  }
}

bool GetPatchBaseUrl(UpdateContext& run, std::string* url) {
  if (run.BaseUrl(url)) return true;
  const std::vector<BigAreaAddress>& areas = run.Tables().bigAreas;
  const BigAreaAddress* entry = nullptr;
  if (run.Settings().webMode) {
    if (!areas.empty()) entry = &areas.front();
  } else {
    const int32_t area = run.BaseArea();
    auto found = std::find_if(areas.begin(), areas.end(), [area](const BigAreaAddress& a) { return a.Index == area; });
    if (found != areas.end()) entry = &*found;
  }
  const int32_t error = entry == nullptr ? 19 : entry->Addresses.empty() ? 21 : 0;
  if (error != 0) {
    std::string text = FormatCheckedText(run.Text(20), "ds", 0, run.Text(error).c_str());
    LauncherCfg::FatalConfigExit(run.Window().MainWindow(), text.c_str(), run.Text(16).c_str(), MB_ICONERROR, -1);
    return false;
  }
  srand(static_cast<unsigned>(_time64(nullptr)));
  std::string chosen = entry->Addresses[static_cast<size_t>(rand()) % entry->Addresses.size()];
  if (chosen.empty() || (chosen.back() != '/' && chosen.back() != '\\')) chosen += "/";
  run.SetBaseUrl(chosen);
  *url = chosen;
  return true;
}
