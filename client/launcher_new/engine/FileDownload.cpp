#include "FileDownload.h"

#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "EngineFiles.h"
#include "UpdateContext.h"
#include "afx/AfxString.h"
#include "common/EngineFun/Helper.h"
#include "common/MicroClient/DownLoadPool.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PatchFolders.h"
#include "common/Pack/PatchPath.h"

namespace {

const int kThreadAttempts = 4;

// The records of one parallel download; workers take them in order.
struct FileQueue {
  std::vector<DownloadRecord> records;
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  UpdateContext* run;
};

// Four attempts; a file that never arrives leaves nothing under its name.
bool FetchQueuedFile(IDownLoad* down, UpdateContext& run, const DownloadRecord& record) {
  const std::string url = LowerAsciiUrl(record.url);
  const std::string& local = record.localPath;
  PackClient::CreateFolders(local.c_str());
  RemovePartialDownloads(local);
  for (int attempt = 1; attempt <= kThreadAttempts; ++attempt) {
    if (run.quitting) break;
    DeleteUrlCacheEntryA(url.c_str());
    EngineFunc::EngineFunc_DeleteFile(local.c_str());
    if (FetchOnce(down, url, local, 0)) return true;
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 下载失败", url.c_str());
  }
  RemovePartialDownloads(local);
  DeleteFileWritable(local);
  return false;
}

unsigned __stdcall DownloadFileThread(void* arg) {
  FileQueue* queue = static_cast<FileQueue*>(arg);
  PooledDownLoad pooled;
  IDownLoad* down = pooled.Get();
  if (down != nullptr) down->SetNotify(GetForegroundWindow(), 0, 1, 1);
  for (size_t i; (i = queue->next++) < queue->records.size();)
    if (down == nullptr || !FetchQueuedFile(down, *queue->run, queue->records[i])) queue->ok = false;
  return 0;
}

}  // namespace

PooledDownLoad::PooledDownLoad() : m_down(AcquirePooledDownLoad()), m_com(SUCCEEDED(CoInitialize(nullptr))) {}

PooledDownLoad::~PooledDownLoad() {
  ReleasePooledDownLoad(m_down);
  if (m_com) CoUninitialize();
}

std::string LowerAsciiUrl(const std::string& url) {
  CString lower(url.c_str());
  lower.MakeLower();
  return lower.Str();
}

bool IsFtpUrl(const std::string& url) { return url.compare(0, 6, "ftp://") == 0; }

bool FetchOnce(IDownLoad* down, const std::string& url, const std::string& localPath, int force) {
  int r = down->Download(url.c_str(), localPath.c_str(), nullptr, 0, 0, force, 0, 1, 1);
  return r == DOWNLOAD_RESULT_OK || r == DOWNLOAD_RESULT_UPTODATE;
}

bool DownloadServerFile(UpdateContext& run, const std::string& url, const std::string& localPath, int maxRetries) {
  const std::string address = LowerAsciiUrl(url);
  if (IsFtpUrl(address) || !PackClient::CheckClientPath(localPath.c_str())) {
    run.SetStage(UpdateStage::DownloadFailed);
    return false;
  }
  PackClient::CreateFolders(localPath.c_str());
  RemovePartialDownloads(localPath);
  for (int retries = 0;; ++retries) {
    DeleteUrlCacheEntryA(address.c_str());
    DeleteFileWritable(localPath);
    IDownLoad* down = run.Downloader();
    if (!run.quitting && down != nullptr && FetchOnce(down, address, localPath, 0)) return true;
    if (retries >= maxRetries || run.quitting) {
      run.SetStage(UpdateStage::DownloadFailed);
      RemovePartialDownloads(localPath);  // nothing resumes them
      return false;
    }
  }
}

bool DownloadFilesParallel(UpdateContext& run, std::vector<DownloadRecord>* records) {
  if (records == nullptr || records->empty()) return true;
  FileQueue queue;
  queue.run = &run;
  std::set<std::string> seen;  // two threads must never write one file
  for (const DownloadRecord& record : *records) {
    if (!PackClient::CheckClientPath(record.localPath.c_str())) continue;  // reported, skipped
    std::string key = PackClient::NormalizePath(record.localPath.c_str()).Str();
    if (seen.insert(key).second) queue.records.push_back(record);
  }
  // A fresh install lists thousands of files; a thread each would exhaust
  // a 32-bit address space with their stacks.
  const size_t workers = std::min<size_t>(kMaxDownloadWorkers, queue.records.size());
  std::vector<ScopedHandle> threads;
  for (size_t i = 0; i < workers; ++i) StartWorker(&DownloadFileThread, &queue, &threads);
  if (threads.empty() && !queue.records.empty()) queue.ok = false;  // nothing fetches them
  WaitForWorkers(threads);
  records->clear();
  return queue.ok;
}
