// Applying a downloaded patch pack to the client: its loose files, its
// delete list and its pack entries.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "PatchFileList.h"

namespace PackClient {

// One client pack merged from the patch's copy of it.
struct CopyJob {
  std::string patchData;   // patch folder "\\" pack data file name
  std::string patchIndex;  // patch folder "\\" pack index file name
  std::string clientData;  // "Data/006.pkg"
  std::string clientIndex;  // "Data/006.pkg1"
};

// Entries handled and entries to handle, shown in the status line.
struct MergeProgress {
  volatile long handled;
  volatile long total;
};
MergeProgress& PackMergeProgress();

// The update engine's patch folder ("LauncherCfg/PatchTemp").
std::string& PatchFolder();
// Pack slot -> ".cfg"/".cfs" names deleted from that pack.
std::unordered_map<int, std::vector<std::string>>& ConfigFileMap();
std::vector<CopyJob>& CopyJobs();

bool ExtractPackToFolder(const char* p, const char* folder);
// p is the patch path without extension ("LauncherCfg/PatchTemp\\Version").
bool ApplyTempPack(const char* p, std::vector<FileEntry>* versionList);
bool MergeFilesIntoPacks(const char* p, std::vector<FileEntry>* list, bool microMode);
bool AddPackEntries(std::vector<FileEntry>* list, const char* packName, bool microMode);
// True when every copy job merged.
bool RunCopyJobs();

}  // namespace PackClient

bool ApplyDeleteList(std::vector<PackClient::FileEntry>* list);
bool IsBrowserPluginName(CString name);
