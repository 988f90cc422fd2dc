#include "DownLoadPool.h"

#include <windows.h>

#include <deque>

#include "common/HttpDownLoad/HttpConfig.h"
#include "common/HttpDownLoad/IDownLoad.h"

namespace {

// Function-local static: created on the first call, whichever thread and
// static initialiser makes it.
class DownLoadPool {
 public:
  static DownLoadPool& Get() {
    static DownLoadPool pool;
    return pool;
  }

  IDownLoad* Take() {
    Hold hold(&m_cs);
    if (m_idle.empty()) return CreateDownLoad(CHttpConfig::GetInstance()->m_nHttpID);
    IDownLoad* down = m_idle.front();
    m_idle.pop_front();
    return down;
  }

  void Put(IDownLoad* down) {
    Hold hold(&m_cs);
    m_idle.push_back(down);
  }

  std::deque<IDownLoad*> TakeAll() {
    Hold hold(&m_cs);
    std::deque<IDownLoad*> all;
    all.swap(m_idle);
    return all;
  }

  size_t Count() {
    Hold hold(&m_cs);
    return m_idle.size();
  }

 private:
  struct Hold {
    explicit Hold(CRITICAL_SECTION* cs) : cs(cs) { EnterCriticalSection(cs); }
    ~Hold() { LeaveCriticalSection(cs); }
    CRITICAL_SECTION* cs;
  };

  DownLoadPool() { InitializeCriticalSectionAndSpinCount(&m_cs, 4000); }
  ~DownLoadPool() { DeleteCriticalSection(&m_cs); }

  CRITICAL_SECTION m_cs;
  std::deque<IDownLoad*> m_idle;
};

}  // namespace

void InitDownLoadPool() { DownLoadPool::Get(); }

IDownLoad* AcquirePooledDownLoad() { return DownLoadPool::Get().Take(); }

void ReleasePooledDownLoad(IDownLoad* down) {
  if (down == nullptr) return;
  if (down->GetKeepAlive()) down->CloseConnection();
  DownLoadPool::Get().Put(down);
}

void FreeDownLoadPool() { DownLoadPool::Get().TakeAll(); }

void DeletePooledDownLoads() {
  for (IDownLoad* down : DownLoadPool::Get().TakeAll()) delete down;
}

size_t PooledDownLoadCount() { return DownLoadPool::Get().Count(); }
