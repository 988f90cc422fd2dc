// A process-wide loader object that the launcher links but never loads
// through: it holds only its empty state.
#pragma once
#include <windows.h>

#include <list>
#include <string>

class CAsyncFileLoader {
 public:
  CAsyncFileLoader();
  virtual ~CAsyncFileLoader();
  CAsyncFileLoader(const CAsyncFileLoader&) = delete;
  CAsyncFileLoader& operator=(const CAsyncFileLoader&) = delete;

  bool Enabled() const { return m_bEnabled; }

 private:
  std::string m_strRoot;
  std::string m_strCurrent;
  std::list<std::string> m_waiting;
  std::list<std::string> m_done;
  CRITICAL_SECTION m_lock;
  int m_nCurrent;
  int m_nLast;
  bool m_bEnabled;
};
