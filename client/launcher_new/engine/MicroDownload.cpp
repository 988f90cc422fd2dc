// Fetching what a micro client lacks into its packs: passes of single or
// parallel fetches through the micro-client download manager, and a whole
// pack where one pack lacks too much.
#include <windows.h>

#include <set>
#include <utility>

#include "EngineFiles.h"
#include "FileDownload.h"
#include "MicroClientCheck.h"
#include "PatchDownload.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"
#include "common/MD5Checksum.h"
#include "common/MicroClient/MicroClientHttpDownLoad.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PackFileIo.h"

namespace {

const int kLastSlot = 10;
const int kScriptSlot = 8;  // "data/script": a folder without a pack
const int kQuestSlot = 2;   // data/004
const int kPictureSlot = 6;  // data/008

struct BulkPack {
  int slot;
  const char* remote;  // after MicroClientVersionUrl
  const char* temp;    // in the patch folder
  const char* index;
  const char* data;
  const char* micro;  // the moved copy holding its micro index
};
const BulkPack kBulkPacks[2] = {
    {kPictureSlot, "/data/upic", "pictemp", "Data/008.pkg1", "Data/008.pkg", "data/008.pkg2"},
    {kQuestSlot, "/data/004", "questtemp", "Data/004.pkg1", "Data/004.pkg", "data/004.pkg2"},
};

bool IsPicture(const std::string& path) { return path.find("ui/") != std::string::npos; }
bool UnderUi(const std::string& path) { return path.compare(0, 3, "ui/") == 0; }

// The slot's entries that the pack lacks and its micro index knows.
size_t CountMissing(FilePack::CFilePackIndexMgr* pack, const std::vector<MicroResource>& entries,
                    bool (*only)(const std::string&)) {
  size_t missing = 0;
  MicroIndexRecord record;
  for (const MicroResource& entry : entries)
    if ((only == nullptr || only(entry.path)) && !pack->HasFile(entry.path.c_str()) &&
        pack->FindMicroEntry(entry.path.c_str(), &record))
      ++missing;
  return missing;
}

// A whole pack fetched and merged; the client pack is then read afresh.
bool FetchWholePack(UpdateContext& run, int kind) {
  const BulkPack& bulk = kBulkPacks[kind];
  if (!FetchBulkTempPack(run, kind)) return false;
  FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManager(bulk.slot, false);
  if (pack != nullptr && pack->OpenPack(bulk.index, bulk.data, true) && pack->OpenMicroIndex(bulk.micro)) return true;
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "包打开失败:%s", bulk.data);
  return false;
}

// The checksum list has entries for Data/004's pair, which the quest pack
// is; the picture pack has none of its own, so it is not compared.
bool MatchesChecksumList(UpdateContext& run, const std::string& data, const std::string& index) {
  for (const FileChecksumEntry& entry : run.Tables().checksums) {
    const CString key = PackClient::NormalizePath(entry.name.c_str());
    const std::string* file = key.CompareNoCase("Data/004.pkg") == 0    ? &data
                              : key.CompareNoCase("Data/004.pkg1") == 0 ? &index
                                                                        : nullptr;
    if (file != nullptr && CMD5Checksum::GetFileMD5(file->c_str()).Str() != entry.md5) return false;
  }
  return true;
}

enum class Collected { kItems, kPassSpent, kFailed };

// This pass's items; on the first pass a pack that lacks too much comes
// whole instead, and its entries wait for the next pass.
Collected CollectPassItems(UpdateContext& run, const MicroResourceMap& map, bool first,
                           std::vector<FilePack::MicroDownloadItem>* items) {
  std::set<std::pair<FilePack::CFilePackIndexMgr*, std::string>> seen;  // one fetch per resource
  for (const auto& slotEntries : map) {
    const int slot = slotEntries.first;
    const std::vector<MicroResource>& entries = slotEntries.second;
    if (slot < 0 || slot > kLastSlot || entries.empty()) continue;
    FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManager(slot, false);
    if (slot == kScriptSlot || pack == nullptr) {
      ENGINE_REPORT("false&&\"指针错误\"");
      continue;
    }
    bool (*skip)(const std::string&) = nullptr;
    if (first && slot == kQuestSlot && CountMissing(pack, entries, nullptr) > kBulkItems) {
      if (!FetchWholePack(run, kBulkQuests)) return Collected::kPassSpent;
      continue;
    }
    if (first && slot == kPictureSlot && CountMissing(pack, entries, &IsPicture) > kBulkItems) {
      if (!FetchWholePack(run, kBulkPictures)) return Collected::kFailed;
      skip = &UnderUi;
    }
    if (!pack->IsOpen() || !pack->MicroMode()) continue;
    for (const MicroResource& entry : entries) {
      MicroIndexRecord record;
      if ((skip != nullptr && skip(entry.path)) || pack->HasFile(entry.path.c_str()) ||
          !pack->FindMicroEntry(entry.path.c_str(), &record) || !seen.insert({pack, record.record.name}).second)
        continue;
      items->push_back(FilePack::MakeDownloadItem(static_cast<int>(record.record.entry.offset), pack->PackNumber(),
                                                  entry.path.c_str(),
                                                  static_cast<int>(FilePack::StoredLength(record.record.entry,
                                                                                          pack->IsLzma())),
                                                  pack));
    }
  }
  return Collected::kItems;
}

void OnListProgress(void* context, int done, int total) {
  static_cast<UpdateContext*>(context)->SetMergeProgress(done, total);
}

// The manager is process-wide; the run's progress goes to it only while the
// run fetches.
struct ListProgress {
  explicit ListProgress(UpdateContext& run) { CHttpDownLoadMgr::GetInstance()->SetProgressCallback(&OnListProgress, &run); }
  ~ListProgress() { CHttpDownLoadMgr::GetInstance()->SetProgressCallback(nullptr, nullptr); }
};

// One at a time with the launcher's own downloader.
void FetchOneByOne(UpdateContext& run, const std::vector<FilePack::MicroDownloadItem>& items) {
  CHttpDownLoadMgr* manager = CHttpDownLoadMgr::GetInstance();
  IDownLoad* down = run.Downloader();
  if (down == nullptr) {
    ENGINE_REPORT("false&&\"指针错误\"");
    return;  // the items stay missing for the next pass
  }
  manager->SetSingleDownLoad(down);
  const int count = static_cast<int>(items.size());
  int done = 0;
  for (const FilePack::MicroDownloadItem& item : items) {
    if (run.quitting) return;
    manager->DownloadFile(item.address.c_str(), item.typeCode, item.resourceName.c_str(), item.offset, item.size,
                          item.owner);
    run.SetMergeProgress(++done, count);
  }
}

// The served pair of a bulk pack fetched into data and index, the quest
// pair compared with the checksum list; then place() puts it into the client
// pack. Whatever the outcome, the fetched pair goes with the call.
template <class Place>
bool FetchServedPair(UpdateContext& run, const BulkPack& bulk, const std::string& data, const std::string& index,
                     Place place) {
  struct Fetched {
    const std::string &data, &index;
    ~Fetched() {
      for (const std::string* file : {&data, &index}) {
        DeleteFileWritable(*file);
        RemovePartialDownloads(*file);
      }
    }
  } fetched{data, index};
  if (!DownloadPatchFile(run, run.Tables().microClientVersionUrl + bulk.remote, index, data, false)) {
    run.SetStage(UpdateStage::DownloadFailed);
    return false;
  }
  return (bulk.slot != kQuestSlot || MatchesChecksumList(run, data, index)) && place();
}

}  // namespace

bool DownloadMicroResources(UpdateContext& run, const MicroResourceMap& map) {
  ListProgress progress(run);
  for (int passes = 0;;) {
    if (run.quitting) return false;
    std::vector<FilePack::MicroDownloadItem> items;
    const Collected collected = CollectPassItems(run, map, passes == 0, &items);
    if (collected == Collected::kFailed) return false;
    if (collected == Collected::kPassSpent) {
      ++passes;
      continue;
    }
    if (items.empty()) return true;
    if (passes >= kMicroPasses) {
      run.SetStage(UpdateStage::DownloadFailed);
      run.Send(WM_UPDATE_FAILED);
      return false;
    }
    ++passes;
    run.SetMergeProgress(0, static_cast<int32_t>(items.size()));
    if (items.size() > kParallelItems && passes <= kParallelPasses)
      CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, kMicroWorkers);
    else
      FetchOneByOne(run, items);
  }
}

bool FetchBulkTempPack(UpdateContext& run, int kind) {
  if (kind != kBulkPictures && kind != kBulkQuests) return false;
  const BulkPack& bulk = kBulkPacks[kind];
  const std::string data = std::string(kPatchTemp) + "/" + bulk.temp + ".pkg", index = data + "1";
  CSALocker hold(&run.PatchFolderLock());
  return FetchServedPair(run, bulk, data, index, [&] {
    return FilePack::CFilePackIndexMgr::MergePack(&SetMergeProgress, index.c_str(), data.c_str(), bulk.index,
                                                  bulk.data, run.Settings().microClientOpen);
  });
}

bool KeepOnDemandPackWhole(UpdateContext& run) {
  const BulkPack& bulk = kBulkPacks[kBulkQuests];
  if (FilePack::PackReadsWhole(bulk.index, bulk.data)) return true;
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "包已损坏,重新下载:%s", bulk.data);
  FilePack::CFilePackIndexMgr* pack = PackClient::GetPackManager(bulk.slot, false);
  if (pack == nullptr) return false;
  // Fetched beside the pack, so that the two files replace it as one.
  const std::string data = std::string(bulk.data) + kArrivalSide, index = std::string(bulk.index) + kArrivalSide;
  return FetchServedPair(run, bulk, data, index, [&] {
    if (!FilePack::PackReadsWhole(index.c_str(), data.c_str())) return false;
    pack->Close(true);
    const bool replaced = FilePack::ReplaceFiles({{data, bulk.data}, {index, bulk.index}});
    // Reopened either way: a replace that failed left the old pair.
    return pack->OpenPack(bulk.index, bulk.data, true) && replaced;
  });
}
