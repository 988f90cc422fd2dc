#include "common/FuncPerformance.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <ctime>

#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"

namespace {
// Builds the log during static initialisation, so its clock starts with the
// process and its report is written at exit.
FuncPerformanceLog& g_funcPerformanceLog = FuncPerformanceLog::Instance();
}  // namespace

FuncPerformanceLog::FuncPerformanceLog() : m_start(GetTime()) {
  ENGINE_STRNCPY(m_path, sizeof(m_path), "funcperformance.log");
}

FuncPerformanceLog::~FuncPerformanceLog() { WriteReport(); }

FuncPerformanceLog& FuncPerformanceLog::Instance() { return util::Singleton<FuncPerformanceLog>::GetInstance(); }

double FuncPerformanceLog::GetTime() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) ? f.QuadPart : 0;
  }();
  LARGE_INTEGER now;
  if (frequency > 0 && QueryPerformanceCounter(&now)) return double(now.QuadPart) / double(frequency);
  return timeGetTime() * 0.001;
}

void FuncPerformanceLog::Record(const char* name, double seconds) {
  if (name == nullptr) {
    ENGINE_ASSERT(false && "函数名为空");
    return;
  }
  std::lock_guard<std::mutex> hold(m_lock);
  Entry& entry = m_table[name];
  ++entry.calls;
  entry.seconds += static_cast<float>(seconds);
}

void FuncPerformanceLog::WriteReport() {
  std::lock_guard<std::mutex> hold(m_lock);
  if (m_table.empty()) return;
  FILE* file = fopen(m_path, "ab");
  if (file == nullptr) return;
  char timeText[16] = {0}, dateText[16] = {0};
  _strtime(timeText);
  _strdate(dateText);
  fprintf(file, "Release version ********时间:%s %s********\r\n", timeText, dateText);
  double total = GetTime() - m_start;
  fprintf(file, "Total:%d\r\n", static_cast<int>(total * 1000));
  fprintf(file, "functions performance log:\r\n");
  fprintf(file, "|%-30s|%-11s|%-11s|%-15s|%-12s|\r\n", "功能", "花费时间", "调用次数", "平均调用时间", "总百分比");
  for (const auto& item : m_table) {
    const Entry& e = item.second;
    // Record makes every entry with at least one call; a zero total (a clock
    // that did not move) would only divide by zero.
    double share = total > 0 ? e.seconds / total * 100 : 0;
    fprintf(file, "|%-30s|%11d|%11d|%15f|%12f|\r\n", item.first.c_str(), static_cast<int>(e.seconds * 1000), e.calls,
            e.seconds * 1000.0 / e.calls, share);
  }
  fclose(file);
}
