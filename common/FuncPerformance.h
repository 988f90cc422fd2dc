// Process-wide table of named function timings; when it holds entries, a
// report is appended to "funcperformance.log" (current folder) at exit.
#pragma once
#include <map>
#include <mutex>
#include <string>

class FuncPerformanceLog {
 public:
  FuncPerformanceLog();
  ~FuncPerformanceLog();  // writes the report
  FuncPerformanceLog(const FuncPerformanceLog&) = delete;
  FuncPerformanceLog& operator=(const FuncPerformanceLog&) = delete;

  // The process-wide log (created during static initialisation).
  static FuncPerformanceLog& Instance();

  // Seconds on the high-resolution counter (timeGetTime where there is none).
  static double GetTime();

  // Adds one call of `seconds` to the entry `name`.
  void Record(const char* name, double seconds);

  // Appends the report; writes nothing when the table is empty or the file
  // cannot be opened.
  void WriteReport();

 private:
  struct Entry {
    int calls = 0;
    float seconds = 0;
  };
  std::mutex m_lock;
  std::map<std::string, Entry> m_table;
  char m_path[200];
  double m_start;
};
