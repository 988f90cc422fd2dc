// The skin pictures' header reader against the kit's headers of every kind
// a skin may be in: the sizes read, the bound held, every cut refused.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "PictureSize.h"
#include "support/TestSupport.h"

TEST(PictureSize, ReadsEveryKindHoldsTheBoundAndRefusesCutsAndStrangers) {
  const std::string folder = "launcher_ui/sizes/";
  std::istringstream list(testsupport::ReadFileBytes(testsupport::FixturePath(folder + "cases.txt")));
  std::string name;
  int read, fits, rows = 0;
  long long width, height;
  size_t head;
  while (list >> name >> read >> width >> height >> fits >> head) {
    ++rows;
    const std::string bytes = testsupport::ReadFileBytes(testsupport::FixturePath(folder + name));
    ASSERT_FALSE(bytes.empty()) << name;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    SkinImage::PictureSize size;
    ASSERT_EQ(read != 0, SkinImage::ReadPictureSize(data, bytes.size(), &size)) << name;
    if (read != 0) {
      EXPECT_EQ(width, size.width) << name;
      EXPECT_EQ(height, size.height) << name;
      EXPECT_EQ(fits != 0, SkinImage::FitsSkinBound(size)) << name;
    }
    // Each cut in an allocation of its own size.
    for (size_t cut = 0; cut < head; ++cut) {
      std::vector<uint8_t> part(data, data + cut);
      EXPECT_FALSE(SkinImage::ReadPictureSize(part.data(), part.size(), &size)) << name << " cut to " << cut;
    }
  }
  EXPECT_GE(rows, 50);
}
