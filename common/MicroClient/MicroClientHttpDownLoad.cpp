#include "MicroClientHttpDownLoad.h"

#include <mmsystem.h>
#include <objbase.h>
#include <process.h>

#include <deque>
#include <map>
#include <memory>
#include <new>

#include "AsyncFileLoader.h"
#include "DownLoadPool.h"
#include "ResourceFetch.h"
#include "common/EngineFun/Helper.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/HttpDownLoad/IDownLoad.h"
#include "common/Singleton.h"

namespace {

// One wait takes at most this many handles.
const int kMaxWorkers = MAXIMUM_WAIT_OBJECTS;
const int kCompanionTries = 10;
const uint32_t kWorkerTimeoutMs = 15000;
const DWORD kSpeedWindowMs = 1000;

// The speed window, shared by every worker of the process.
volatile LONG g_windowBytes = 0;
volatile LONG g_windowStart = 0;  // timeGetTime of the last sample; 0: none yet

HANDLE StartWithBeginThread(unsigned(__stdcall* body)(void*), void* context) {
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, context, 0, nullptr));
}

CHttpDownLoadMgr::ThreadStarter g_threadStarter = StartWithBeginThread;

IDownLoad* MakeListDownLoad() {
  IDownLoad* down = CreateDownLoad(CHttpConfig::GetInstance()->m_nHttpID);
  if (down != nullptr) {
    down->Init();
    down->SetKeepAlive(false);
  }
  return down;
}

// Stored length of a micro record in its pack.
int DownloadSizeOf(FilePack::CFilePackIndexMgr* pack, const MicroIndexRecord& record) {
  return static_cast<int>(FilePack::StoredLength(record.record.entry, pack->IsLzma()));
}

}  // namespace

MicroDownloadTask::MicroDownloadTask(const char* remote, const char* local, FilePack::CFilePackIndexMgr* pack, int type,
                                     int offset, int size) {
  if (remote == nullptr || local == nullptr || pack == nullptr) {
    ENGINE_REPORT("false&&\"pszFileName为空\"");
    return;
  }
  m_strRemote = remote;
  m_strLocal = local;
  m_pPack = pack;
  m_nType = type;
  m_nOffset = offset;
  m_nSize = size;
}

struct CHttpDownLoadMgr::WorkerContext {
  std::vector<FilePack::MicroDownloadItem> own;
  std::deque<FilePack::MicroDownloadItem>* shared = nullptr;
  CRITICAL_SECTION* sharedLock = nullptr;
  IDownLoad* down = nullptr;  // null: borrow one from the pool
  CHttpDownLoadMgr* manager = nullptr;
};

CHttpDownLoadMgr* CHttpDownLoadMgr::GetInstance() {
  static CHttpDownLoadMgr manager;
  return &manager;
}

CAsyncFileLoader* CHttpDownLoadMgr::CreateAsyncFileLoader() { return util::Singleton<CAsyncFileLoader>::GetInstancePtr(); }

void CHttpDownLoadMgr::SetThreadStarter(ThreadStarter starter) {
  g_threadStarter = starter != nullptr ? starter : StartWithBeginThread;
}

CHttpDownLoadMgr::CHttpDownLoadMgr()
    : m_pListLock(CDualLock::Create()),
      m_pListDownLoad(nullptr),
      m_pSingleDownLoad(nullptr),
      m_nBusy(0),
      m_nPeakSpeed(0),
      m_pProgress(nullptr),
      m_pProgressContext(nullptr),
      m_nProgressTotal(0),
      m_nProgressDone(0) {
  InitializeCriticalSectionAndSpinCount(&m_progressLock, 4000);
  if (m_pListLock == nullptr) ENGINE_REPORT("false&&\"内存不足\"");
  InitDownLoadPool();
  m_pListDownLoad = MakeListDownLoad();
}

CHttpDownLoadMgr::~CHttpDownLoadMgr() {
  DeletePooledDownLoads();
  delete m_pListDownLoad;
  CDualLock::Destroy(m_pListLock);
  DeleteCriticalSection(&m_progressLock);
}

void CHttpDownLoadMgr::SetSingleDownLoad(IDownLoad* down) {
  if (down == nullptr) {
    ENGINE_REPORT("false&&\"指针错误\"");
    return;
  }
  m_pSingleDownLoad = down;
}

void CHttpDownLoadMgr::SetProgressCallback(MicroProgressFunc func, void* context) {
  CSectionHold hold(&m_progressLock);
  m_pProgress = func;
  m_pProgressContext = context;
}

void CHttpDownLoadMgr::CountDone() {
  MicroProgressFunc func;
  void* context;
  {
    CSectionHold hold(&m_progressLock);
    func = m_pProgress;
    context = m_pProgressContext;
  }
  const LONG total = m_nProgressTotal;
  if (func == nullptr || total <= 0) return;
  func(context, InterlockedIncrement(&m_nProgressDone), total);
}

void CHttpDownLoadMgr::RecordDownloadSpeed(int32_t, int32_t delta) {
  const LONG bytes = InterlockedExchangeAdd(&g_windowBytes, delta) + delta;
  const DWORD now = timeGetTime();
  const LONG start = InterlockedCompareExchange(&g_windowStart, static_cast<LONG>(now), 0);
  if (start == 0 || now - static_cast<DWORD>(start) < kSpeedWindowMs) return;
  // One thread closes the window; the others go on counting into the next.
  if (InterlockedCompareExchange(&g_windowStart, static_cast<LONG>(now), start) != start) return;
  CHttpDownLoadMgr* manager = GetInstance();
  for (LONG peak = manager->m_nPeakSpeed; bytes > peak; peak = manager->m_nPeakSpeed)
    if (InterlockedCompareExchange(&manager->m_nPeakSpeed, bytes, peak) == peak) break;
  InterlockedExchangeAdd(&g_windowBytes, -bytes);
}

bool CHttpDownLoadMgr::FetchIntoPack(IDownLoad* down, const char* address, int size, const char* name,
                                     FilePack::CFilePackIndexMgr* pack) {
  std::string temp;
  if (!MakeTempFileName(&temp)) return false;
  if (!DownloadToTemp(down, address, size, temp.c_str())) {
    RemoveTempFile(temp);  // a failed fetch leaves nothing in "res"
    return false;
  }
  // The pack deletes a file it refuses.
  return pack->AddDownloadedResource(name, temp.c_str());
}

void CHttpDownLoadMgr::DownloadCompanionFiles(const MicroDownloadTask& task, IDownLoad* down) {
  if (task.m_pPack == nullptr || down == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return;
  }
  if (task.m_nType != 0) return;
  char cfg[260];
  if (EngineFunc::EngineFunc_Sprintf(cfg, sizeof(cfg), "%s.cfg", task.m_strLocal.c_str()) <= 0) return;
  std::string cfs = cfg;
  cfs.back() = 's';
  for (const std::string& name : {std::string(cfg), cfs}) {
    MicroIndexRecord record;
    if (task.m_pPack->HasFile(name.c_str()) || !task.m_pPack->FindMicroEntry(name.c_str(), &record)) continue;
    std::string address;
    if (!task.m_pPack->GetMicroLocalPath(name.c_str(), &address)) continue;
    for (int attempt = 0; attempt < kCompanionTries; ++attempt)
      if (FetchIntoPack(down, address.c_str(), DownloadSizeOf(task.m_pPack, record), name.c_str(), task.m_pPack)) break;
  }
}

bool CHttpDownLoadMgr::DownloadFile(const char* address, int type, const char* name, int offset, int size,
                                    FilePack::CFilePackIndexMgr* pack) {
  IDownLoad* down = m_pSingleDownLoad;
  if (address == nullptr || name == nullptr || pack == nullptr || down == nullptr) {
    ENGINE_REPORT("false&&\"pszFileName为空\"");
    return false;
  }
  InterlockedExchange(&m_nBusy, 1);
  MicroDownloadTask task(address, name, pack, type, offset, size);
  DownloadCompanionFiles(task, down);
  bool ok = FetchIntoPack(down, task.m_strRemote.c_str(), task.m_nSize, task.m_strLocal.c_str(), pack);
  InterlockedExchange(&m_nBusy, 0);
  return ok;
}

void CHttpDownLoadMgr::RunItem(IDownLoad* down, const FilePack::MicroDownloadItem& item) {
  // Offset and size 0: the main resource always comes in one part.
  MicroDownloadTask task(item.address.c_str(), item.resourceName.c_str(), item.owner, item.typeCode, 0, 0);
  if (task.m_pPack == nullptr) return;
  DownloadCompanionFiles(task, down);
  MicroIndexRecord record;
  if (task.m_strLocal.empty()) {
    ENGINE_REPORT("false&&\"文件名或指针有问题\"");
    return;
  }
  if (task.m_pPack->HasFile(task.m_strLocal.c_str()) || !task.m_pPack->FindMicroEntry(task.m_strLocal.c_str(), &record))
    return;
  FetchIntoPack(down, task.m_strRemote.c_str(), task.m_nSize, task.m_strLocal.c_str(), task.m_pPack);
}

unsigned __stdcall CHttpDownLoadMgr::WorkerThread(void* arg) {
  WorkerContext* context = static_cast<WorkerContext*>(arg);
  const bool pooled = context->down == nullptr;
  IDownLoad* down = pooled ? AcquirePooledDownLoad() : context->down;
  if (down != nullptr) {
    down->SetTimeouts(kWorkerTimeoutMs, kWorkerTimeoutMs, kWorkerTimeoutMs);
    down->SetProgressCallback(RecordDownloadSpeed);
    down->SetNotify(GetForegroundWindow(), 0, 1, 1);
    down->SetKeepAlive(false);
  }
  const HRESULT com = CoInitialize(nullptr);
  for (;;) {
    for (const FilePack::MicroDownloadItem& item : context->own) {
      if (down != nullptr) context->manager->RunItem(down, item);
      context->manager->CountDone();
    }
    context->own.clear();
    CSectionHold hold(context->sharedLock);
    if (context->shared->empty()) break;
    context->own.push_back(context->shared->front());
    context->shared->pop_front();
  }
  if (pooled) ReleasePooledDownLoad(down);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

bool CHttpDownLoadMgr::DownloadFileList(const std::vector<FilePack::MicroDownloadItem>* items, int, int maxWorkers) {
  if (items == nullptr) {
    ENGINE_REPORT("false &&\"容器指针为空\"");
    return false;
  }
  if (items->empty()) return true;
  if (m_pListLock == nullptr) return false;  // reported when it could not be made
  InterlockedExchange(&m_nBusy, 1);
  CSectionHold whole(&m_pListLock->second);

  // By name, byte-wise; of repeated names the first item stays.
  std::map<std::string, const FilePack::MicroDownloadItem*> byName;
  for (const FilePack::MicroDownloadItem& item : *items) byName.emplace(item.resourceName, &item);
  const int total = static_cast<int>(byName.size());
  int workers = total < maxWorkers ? total : maxWorkers;
  if (workers > kMaxWorkers) workers = kMaxWorkers;
  if (workers < 0) workers = 0;
  InterlockedExchange(&m_nProgressDone, 0);
  InterlockedExchange(&m_nProgressTotal, total);

  std::deque<FilePack::MicroDownloadItem> shared;
  CRITICAL_SECTION sharedLock;
  InitializeCriticalSectionAndSpinCount(&sharedLock, 4000);
  std::vector<WorkerContext> contexts(static_cast<size_t>(workers));
  for (WorkerContext& context : contexts) {
    context.shared = &shared;
    context.sharedLock = &sharedLock;
    context.down = workers == 1 ? m_pListDownLoad : nullptr;
    context.manager = this;
  }
  int k = 0;
  for (auto& named : byName) {
    if (workers == 0) break;
    if (workers >= total)
      contexts[k++].own.push_back(*named.second);
    else
      shared.push_back(*named.second);
  }

  std::vector<HANDLE> threads;
  bool allStarted = true;
  for (WorkerContext& context : contexts) {
    HANDLE thread = g_threadStarter(WorkerThread, &context);
    if (thread != nullptr && thread != INVALID_HANDLE_VALUE) {
      threads.push_back(thread);
      continue;
    }
    // Its items fail; the caller's check of the packs finds them missing.
    ENGINE_REPORT("false&&\"启动线程失败，请检查！\"");
    allStarted = false;
    for (size_t i = 0; i < context.own.size(); ++i) CountDone();
  }
  if (!threads.empty()) {
    Sleep(100);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
  }
  for (HANDLE thread : threads) CloseHandle(thread);
  // Left only when no worker could start to take them.
  for (size_t i = 0; i < shared.size(); ++i) CountDone();
  DeleteCriticalSection(&sharedLock);
  InterlockedExchange(&m_nBusy, 0);
  return allStarted;
}
