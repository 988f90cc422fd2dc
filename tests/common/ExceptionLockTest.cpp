#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/Exception.h"
#include "common/Locks.h"

TEST(CException, FormatsAnyLengthAndCopies) {
  Common::CException empty;
  EXPECT_EQ(0, empty.m_nCode);
  EXPECT_TRUE(empty.m_strMessage.empty());

  std::string big(5000, 'm');
  Common::CException e(0, "%s:%d", big.c_str(), 3);
  EXPECT_EQ(big + ":3", e.m_strMessage);
  Common::CException copy(e);
  EXPECT_EQ(e.m_strMessage, copy.m_strMessage);
  EXPECT_EQ(0, copy.m_nCode);
  try {
    throw Common::CException(7, "失败%d", 1);
  } catch (Common::CException& caught) {
    EXPECT_EQ(7, caught.m_nCode);
    EXPECT_EQ("失败1", caught.m_strMessage);
  }
}

TEST(Locks, LockerGuardsAndNullIsHarmless) {
  { CSALocker none(nullptr); }
  CDualLock::Destroy(nullptr);

  CSemiAutoIntLock lock;
  int counter = 0;
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        CSALocker hold(&lock);
        CSALocker again(&lock);  // recursive for the owner
        ++counter;
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(80000, counter);

  // A throw out of a guarded block leaves the section.
  try {
    CSALocker hold(&lock);
    throw Common::CException(0, "x");
  } catch (Common::CException&) {
  }
  std::thread other([&] {
    EXPECT_TRUE(TryEnterCriticalSection(lock.Section()));
    LeaveCriticalSection(lock.Section());
  });
  other.join();

  CDualLock* dual = CDualLock::Create();
  ASSERT_NE(nullptr, dual);
  EXPECT_EQ(0, dual->counter);
  EnterCriticalSection(&dual->first);
  std::thread independent([&] {
    EXPECT_TRUE(TryEnterCriticalSection(&dual->second));
    LeaveCriticalSection(&dual->second);
  });
  independent.join();
  LeaveCriticalSection(&dual->first);
  CDualLock::Destroy(dual);
}
