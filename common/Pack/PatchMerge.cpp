// Merging a patch's pack entries into the client's data packs: one copy job
// (a whole-pack merge on its own thread) per touched pack.
#include <windows.h>
#include <io.h>
#include <process.h>

#include <algorithm>
#include <cstddef>
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

// "Data/006.pkg" -> "Data/006": the name a finished pack is known by.
CString PackBase(const CString& pack) { return IsPackDataName(pack) ? pack.Left(pack.GetLength() - 4) : pack; }

// Drops every entry the test takes, each counted as handled; gives how many.
template <typename Test>
size_t DropHandled(std::vector<FileEntry>* list, Test takes) {
  auto kept = std::remove_if(list->begin(), list->end(), [&](const FileEntry& entry) {
    if (!takes(entry)) return false;
    CountHandled();
    return true;
  });
  size_t dropped = static_cast<size_t>(list->end() - kept);
  list->erase(kept, list->end());
  return dropped;
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
  // A copy: the name may be an entry's own, and the drops move the entries.
  const CString pack(packName), index = IndexNameOfPack(pack);
  FilePack::CFilePackIndexMgr* manager = GetPackManagerForPath(pack);
  if (manager == nullptr) {
    ENGINE_ASSERT(false);
    return false;
  }
  auto ofThisPack = [&pack](const FileEntry& entry) { return entry.inPack && entry.location == pack; };
  if (!microMode || IsInMoveList(pack)) {
    // The whole pack is merged by one job, whatever its entries.
    if (DropHandled(list, ofThisPack) == 0) return true;
    CopyJob job = {PatchFolder() + "\\" + pack.Str(), PatchFolder() + "\\" + index.Str(), pack.Str(), index.Str()};
    // Names differing only in case are one file: never two merges into it.
    if (std::none_of(CopyJobs().begin(), CopyJobs().end(),
                     [&job](const CopyJob& other) { return SameClientFile(other.clientData, job.clientData); }))
      CopyJobs().push_back(job);
    return true;
  }
  // A micro client fetches these entries itself: they leave the pack. Its
  // packs with a moved-aside copy were merged whole above, so there is no
  // copy to delete here.
  bool marked = false;
  DropHandled(list, [&](const FileEntry& entry) {
    if (!ofThisPack(entry)) return false;
    marked = manager->DeleteFile(entry.name) || marked;
    if (entry.name.Find(".cfg") >= 0 || entry.name.Find(".cfs") >= 0)
      ConfigFileMap()[GetSlotOfPackName(pack)].push_back(entry.name.Str());
    return true;
  });
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
  bool ok = true;
  // Loose files stay where they are once handled, ahead of `next`: erasing
  // each would move the whole rest of the list, a square of its length. The
  // drops take only pack entries, so they leave that prefix as it is.
  size_t next = 0;
  while (ok && next < list->size()) {
    const FileEntry& current = (*list)[next];
    const CString location = current.location;  // the drops move the entries
    if (!current.inPack) {
      CreateFolders(location);
      SetFileAttributesA(location, FILE_ATTRIBUTE_NORMAL);
      if (microMode && IsSpecialClientFile(location)) EngineFunc::EngineFunc_DeleteFile(location);
      CountHandled();
      ++next;
    } else if (_access(location, 0) == 0) {
      ok = AddPackEntries(list, location, microMode);
    } else {
      CreateFolders(location);
      if (!microMode || IsInMoveList(location)) ok = ExtractWholePack(downloaded, location);
      // The pack came whole (or stays for the micro client to fill): the
      // rest of its entries are done with it.
      const CString base = PackBase(location);
      DropHandled(list, [&base](const FileEntry& entry) { return entry.inPack && PackBase(entry.location) == base; });
    }
  }
  list->erase(list->begin(), list->begin() + static_cast<std::ptrdiff_t>(next));
  if (!ok) return false;
  return RunCopyJobs();
}

}  // namespace PackClient
