// The client check of a micro client: the moved pack copies and list files,
// the resources the launcher must provide before the game starts (fetched
// into the packs through the micro-client download manager), the bulk
// packs, and the same fetch before the hand-over to the emergency updater.
#pragma once
#include <map>
#include <string>
#include <vector>

class UpdateContext;

// One resource the launcher must fetch into a client pack.
struct MicroResource {
  std::string folder;  // the pack's folder name ("data/004")
  std::string path;    // the resource inside the pack
};
// Pack slot (0..10) -> its resources, in the order they were found.
typedef std::map<int, std::vector<MicroResource>> MicroResourceMap;

// The client check of a micro client, in place of FullClientFileCheck.
bool MicroClientFileCheck(UpdateContext& run);
// Before the hand-over to the emergency updater: the moved copies, then the
// resources that the applied patches took out of the packs.
bool PrepareMicroClientUpdate(UpdateContext& run);

// Fetches every moved pack copy ("data/00N.pkg2") that is missing; false
// when the launcher is quitting or a copy did not arrive.
bool FetchMissingMovedPacks(UpdateContext& run);
// Loads each micro-mode data pack's micro index from its moved copy.
void OpenMovedPackIndexes();

// launchercfg/downloadlist.xml: "FileList" of "Pack" elements whose text is
// a slot, each with "File Name=..." rows. Slots outside 0..10 and names
// that would leave the client folder (or do not fit a pack key) are
// skipped. False when the text does not parse.
bool ParseDownloadList(const char* xml, MicroResourceMap* listed);
// Fills map with what the packs lack: the listed files and the missing
// resources of the micro indexes. False (reported, map empty: the check goes
// on without fetching) when the list cannot be had: missing, empty or
// damaged after kListRefetches fetches, or not XML.
bool CollectMissingMicroResources(UpdateContext& run, MicroResourceMap* map);
// Appends the configuration files that applied patches took out of the packs.
void MergeConfigFileMap(MicroResourceMap* map);

// Passes over what is still missing: one fetch each (16 workers above
// kParallelItems items in the first kParallelPasses passes), a whole-pack
// fetch for data/004 or the data/008 pictures above kBulkItems on the first
// pass. True once a collection finds nothing missing; after kMicroPasses
// passes stage DownloadFailed, WM_UPDATE_FAILED and false.
const int kMicroPasses = 10;
const size_t kParallelItems = 100;
const int kParallelPasses = 5;
const int kMicroWorkers = 16;
const size_t kBulkItems = 500;
bool DownloadMicroResources(UpdateContext& run, const MicroResourceMap& map);
// The whole-pack fetch: kind 0 the pictures into Data/008, kind 1 Data/004.
enum BulkPackKind { kBulkPictures = 0, kBulkQuests = 1 };
bool FetchBulkTempPack(UpdateContext& run, int kind);

// Data/004's pair: the checksum list names it without comparing it, so a
// pair cut by a kill still looks present. One that does not read as a whole
// pack is fetched again and replaces it as one; false when that fails.
bool KeepOnDemandPackWhole(UpdateContext& run);

// The micro-client download manager's progress callback: files merged and
// files to merge of the active run.
void SetMergeProgress(int merged, int toMerge);
