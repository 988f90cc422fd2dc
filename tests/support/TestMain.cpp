#include <gtest/gtest.h>

namespace testsupport {
void InstallHooks();
}

int main(int argc, char** argv) {
  testsupport::InstallHooks();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
