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

struct FileJob {
  DownloadRecord record;
  std::atomic<bool>* ok;
  UpdateContext* run;
};

unsigned __stdcall DownloadFileThread(void* arg) {
  FileJob* job = static_cast<FileJob*>(arg);
  PooledDownLoad pooled;
  IDownLoad* down = pooled.Get();
  if (down == nullptr) {
    *job->ok = false;
    return 0;
  }
  down->SetNotify(GetForegroundWindow(), 0, 1, 1);
  const std::string url = LowerAsciiUrl(job->record.url);
  const std::string& local = job->record.localPath;
  PackClient::CreateFolders(local.c_str());
  RemovePartialDownloads(local);
  for (int attempt = 1; attempt <= kThreadAttempts; ++attempt) {
    if (job->run->quitting) break;
    DeleteUrlCacheEntryA(url.c_str());
    EngineFunc::EngineFunc_DeleteFile(local.c_str());
    if (FetchOnce(down, url, local, 0)) return 0;
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%s 下载失败", url.c_str());
  }
  RemovePartialDownloads(local);
  *job->ok = false;
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
  std::atomic<bool> ok{true};
  std::vector<FileJob> jobs;
  std::set<std::string> seen;  // two threads must never write one file
  for (const DownloadRecord& record : *records) {
    if (!PackClient::CheckClientPath(record.localPath.c_str())) continue;  // reported, skipped
    std::string key = PackClient::NormalizePath(record.localPath.c_str()).Str();
    if (seen.insert(key).second) jobs.push_back({record, &ok, &run});
  }
  std::vector<ScopedHandle> threads;
  for (FileJob& job : jobs)
    if (!StartWorker(&DownloadFileThread, &job, &threads)) ok = false;  // its file is not fetched
  WaitForWorkers(threads);
  records->clear();
  return ok;
}
