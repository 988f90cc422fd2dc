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
// The last check of a client: on a mismatch the patch folder is emptied and
// the player told; the caller reports the failure to the window.
bool VerifyClientFilesOrWarn(UpdateContext& run);
void ReconcileOldPacks(UpdateContext& run);
// At the start of a check: an "_old" that an earlier run left beside its
// present copy (a refetch that failed, a kill before the reconcile) is
// reconciled now; the packs are reopened when one changed.
void ReconcileLeftOldPacks(UpdateContext& run);

// A launcher list file ("launchercfg/dlllist.xml") is the LZMA image of an
// XML text. One that is empty, cannot be opened or does not unpack is
// deleted and fetched again, at most kListRefetches times; false after that.
const int kListRefetches = 3;
bool ReadLauncherList(UpdateContext& run, const char* path, std::string* xml);
// The library list: "root" with "file name=..." rows; empty when the file
// cannot be had. Names that would leave the client folder are skipped.
std::vector<std::string> ReadLibraryList(UpdateContext& run, const char* path);
// The rows of an unpacked list; pure.
std::vector<std::string> ParseLibraryList(const char* xml);

// The one pack pair the checksum list never compares ("Data/004.pkg(1)").
bool IsOnDemandPackFile(const std::string& name);
