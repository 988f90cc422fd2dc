#include "PatchDownload.h"

#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include "FileDownload.h"
#include "UpdateContext.h"
#include "common/MicroClient/DownLoadPool.h"
#include "common/Pack/PatchFolders.h"

namespace {

const int kTolerated = 3;  // failed transfers after which the next one ends it

// The downloader of one DownloadPatchFile call; a pooled one goes back to
// the pool, and its thread's COM is released, on every exit.
class PatchDownloader {
 public:
  PatchDownloader(UpdateContext& run, bool own) : m_own(own) {
    if (!own) {
      m_down = run.Downloader();
      return;
    }
    m_down = AcquirePooledDownLoad();
    if (m_down != nullptr) {
      m_down->SetTimeouts(15000, 15000, 15000);
      m_down->SetNotify(GetForegroundWindow(), 0, 1, 1);
      m_down->SetKeepAlive(false);
    }
    m_com = SUCCEEDED(CoInitialize(nullptr));
  }
  ~PatchDownloader() {
    if (!m_own) return;
    ReleasePooledDownLoad(m_down);
    if (m_com) CoUninitialize();
  }
  PatchDownloader(const PatchDownloader&) = delete;
  PatchDownloader& operator=(const PatchDownloader&) = delete;
  IDownLoad* Get() const { return m_down; }

 private:
  bool m_own;
  bool m_com = false;
  IDownLoad* m_down = nullptr;
};

}  // namespace

bool DownloadPatchFile(UpdateContext& run, const std::string& url, const std::string& indexPath,
                       const std::string& dataPath, bool ownDownloader) {
  if (IsFtpUrl(url)) return false;
  PatchDownloader downloader(run, ownDownloader);
  IDownLoad* down = downloader.Get();
  if (down == nullptr) return false;
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
