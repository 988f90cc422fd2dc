// Single files and lists of files fetched for the client check: one file
// with the global downloader and retries, many at once on their own threads.
#pragma once
#include <string>
#include <vector>

#include "common/HttpDownLoad/DownLoadFile.h"  // RemovePartialDownloads

class UpdateContext;
class IDownLoad;

// A downloader borrowed from the pool, with COM started on this thread;
// both are given back on every exit.
class PooledDownLoad {
 public:
  PooledDownLoad();
  ~PooledDownLoad();
  PooledDownLoad(const PooledDownLoad&) = delete;
  PooledDownLoad& operator=(const PooledDownLoad&) = delete;
  IDownLoad* Get() const { return m_down; }

 private:
  IDownLoad* m_down;
  bool m_com;
};

// The side name a fetched file waits under until it is checked and put in
// place whole (unpacked, or replacing a pack pair).
constexpr char kArrivalSide[] = ".down";

struct DownloadRecord {
  std::string url;
  std::string localPath;
};

// ASCII letters lowered; the trail bytes of double-byte characters stay.
std::string LowerAsciiUrl(const std::string& url);
bool IsFtpUrl(const std::string& url);

// maxRetries 3 means four attempts; false sets the stage DownloadFailed. An
// address it cannot fetch ("ftp://") or a path outside the client folder
// is a failure.
bool DownloadServerFile(UpdateContext& run, const std::string& url, const std::string& localPath, int maxRetries);

// At most kMaxDownloadWorkers threads take the records from one queue
// (records naming the same file once), each with a pooled downloader and
// four attempts per file; true when every file arrived. A file that did not
// arrive leaves nothing under its local path. Empties records.
const int kMaxDownloadWorkers = 16;
bool DownloadFilesParallel(UpdateContext& run, std::vector<DownloadRecord>* records);

// One download call as the client check makes it (start and end 0, no
// speed limit, one part); true for results 0 and 1.
bool FetchOnce(IDownLoad* down, const std::string& url, const std::string& localPath, int force);
