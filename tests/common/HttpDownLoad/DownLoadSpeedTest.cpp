#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/HttpDownLoad/DownLoadSpeed.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(DownLoadSpeed, AFullWindowIsSleptOut) {
  // A wrong wait sleeps out the rest of a window just opened: most of a
  // second. A loaded machine may stall these few calls for a good part of
  // one too, so each time is taken from the quickest of a few windows.
  double noWait = 1e9, fullWindow = 1e9, nextWindow = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto t0 = std::chrono::steady_clock::now();  // the window opens after it
    CDownLoadSpeedWindow window;
    window.Count(999);
    window.Limit(1000);  // below the limit: no wait
    window.Count(1);
    window.Limit(0);  // no limit: no wait
    noWait = std::min(noWait, Seconds(t0));
    window.Limit(1000);  // the limit is reached: the rest of the second
    EXPECT_GT(Seconds(t0), 0.85);
    fullWindow = std::min(fullWindow, Seconds(t0));
    // The next window starts empty.
    auto t1 = std::chrono::steady_clock::now();
    window.Count(999);
    window.Limit(1000);
    nextWindow = std::min(nextWindow, Seconds(t1));
  }
  EXPECT_LT(noWait, 0.5);
  EXPECT_LT(fullWindow, 1.5) << "slept past the window's second";  // the no-wait checks' allowance
  EXPECT_LT(nextWindow, 0.5);
}
