#include "ClientCheck.h"

#include <windows.h>

#include "EngineFiles.h"
#include "FileDownload.h"
#include "MicroClientCheck.h"
#include "PatchDownload.h"
#include "UpdateContext.h"
#include "afx/AfxString.h"
#include "common/MD5Checksum.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PackClientUnpack.h"
#include "common/Pack/PackFileIo.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/PatchPath.h"

namespace {

const char* const kLauncherLists[] = {"launchercfg/downloadlist.xml", "launchercfg/effectlist.xml",
                                      "launchercfg/dlllist.xml"};
const char kLibraryList[] = "launchercfg/dlllist.xml";
const int kServerFileRetries = 3;
const int kChecksumPasses = 3;

bool NeedDownloadComp(const UpdateContext& run, const std::string& name) {
  for (const NeedDownloadEntry& entry : run.Tables().needDownloads)
    if (entry.name == name) return entry.comp;
  return false;
}

// A file fetched under its side name takes its own name only whole: a
// packed one unpacked, the others as they came. The side file never stays.
bool TakeArrival(const std::string& side, const std::string& name, bool comp) {
  const bool ok = comp ? PackClient::UnpackFileTo(side.c_str(), name.c_str()) : FilePack::ReplaceFiles({{side, name}});
  DeleteFileWritable(side);
  return ok;
}

bool IsBadClientFile(const FileChecksumEntry& entry) {
  if (!FileExists(entry.name)) return true;
  return !IsOnDemandPackFile(entry.name) && CMD5Checksum::GetFileMD5(entry.name.c_str()).Str() != entry.md5;
}

// The names of the checksum list that are missing or differ, in list order.
// (Hashing on several threads was slower: the reads contend.)
std::vector<std::string> BadChecksumFiles(UpdateContext& run) {
  const std::vector<FileChecksumEntry>& files = run.Tables().checksums;
  std::vector<std::string> bad;
  run.clientCheckTotal = static_cast<int32_t>(files.size());
  run.clientCheckDone = 0;
  for (const FileChecksumEntry& entry : files) {
    ++run.clientCheckDone;
    // A name outside the client folder is reported and never followed.
    if (PackClient::CheckClientPath(entry.name.c_str()) && IsBadClientFile(entry)) bad.push_back(entry.name);
  }
  return bad;
}

}  // namespace

bool IsOnDemandPackFile(const std::string& name) {
  CString key = PackClient::NormalizePath(name.c_str());
  return key.CompareNoCase("Data/004.pkg") == 0 || key.CompareNoCase("Data/004.pkg1") == 0;
}

bool LoadLauncherCfgLists(UpdateContext& run) {
  std::vector<DownloadRecord> records;
  for (const char* name : kLauncherLists)
    if (!FileExists(name)) records.push_back({run.Tables().microClientVersionUrl + name, name});
  return records.empty() || DownloadFilesParallel(run, &records);
}

bool FullClientFileCheck(UpdateContext& run) {
  run.SetStage(UpdateStage::ClientFilesPrepare);
  if (!LoadLauncherCfgLists(run)) return false;
  std::vector<std::string> missing;
  PackClient::ListMissingMovedPacks(&missing);
  for (const std::string& name : missing)
    if (!DownloadServerFile(run, run.Tables().microClientVersionUrl + name, name, kServerFileRetries)) return false;
  ReconcileLeftOldPacks(run);
  return CheckClientFiles(run);
}

bool CheckClientFiles(UpdateContext& run) {
  run.SetStage(UpdateStage::ClientVerify);
  if (!FetchNeedDownloadFiles(run) || !CheckOtherFiles(run)) {
    run.SetStage(UpdateStage::ClientCheckFailed);
    return false;
  }
  return VerifyClientFilesOrWarn(run);
}

bool VerifyClientFilesOrWarn(UpdateContext& run) {
  if (run.Local().superVar1 || VerifyClientFiles(run)) return true;
  PackClient::DeleteFolderTree(kPatchTemp, false);
  run.ShowBox(22, 16, MB_ICONERROR, false);
  return false;  // the step or the driver tells the window, once
}

bool FetchNeedDownloadFiles(UpdateContext& run) {
  // Each file arrives under a side name and takes its own name only whole
  // (and unpacked): a failed or cut batch leaves a missing file, fetched at
  // the next start, never a packed or partial one that looks present.
  struct Arrival {
    std::string name, side;
    bool comp;
  };
  std::vector<DownloadRecord> records;
  std::vector<Arrival> arrivals;
  for (const NeedDownloadEntry& entry : run.Tables().needDownloads) {
    if (!PackClient::CheckClientPath(entry.name.c_str()) || FileExists(entry.name)) continue;
    const std::string side = entry.name + kArrivalSide;
    records.push_back({run.Tables().microClientVersionUrl + entry.name, side});
    arrivals.push_back({entry.name, side, entry.comp});
  }
  bool all = records.empty() || DownloadFilesParallel(run, &records);
  for (const Arrival& file : arrivals) {
    if (!FileExists(file.side)) continue;  // a failed download leaves no side file
    // A packed one that does not unpack is dropped and the check goes on;
    // another that cannot take its name is still missing: not a success.
    if (!TakeArrival(file.side, file.name, file.comp) && !file.comp) all = false;
  }
  return all;
}

bool CheckOtherFiles(UpdateContext& run) {
  bool all = true;
  for (const std::string& name : ReadLibraryList(run, kLibraryList)) all = all && FileExists(name);
  if (all) return true;
  const std::string folder = kPatchTemp;
  CSALocker hold(&run.PatchFolderLock());
  PackClient::CreateFolders((folder + "/").c_str());
  std::string current;
  bool ok = CurrentFolder(&current) &&
            DownloadPatchFile(run, FilePack::GetMicroClientBaseAddress() + "other", folder + "/other.pkg1",
                              folder + "/other.pkg", true) &&
            PackClient::ExtractPackToFolder((folder + "/other").c_str(), (current + "/").c_str());
  if (!ok) return false;
  PackClient::DeleteFolderTree(kPatchTemp, false);
  return true;
}

bool VerifyClientFiles(UpdateContext& run) {
  run.packsChanged = false;
  bool packsChanged = false;  // over every pass: each reconcile sets the flag anew
  const bool micro = run.Settings().microClientOpen;
  const std::string& base = run.Tables().microClientVersionUrl;
  for (int passes = 0;; ++passes) {
    std::vector<std::string> bad = BadChecksumFiles(run);
    if (bad.empty()) {
      run.packsChanged = packsChanged;
      if (packsChanged) {
        PackClient::CloseAllPacks();
        PackClient::OpenAllPacks(micro, true);
        if (micro) MicroClientFileCheck(run);
      }
      return true;
    }
    if (passes >= kChecksumPasses) {
      for (const std::string& name : bad) DeleteFileWritable(name);
      run.SetStage(UpdateStage::ClientCheckFailed);
      return false;
    }
    bool moved = PackClient::RenameMovedPacksToOld(&bad);
    for (const std::string& name : bad) {
      if (run.quitting) return false;
      // A failed download is left to the next pass. A packed file comes
      // under its side name, so a cut before its unpack never leaves the
      // packed image under its own name.
      if (!NeedDownloadComp(run, name)) {
        DownloadServerFile(run, base + name, name, kServerFileRetries);
        continue;
      }
      const std::string side = name + kArrivalSide;
      if (DownloadServerFile(run, base + name, side, kServerFileRetries) && !TakeArrival(side, name, true)) {
        DeleteFileWritable(name);
        return false;
      }
    }
    if (moved) {
      PackClient::CloseAllPacks();
      PackClient::OpenAllPacks(micro, true);
      ReconcileOldPacks(run);
      packsChanged = packsChanged || run.packsChanged;
    }
  }
}
