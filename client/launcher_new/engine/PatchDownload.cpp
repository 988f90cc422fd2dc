#include "PatchDownload.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "FileDownload.h"
#include "UpdateContext.h"
#include "common/Pack/PatchFolders.h"

namespace {
const int kTolerated = 3;  // failed transfers after which the next one ends it
}  // namespace

bool DownloadPatchFile(UpdateContext& run, const std::string& url, const std::string& indexPath,
                       const std::string& dataPath, bool ownDownloader) {
  if (IsFtpUrl(url)) return false;
  std::unique_ptr<PooledDownLoad> pooled(ownDownloader ? new PooledDownLoad : nullptr);
  IDownLoad* down = pooled ? pooled->Get() : run.Downloader();
  if (down == nullptr) return false;
  if (pooled) {
    down->SetTimeouts(15000, 15000, 15000);
    down->SetNotify(GetForegroundWindow(), 0, 1, 1);
    down->SetKeepAlive(false);
  }
  PackClient::CreateFolders(dataPath.c_str());
  PackClient::CreateFolders(indexPath.c_str());
  RemovePartialDownloads(dataPath);
  RemovePartialDownloads(indexPath);
  const std::string data = url + ".pkg", index = url + ".pkg1";
  for (int failures = 0;; ++failures) {
    run.progressDone = 0;
    run.progressTotal = 0;
    if (run.quitting) return false;
    bool ok = FetchOnce(down, data, dataPath, 0);
    if (ok) {
      DeleteUrlCacheEntryA(index.c_str());
      ok = FetchOnce(down, index, indexPath, 1);
    }
    if (ok) return true;
    if (failures >= kTolerated) return false;
  }
}
