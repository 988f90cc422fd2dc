// Merging a patch's pack entries into the client's data packs: one copy job
// (a whole-pack merge on its own thread) per touched pack.
#include <windows.h>
#include <io.h>
#include <process.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ApplyPack.h"
#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PatchFolders.h"
#include "common/EngineFun/Helper.h"

namespace PackClient {
namespace {

struct JobRun {
  const CopyJob* job;
  bool merged;
};

unsigned __stdcall CopyJobThread(void* arg) {
  JobRun* run = static_cast<JobRun*>(arg);
  const CopyJob& job = *run->job;
  run->merged = FilePack::CFilePackIndexMgr::MergePack(nullptr, job.patchIndex.c_str(), job.patchData.c_str(),
                                                      job.clientIndex.c_str(), job.clientData.c_str(), false);
  return 0;
}

void CountHandled() { InterlockedIncrement(&PackMergeProgress().handled); }

// A pack the client lacks is taken whole from the downloaded pack.
bool ExtractWholePack(FilePack::CFilePackIndexMgr& downloaded, const CString& pack) {
  CString index = IndexNameOfPack(pack);
  return downloaded.ExtractFile(index, index) && downloaded.ExtractFile(pack, pack);
}

bool SameClientFile(const std::string& a, const std::string& b) {
  return NormalizePath(a.c_str()) == NormalizePath(b.c_str());
}

}  // namespace

MergeProgress& PackMergeProgress() {
  static MergeProgress progress = {0, 0};
  return progress;
}

std::string& PatchFolder() {
  static std::string folder = "LauncherCfg/PatchTemp";
  return folder;
}

std::unordered_map<int, std::vector<std::string>>& ConfigFileMap() {
  static std::unordered_map<int, std::vector<std::string>> map;
  return map;
}

std::vector<CopyJob>& CopyJobs() {
  static std::vector<CopyJob> jobs;
  return jobs;
}

bool RunCopyJobs() {
  SetClientLocale();
  std::vector<CopyJob>& jobs = CopyJobs();
  if (jobs.empty()) return true;
  std::vector<JobRun> runs(jobs.size());
  std::vector<HANDLE> started;
  bool ok = true;
  for (size_t i = 0; i < jobs.size(); ++i) {
    runs[i] = {&jobs[i], false};
    uintptr_t h = _beginthreadex(nullptr, 0, &CopyJobThread, &runs[i], 0, nullptr);
    if (h == 0) {
      ENGINE_REPORT("false&&\"启动线程失败\"");
      ok = false;
      continue;
    }
    started.push_back(reinterpret_cast<HANDLE>(h));
  }
  Sleep(1);
  // Only threads that started are waited for, in groups the wait accepts.
  for (size_t first = 0; first < started.size(); first += MAXIMUM_WAIT_OBJECTS) {
    DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, started.size() - first));
    WaitForMultipleObjects(count, &started[first], TRUE, INFINITE);
  }
  for (HANDLE h : started) CloseHandle(h);
  for (const JobRun& run : runs) ok = run.merged && ok;
  return ok;
}

bool AddPackEntries(std::vector<FileEntry>* list, const char* packName, bool microMode) {
  SetClientLocale();
  if (list == nullptr || packName == nullptr) return false;
  const CString index = IndexNameOfPack(packName);
  FilePack::CFilePackIndexMgr* manager = GetPackManagerForPath(packName);
  if (manager == nullptr) {
    ENGINE_ASSERT(false);
    return false;
  }
  const bool copyWhole = !microMode || IsInMoveList(packName);
  CopyJob job = {PatchFolder() + "\\" + packName, PatchFolder() + "\\" + index.Str(), packName, index.Str()};
  bool queued = false, marked = false;
  auto ofThisPack = [packName](const FileEntry& entry) { return entry.inPack && entry.location == packName; };
  for (const FileEntry& entry : *list) {
    if (!ofThisPack(entry)) continue;
    CountHandled();
    if (copyWhole) {
      queued = true;
      continue;
    }
    marked = manager->DeleteFile(entry.name) || marked;
    DeleteMovedPackFor(entry.location);
    if (entry.name.Find(".cfg") >= 0 || entry.name.Find(".cfs") >= 0)
      ConfigFileMap()[GetSlotOfPackName(entry.location)].push_back(entry.name.Str());
  }
  list->erase(std::remove_if(list->begin(), list->end(), ofThisPack), list->end());
  // Names differing only in case are one file: never two merges into it.
  if (queued && std::none_of(CopyJobs().begin(), CopyJobs().end(),
                             [&job](const CopyJob& other) { return SameClientFile(other.clientData, job.clientData); }))
    CopyJobs().push_back(job);
  return !marked || manager->SaveChanges();
}

bool MergeFilesIntoPacks(const char* p, std::vector<FileEntry>* list, bool microMode) {
  SetClientLocale();
  if (p == nullptr || list == nullptr || list->empty() || !FileListStaysInClient(*list)) return false;
  const std::string data = std::string(p) + ".pkg", index = std::string(p) + ".pkg1";
  FilePack::CFilePackIndexMgr downloaded;
  if (!downloaded.OpenPack(index.c_str(), data.c_str(), false)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "包文件 %s 打开失败", data.c_str());
    return false;
  }
  CopyJobs().clear();
  PackMergeProgress().handled = 0;
  std::vector<CString> finished;  // pack names without extension
  bool ok = true;
  while (ok && !list->empty()) {
    const FileEntry first = list->front();
    if (!first.inPack) {
      CreateFolders(first.location);
      SetFileAttributesA(first.location, FILE_ATTRIBUTE_NORMAL);
      if (microMode && IsSpecialClientFile(first.location)) EngineFunc::EngineFunc_DeleteFile(first.location);
      CountHandled();
      list->erase(list->begin());
      continue;
    }
    const CString pack = first.location;
    const CString base = IsPackDataName(pack) ? pack.Left(pack.GetLength() - 4) : pack;
    if (std::find(finished.begin(), finished.end(), base) != finished.end()) {
      CountHandled();
      list->erase(list->begin());
    } else if (_access(pack, 0) != 0) {
      CreateFolders(pack);
      if (!microMode || IsInMoveList(pack)) ok = ExtractWholePack(downloaded, pack);
      CountHandled();
      list->erase(list->begin());
      finished.push_back(base);
    } else {
      ok = AddPackEntries(list, pack, microMode);
    }
  }
  if (!ok) return false;
  return RunCopyJobs();
}

}  // namespace PackClient
