// The client file check at the end of an update: list files, moved pack
// copies, need-download files, auxiliary libraries and the checksum passes.
#pragma once
#include <string>
#include <vector>

class UpdateContext;

bool FullClientFileCheck(UpdateContext& run);
bool CheckClientFiles(UpdateContext& run);
bool LoadLauncherCfgLists(UpdateContext& run);
bool FetchNeedDownloadFiles(UpdateContext& run);
bool CheckOtherFiles(UpdateContext& run);
bool VerifyClientFiles(UpdateContext& run);
void ReconcileOldPacks(UpdateContext& run);

// A launcher list file ("launchercfg/dlllist.xml"): LZMA image of an XML
// "root" with "file name=..." rows. A file that keeps arriving empty (or
// cannot be opened) is fetched again at most kListRefetches times, then the
// list is empty. Names that would leave the client folder are skipped.
const int kListRefetches = 3;
std::vector<std::string> ReadLibraryList(UpdateContext& run, const char* path);
// The rows of an unpacked list; pure.
std::vector<std::string> ParseLibraryList(const char* xml);

// The one pack pair the checksum list never compares ("Data/004.pkg(1)").
bool IsOnDemandPackFile(const std::string& name);
