// The process-wide micro-client download manager: fetches resources over
// HTTP, one on the caller's thread or a whole list on worker threads, and
// hands each downloaded file to its pack, which checks and parks it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/Locks.h"
#include "common/Pack/FilePackIndexMgr.h"

class IDownLoad;
class CAsyncFileLoader;

// One resource in work, on the stack of the thread working on it.
struct MicroDownloadTask {
  MicroDownloadTask() = default;
  // Address, name and pack must be given, else the task stays empty.
  MicroDownloadTask(const char* remote, const char* local, FilePack::CFilePackIndexMgr* pack, int type, int offset,
                    int size);

  std::string m_strRemote;    // download address
  std::string m_strTempFile;  // receives the download
  std::string m_strLocal;     // the resource's name in the pack
  int m_nOffset = 0;
  int m_nSize = 0;  // decides the number of parts
  FilePack::CFilePackIndexMgr* m_pPack = nullptr;
  int m_nType = 9;  // the pack number
};

// (context, done, total) of a list download; called on the worker threads,
// each call with its own incremented done count.
typedef void (*MicroProgressFunc)(void* context, int done, int total);

class CHttpDownLoadMgr {
 public:
  // Created on first use; lives until the process ends.
  static CHttpDownLoadMgr* GetInstance();
  ~CHttpDownLoadMgr();
  CHttpDownLoadMgr(const CHttpDownLoadMgr&) = delete;
  CHttpDownLoadMgr& operator=(const CHttpDownLoadMgr&) = delete;

  // The downloader of DownloadFile (the launcher's global one); not owned.
  void SetSingleDownLoad(IDownLoad* down);
  // One resource on the caller's thread; true when it was fetched and the
  // pack accepted it.
  bool DownloadFile(const char* address, int type, const char* name, int offset, int size,
                    FilePack::CFilePackIndexMgr* pack);
  // Every listed resource (once per name, the first item wins) on up to
  // maxWorkers threads (at most 64). A failed resource is not retried here:
  // the caller checks the packs afterwards. False for a null list or when a
  // worker could not start (its items count as failed).
  bool DownloadFileList(const std::vector<FilePack::MicroDownloadItem>* items, int ignored, int maxWorkers);

  void SetProgressCallback(MicroProgressFunc func, void* context);
  // Most bytes received by all workers together in one window of >= 1 s.
  int PeakSpeed() const { return m_nPeakSpeed; }
  bool IsBusy() const { return m_nBusy != 0; }

  static CAsyncFileLoader* CreateAsyncFileLoader();

  // Starts a worker thread; replaceable so that runs can make starts fail.
  typedef HANDLE (*ThreadStarter)(unsigned(__stdcall* body)(void*), void* context);
  static void SetThreadStarter(ThreadStarter starter);

  // The downloaders' progress callback in delta mode: bytes since the last call.
  static void RecordDownloadSpeed(int32_t total, int32_t delta);

 private:
  struct WorkerContext;
  CHttpDownLoadMgr();
  static unsigned __stdcall WorkerThread(void* arg);
  void RunItem(IDownLoad* down, const FilePack::MicroDownloadItem& item);
  void CountDone();
  void DownloadCompanionFiles(const MicroDownloadTask& task, IDownLoad* down);
  // Fetches one resource of the pack into a temporary file and hands it over.
  bool FetchIntoPack(IDownLoad* down, const char* address, int size, const char* name,
                     FilePack::CFilePackIndexMgr* pack);

  CDualLock* m_pListLock;  // second section: one list download at a time
  IDownLoad* m_pListDownLoad;
  IDownLoad* m_pSingleDownLoad;
  volatile LONG m_nBusy;
  volatile LONG m_nPeakSpeed;

  CRITICAL_SECTION m_progressLock;  // guards the callback and its context
  MicroProgressFunc m_pProgress;
  void* m_pProgressContext;
  volatile LONG m_nProgressTotal;
  volatile LONG m_nProgressDone;
};
