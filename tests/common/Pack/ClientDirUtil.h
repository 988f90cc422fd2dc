// A fresh client folder as the current folder for one test.
#pragma once
#include <windows.h>

#include <string>

#include "support/TestSupport.h"

namespace packtest {

class ScopedClientDir {
 public:
  explicit ScopedClientDir(const std::string& name) {
    char here[MAX_PATH];
    GetCurrentDirectoryA(sizeof(here), here);
    m_parent = here;
    m_path = m_parent + "\\" + name;
    testsupport::RemoveTree(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
    SetCurrentDirectoryA(m_path.c_str());
  }
  ~ScopedClientDir() {
    SetCurrentDirectoryA(m_parent.c_str());
    testsupport::RemoveTree(m_path);
  }
  const std::string& Path() const { return m_path; }
  const std::string& Parent() const { return m_parent; }

 private:
  std::string m_parent, m_path;
};

}  // namespace packtest
