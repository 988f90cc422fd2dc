#include "AsyncFileLoader.h"

CAsyncFileLoader::CAsyncFileLoader() : m_nCurrent(-1), m_nLast(-1), m_bEnabled(true) {
  InitializeCriticalSection(&m_lock);
}

CAsyncFileLoader::~CAsyncFileLoader() { DeleteCriticalSection(&m_lock); }
