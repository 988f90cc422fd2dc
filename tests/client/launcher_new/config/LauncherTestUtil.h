// Fixture paths of the launcher configuration kit (tests/fixtures/launcher.py)
// and the observed end of the process.
#pragma once
#include <windows.h>

#include <string>

#include "support/TestSupport.h"

namespace launchertest {

inline std::string Fx(const std::string& name) { return testsupport::FixturePath("launcher/" + name); }

// A fresh folder in the test's working folder.
inline void FreshDir(const std::string& dir) {
  testsupport::RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
}

inline bool CopyFixture(const std::string& name, const std::string& to) {
  return testsupport::WriteFileBytes(to, testsupport::ReadFileBytes(Fx(name)));
}

// Records the exit code instead of ending the process.
class EndWatch {
 public:
  EndWatch();
  ~EndWatch();
  int Count() const;
  int LastCode() const;
};

}  // namespace launchertest
