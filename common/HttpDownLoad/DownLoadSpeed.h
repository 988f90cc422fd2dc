// The downloaders' speed limit: bytes are counted in windows of one second;
// a window that reached the limit is slept out before the next one opens.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

class CDownLoadSpeedWindow {
 public:
  CDownLoadSpeedWindow() { Restart(); }
  void Restart() {
    m_start = timeGetTime();
    m_bytes = 0;
  }
  void Count(uint32_t bytes) { m_bytes += bytes; }
  // Bytes per second, 0 = no limit.
  void Limit(uint32_t limit) {
    if (limit == 0) return;
    DWORD elapsed = timeGetTime() - m_start;
    if (elapsed < 1000 && m_bytes < limit) return;
    if (elapsed < 1000) Sleep(1000 - elapsed);
    Restart();
  }

 private:
  DWORD m_start;
  uint32_t m_bytes;
};
