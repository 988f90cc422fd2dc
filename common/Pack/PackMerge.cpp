// Merging: parked .pkg3 records into their pack (nine packs on nine
// workers), and one whole pack into another. New data is appended to the
// data file; the index is replaced only once it is complete, and a failed
// merge cuts the data file back to its old length.
#include <process.h>

#include <atomic>
#include <cstring>
#include <new>
#include <set>
#include <vector>

#include "PackWriteHelpers.h"
#include "PatchPath.h"
#include "common/CRC32.h"
#include "common/EngineFun/Helper.h"
#include "common/FileSearch.h"
#include "common/StrUtil.h"

namespace FilePack {

namespace {

struct MergeProgress {
  std::atomic<int> toMerge{0};
  std::atomic<int> merged{0};
  std::atomic<PackProgressCallback> callback{nullptr};
  CSemiAutoIntLock reporting;
};

MergeProgress& ProcessMergeProgress() {
  static MergeProgress progress;
  return progress;
}

// One report at a time, each with the counters as they are then: the nine
// workers' reports reach the callback in order, so the last one it gets
// holds the final counts.
void ReportProcessProgress() {
  MergeProgress& p = ProcessMergeProgress();
  CSALocker hold(&p.reporting);
  if (PackProgressCallback callback = p.callback.load()) callback(p.merged.load(), p.toMerge.load());
}

enum class MergeResult { kNothing, kMerged, kFailed };

// The downloaded bytes of a record, checked against its length and CRC.
bool ReadRecordData(const MicroIndexRecord& record, bool lzma, std::string* bytes) {
  const uint32_t expected = StoredLength(record.record.entry, lzma);
  if (expected == 0 || !CFilePackIndexMgr::ReadWholeFile(record.fileName, bytes, true, expected)) return false;
  if (Crypto::CCRC32().Calc(reinterpret_cast<const uint8_t*>(bytes->data()), expected) == record.crc) return true;
  ENGINE_REPORT("false&&\"下载资源CRC验证失败\"");
  return false;
}

// Appending ends in one of two ways: the new index replaced the old one,
// or the data file is back at its old length and the old index stays.
bool FinishAppend(PackOutFile* data, uint64_t oldLength, const std::string& image, const char* indexPath,
                  const std::string& freshIndex, bool ok) {
  ok = ok && data->Flush() && WriteIndexFile(freshIndex.c_str(), image) &&
       CFilePackIndexMgr::SwapIndexFiles(indexPath, freshIndex.c_str());
  if (!ok) {
    ::DeleteFileA(freshIndex.c_str());
    data->Truncate(oldLength);
  }
  return data->Close() && ok;
}

MergeResult MergeFolder(PackProgressCallback progress, const char* dataPath, const char* folder,
                        const char* indexPath, bool deleteDownloaded, bool globalProgress) {
  if (dataPath == nullptr || folder == nullptr || indexPath == nullptr) return MergeResult::kFailed;
  SetPackLocale("Chinese-simplified");
  FileIO::CFileSearch search;
  std::string filter;
  StrUtil::Format(filter, "*%s", ".pkg3");
  search.Search(folder, filter.c_str(), false);
  std::vector<std::string> found;
  // The directory search matches extensions by substring (".pkg" would pass).
  for (const std::string& path : search.m_vecFiles)
    if (PackClient::IsResourceRecordName(path)) found.push_back(path);
  if (found.empty()) return MergeResult::kNothing;

  std::vector<MicroIndexRecord> records;
  std::set<std::string> names;
  for (const std::string& path : found) {
    MicroIndexRecord record = {};
    if (!CFilePackIndexMgr::ReadResourceRecord(path.c_str(), &record)) continue;
    // A record names the file it is merged from and deleted after: only the
    // micro client's own downloads qualify, anything else is never opened.
    if (!PackClient::IsMicroDownloadPath(record.fileName)) {
      EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "资源记录的文件不在下载目录内:%s", record.fileName);
      continue;
    }
    if (names.insert(record.record.name).second) records.push_back(record);
  }
  if (records.empty()) {
    for (const std::string& path : found) EngineFunc::EngineFunc_DeleteFile(path.c_str());  // dropped, all of them
    return MergeResult::kMerged;
  }
  const int counted = static_cast<int>(records.size());
  if (globalProgress) {
    ProcessMergeProgress().toMerge += counted;
    ReportProcessProgress();
  }

  // The old image is parsed first: appended records must follow every
  // record the header counts, or a reader would never reach them.
  CFilePackIndexMgr reader;
  std::string image;
  PackIndexHeader header = {};
  if (!reader.LoadIndexFile(indexPath, false, &image) ||
      !ParsePackIndexImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &header,
                           [](const PackIndexRecord&) { return true; }))
    return MergeResult::kFailed;
  PackOutFile data;
  uint64_t oldLength = 0;
  if (!data.Open(dataPath, OPEN_ALWAYS) || !data.Size(&oldLength)) return MergeResult::kFailed;

  uint64_t base = oldLength;
  std::vector<std::string> downloaded;
  bool ok = true;
  int appended = 0;
  try {
    for (const MicroIndexRecord& record : records) {
      std::string bytes;
      if (!ReadRecordData(record, header.lzma != 0, &bytes) || EndsPastPackLimit(base, static_cast<uint32_t>(bytes.size())))
        continue;  // dropped: its downloaded file stays
      if (!CFilePackIndexMgr::WriteEntryData(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             static_cast<uint32_t>(bytes.size()), &data)) {
        ok = false;
        break;
      }
      if (deleteDownloaded) downloaded.push_back(record.fileName);
      PackIndexRecord entry = record.record;
      entry.entry.offset = static_cast<uint32_t>(base);
      AppendMaskedRecord(image, &entry, sizeof(entry));
      base += bytes.size();
      ++appended;
      if (progress) progress(appended, counted);
      if (globalProgress) {
        ++ProcessMergeProgress().merged;
        ReportProcessProgress();
      }
    }
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    ok = false;
  }
  header.count += static_cast<uint32_t>(appended);
  memcpy(&image[0], &header, sizeof(header));
  if (!FinishAppend(&data, oldLength, image, indexPath, NewIndexName(indexPath), ok)) return MergeResult::kFailed;

  for (const std::string& path : found) EngineFunc::EngineFunc_DeleteFile(path.c_str());
  for (const std::string& path : downloaded) EngineFunc::EngineFunc_DeleteFile(path.c_str());
  return MergeResult::kMerged;
}

struct MergeJob {
  std::string dataPath, folder, indexPath;
  bool deleteDownloaded;
  MergeResult result;
};

unsigned __stdcall MergeWorker(void* arg) {
  MergeJob* job = static_cast<MergeJob*>(arg);
  job->result = MergeFolder(nullptr, job->dataPath.c_str(), job->folder.c_str(), job->indexPath.c_str(),
                            job->deleteDownloaded, true);
  return job->result == MergeResult::kFailed ? 0 : 1;
}

}  // namespace

bool MergeResourceFiles(PackProgressCallback progress, const char* dataPath, const char* folder,
                        const char* indexPath, bool deleteDownloaded, bool globalProgress) {
  return MergeFolder(progress, dataPath, folder, indexPath, deleteDownloaded, globalProgress) ==
         MergeResult::kMerged;
}

void GetMergeProgress(int* merged, int* toMerge) {
  if (merged) *merged = ProcessMergeProgress().merged.load();
  if (toMerge) *toMerge = ProcessMergeProgress().toMerge.load();
}

bool MergeAllDataPacks(bool deleteDownloaded, PackProgressCallback progress) {
  MergeProgress& p = ProcessMergeProgress();
  p.toMerge = 0;
  p.merged = 0;
  p.callback = progress;
  static const int kOrder[9] = {7, 8, 6, 5, 2, 1, 3, 4, 9};
  MergeJob jobs[9];
  HANDLE threads[9];
  int started = 0;
  for (int i = 0; i < 9; ++i) {
    std::string number;
    StrUtil::Format(number, "%03d", kOrder[i]);
    jobs[i] = {"Data/" + number + ".pkg", "data/" + number + "/", "Data/" + number + ".pkg1", deleteDownloaded,
               MergeResult::kFailed};
    threads[started] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, MergeWorker, &jobs[i], 0, nullptr));
    if (threads[started] != nullptr)
      ++started;
    else
      MergeWorker(&jobs[i]);  // no thread: merge this pack here
  }
  Sleep(500);
  WaitForMultipleObjects(static_cast<DWORD>(started), threads, TRUE, INFINITE);
  for (int i = 0; i < started; ++i) CloseHandle(threads[i]);
  bool ok = true;
  for (const MergeJob& job : jobs) ok = ok && job.result != MergeResult::kFailed;
  return ok;
}

bool CFilePackIndexMgr::MergePack(PackProgressCallback progress, const char* sourceIndex, const char* sourceData,
                                  const char* destIndex, const char* destData, bool destMicroMode) {
  Sleep(1);
  if (sourceIndex == nullptr || sourceData == nullptr || destIndex == nullptr || destData == nullptr) {
    ENGINE_REPORT("false&&\"参数为空\"");
    return false;
  }
  std::unique_ptr<CFilePackIndexMgr> source(new (std::nothrow) CFilePackIndexMgr);
  std::unique_ptr<CFilePackIndexMgr> dest(new (std::nothrow) CFilePackIndexMgr);
  if (source == nullptr || dest == nullptr) return false;
  dest->SetMicroMode(destMicroMode);
  if (!source->OpenPack(sourceIndex, sourceData, false) || !dest->OpenPack(destIndex, destData, false)) return false;
  // Stored bytes are copied as they are: both packs must read them alike.
  // An empty destination takes the source's flags.
  const bool lzma = source->IsLzma(), maskWhole = source->MaskWholeData();
  const bool sameFlags = lzma == dest->IsLzma() && (lzma || maskWhole == dest->MaskWholeData());
  std::unordered_map<std::string, PackIndexRecord> records;
  for (const PackIndexRecord& record : dest->Records()) records.emplace(record.name, record);
  if (!sameFlags && !records.empty()) {
    ENGINE_REPORT("false&&\"数据有问题\"");
    return false;
  }
  PackOutFile data;
  uint64_t oldLength = 0;
  if (!data.Open(destData, OPEN_ALWAYS) || !data.Size(&oldLength)) {
    ENGINE_REPORT("false&&\"文件打不开\"");
    return false;
  }
  uint64_t base = oldLength;
  const std::vector<PackIndexRecord> sourceRecords = source->Records();
  const int total = static_cast<int>(sourceRecords.size());
  int done = 0;
  bool ok = true;
  std::string image;
  std::vector<uint8_t> scratch;
  try {
    for (const PackIndexRecord& item : sourceRecords) {
      const uint32_t length = StoredLength(item.entry, lzma);
      if (EndsPastPackLimit(base, length) || !CopyStoredBytes(*source, item.entry.offset, length, &data, &scratch)) {
        ENGINE_REPORT("false&&\"写文件失败\"");
        ok = false;
        break;
      }
      PackIndexRecord& record = records[item.name];
      record = item;
      record.entry.offset = static_cast<uint32_t>(base);
      base += length;
      ++done;
      if (progress) progress(done, total);
    }
    if (ok) {
      PackIndexHeader header = {static_cast<uint32_t>(records.size()), 0, static_cast<uint8_t>(maskWhole),
                                static_cast<uint8_t>(lzma)};
      image.reserve(sizeof(header) + records.size() * sizeof(PackIndexRecord));
      dest->WriteIndexHeader(header, &image);
      for (auto& item : records) AppendMaskedRecord(image, &item.second, sizeof(PackIndexRecord));
    }
  } catch (const std::bad_alloc&) {
    ENGINE_REPORT("false&&\"内存不足\"");
    ok = false;
  }
  dest->CloseFiles();
  return FinishAppend(&data, oldLength, image, destIndex, std::string(destIndex) + "_new", ok);
}

}  // namespace FilePack
