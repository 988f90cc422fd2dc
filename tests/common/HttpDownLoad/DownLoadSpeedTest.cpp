#include <gtest/gtest.h>

#include <chrono>

#include "common/HttpDownLoad/DownLoadSpeed.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(DownLoadSpeed, AFullWindowIsSleptOut) {
  CDownLoadSpeedWindow window;
  auto t0 = std::chrono::steady_clock::now();
  window.Count(999);
  window.Limit(1000);  // below the limit: no wait
  window.Count(1);
  window.Limit(0);  // no limit: no wait
  EXPECT_LT(Seconds(t0), 0.3);
  window.Limit(1000);  // the limit is reached: the rest of the second
  EXPECT_GT(Seconds(t0), 0.85);
  EXPECT_LT(Seconds(t0), 2.0);
  // The next window starts empty.
  auto t1 = std::chrono::steady_clock::now();
  window.Count(999);
  window.Limit(1000);
  EXPECT_LT(Seconds(t1), 0.3);
}
