// Shared test helpers: every report line and every message box is captured
// (installed by the test main), fixture paths, small file helpers.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// How long a test waits for anything it needs to happen: the 32-bit
// programs run emulated, on a machine busy with other tests.
const unsigned long kEventWaitMs = 120000;

// Polls done(), pumping this thread's messages, until it holds; after
// timeoutMs the failure says what was waited for.
testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& done,
                                 unsigned long timeoutMs = kEventWaitMs);

// Collects report lines from its construction on.
class ReportCapture {
 public:
  ReportCapture();
  std::vector<std::string> Lines() const;
  size_t Count() const { return Lines().size(); }
  bool Contains(const std::string& part) const;
  void Clear();

 private:
  size_t m_start;
};

struct ShownBox {
  std::string text;
  std::string caption;
  unsigned type;
};
std::vector<ShownBox> ShownBoxes();
void ClearShownBoxes();
// What the captured boxes answer (IDOK unless set).
void SetBoxAnswer(int answer);

// The fixture folder made by the Python kit, as a Windows path.
std::string FixtureDir();
std::string FixturePath(const std::string& name);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& data);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);
// Copies a folder with everything below it (to is made when missing).
void CopyTree(const std::string& from, const std::string& to);
std::string Hex(const std::string& bytes);

}  // namespace testsupport
