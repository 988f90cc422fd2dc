// Skins drawn for real into device-independent bitmaps and read back by
// pixel: CDib, the strip frames, GDI+ images and regions from BMPs.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <sstream>

#include "Dib.h"
#include "PictureSize.h"
#include "SkinButton.h"
#include "SkinSource.h"
#include "afx/AfxGdi.h"
#include "afx/AfxGdiPlus.h"
#include "support/TestSupport.h"

namespace {

std::string Fx(const std::string& name) { return testsupport::ReadFileBytes(testsupport::FixturePath("launcher_ui/" + name)); }

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A 32-bit canvas filled with one colour, selected into a memory context.
struct Canvas {
  CMemoryDC dc{nullptr};
  CBitmap bitmap;
  uint32_t* bits = nullptr;
  int width, height;
  HGDIOBJ old = nullptr;
  Canvas(int w, int h, COLORREF fill) : width(w), height(h) {
    void* p = nullptr;
    bitmap.CreateDIB32(w, h, &p);
    bits = static_cast<uint32_t*>(p);
    old = dc.SelectObject(bitmap);
    RECT all = {0, 0, w, h};
    dc.FillSolidRect(all, fill);
  }
  ~Canvas() { dc.SelectObject(old); }
  // 0xRRGGBB
  uint32_t At(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
};

uint32_t Rgb(int r, int g, int b) { return (static_cast<uint32_t>(r) << 16) | (g << 8) | b; }

class GdiPlusEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(session.Start()); }
  void TearDown() override { session.Shutdown(); }
  afx::GdiPlusSession session;
};
testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

}  // namespace

TEST(Dib, LoadsGoodBmpsAndRefusesDamagedOnes) {
  std::istringstream list(Fx("bmp/cases.txt"));
  std::string line, name;
  int checked = 0, ok = 0, width = 0, height = 0;
  while (std::getline(list, line)) {
    if (!(std::istringstream(line) >> name >> ok >> width >> height)) continue;
    std::string bytes = Fx("bmp/" + name);
    testsupport::ClearShownBoxes();
    CDib dib;
    // Well-formed and within the bound of every skin picture.
    bool loads = ok != 0 && SkinImage::FitsSkinBound({width, height});
    EXPECT_EQ(loads, dib.Load(Bytes(bytes), bytes.size())) << name;
    EXPECT_EQ(loads, dib.IsValid()) << name;
    // Only bytes without "BM" get the framework's box.
    bool box = !testsupport::ShownBoxes().empty();
    EXPECT_EQ(name == "not_bm.bmp", box) << name;
    ++checked;
  }
  EXPECT_GE(checked, 20);
  CDib dib;
  EXPECT_FALSE(dib.Load(nullptr, 100));
  EXPECT_FALSE(dib.Load(Bytes("BM"), 2));
}

TEST(Dib, DrawsWithAndWithoutAColourTable) {
  struct Case {
    const char* name;
    bool table;
    uint32_t top, bottom;  // colours of the top and bottom halves
  } cases[] = {{"bar.bmp", true, Rgb(0, 200, 255), Rgb(0, 120, 200)},
               {"bar2.bmp", false, Rgb(255, 200, 0), Rgb(220, 150, 0)}};
  for (const Case& c : cases) {
    std::string bytes = Fx(c.name);
    CDib dib;
    ASSERT_TRUE(dib.Load(Bytes(bytes), bytes.size())) << c.name;
    EXPECT_EQ(c.table, dib.HasColorTable()) << c.name;
    Canvas canvas(320, 20, RGB(9, 9, 9));
    // The left 100 pixels at full height, as the panel draws a third of a bar.
    ASSERT_TRUE(dib.Draw(canvas.dc, 5, 4, 100, dib.Height(), 100, dib.Height())) << c.name;
    EXPECT_EQ(c.top, canvas.At(5, 4)) << c.name;
    EXPECT_EQ(c.top, canvas.At(104, 4)) << c.name;
    EXPECT_EQ(c.bottom, canvas.At(104, 13)) << c.name;
    EXPECT_EQ(Rgb(9, 9, 9), canvas.At(105, 4)) << c.name;
    EXPECT_EQ(Rgb(9, 9, 9), canvas.At(5, 14)) << c.name;
  }
}

TEST(SkinBmp, EachFrameDrawsItsColourWithBlackShowingThrough) {
  std::string bytes = Fx("strip.bmp");  // four 10 x 6 frames, a black 2 x 2 corner in each
  std::istringstream colours(Fx("strip.txt"));
  uint32_t frame[4];
  for (uint32_t& f : frame) {
    int r, g, b;
    ASSERT_TRUE(colours >> r >> g >> b);
    f = Rgb(r, g, b);
  }
  CSkinBmp skin;
  ASSERT_TRUE(skin.Load(Bytes(bytes), static_cast<int>(bytes.size())));
  for (int f = 0; f < 4; ++f) {
    Canvas canvas(16, 8, RGB(7, 77, 177));
    skin.DrawFrame(canvas.dc, f, RGB(0, 0, 0));
    EXPECT_EQ(frame[f], canvas.At(5, 3)) << f;
    EXPECT_EQ(frame[f], canvas.At(9, 5)) << f;
    EXPECT_EQ(Rgb(7, 77, 177), canvas.At(0, 0)) << f;   // black: what lies beneath
    EXPECT_EQ(Rgb(7, 77, 177), canvas.At(1, 1)) << f;
    EXPECT_EQ(Rgb(7, 77, 177), canvas.At(10, 3)) << f;  // outside the frame
  }
  // The frame choice: disabled wins, then selected, then pressed, then hover.
  const struct {
    bool disabled, selected, pressed, hover;
    int frame;
  } looks[] = {{true, true, true, true, 3}, {false, true, false, true, 1}, {false, false, true, false, 2},
               {false, true, true, false, 1}, {false, false, false, true, 1}, {false, false, false, false, 0}};
  for (const auto& l : looks) EXPECT_EQ(l.frame, ChooseSkinFrame(l.disabled, l.selected, l.pressed, l.hover));
  // 5 wide: frames of one pixel, the last column unused.
  std::string odd = Fx("bmp/rgb24.bmp");
  ASSERT_TRUE(skin.Load(Bytes(odd), static_cast<int>(odd.size())));
  EXPECT_EQ(1, skin.FrameWidth());
}

TEST(Picture, FailsOnWhatDoesNotDecode) {
  CPicture picture;
  std::string junk(200, 'x');
  EXPECT_FALSE(picture.Load(Bytes(junk), static_cast<int>(junk.size())));
  EXPECT_FALSE(picture.Load(nullptr, 10));
  EXPECT_FALSE(picture.Load(Bytes(junk), 0));
  std::string good = Fx("strip.bmp");
  ASSERT_TRUE(picture.Load(Bytes(good), static_cast<int>(good.size())));
  // A failed load leaves nothing of the previous picture.
  EXPECT_FALSE(picture.Load(Bytes(junk), static_cast<int>(junk.size())));
  EXPECT_FALSE(picture.IsLoaded());
  RECT r = {0, 0, 4, 4};
  EXPECT_FALSE(picture.Render(r, nullptr));
}

TEST(GdiPlusImage, PngWithAlphaBecomesPremultiplied) {
  std::string png = Fx("main.png");
  afx::GdiPlusImage image;
  ASSERT_TRUE(image.LoadFromMemory(png.data(), png.size()));
  afx::ScopedGdiObj<HBITMAP> dib(image.CreatePremultipliedDib());
  ASSERT_NE(nullptr, dib.Get());
  DIBSECTION section = {};
  ASSERT_EQ(static_cast<int>(sizeof(section)), GetObjectA(dib.Get(), sizeof(section), &section));
  const uint32_t* px = static_cast<const uint32_t*>(section.dsBm.bmBits);
  auto at = [&](int x, int y) { return px[y * 640 + x]; };
  EXPECT_EQ(0u, at(0, 0));                          // outside the rounded edge
  EXPECT_EQ(0xFFFF8C00u, at(560, 90));              // opaque orange stays as it is
  EXPECT_EQ((200u << 24) | (8u << 16) | (16u << 8) | 31u, at(100, 300));  // (10, 20, 40) at 200
  // Bytes GDI+ cannot decode, and none at all.
  afx::GdiPlusImage bad;
  std::string junk = png.substr(0, 60);
  EXPECT_FALSE(bad.LoadFromMemory(junk.data(), junk.size()));
  EXPECT_FALSE(bad.LoadFromMemory(nullptr, 5));
  EXPECT_EQ(nullptr, bad.CreatePremultipliedDib());
}

TEST(SkinSource, RegionHoldsEveryPixelButTheKey) {
  // The same picture with a 40-byte header, run-length coded, and with a core header.
  for (const char* name : {"bmp/pal8.bmp", "bmp/rle8_key.bmp", "bmp/core8_key.bmp"}) {
    afx::ScopedGdiObj<HRGN> region(SkinSource::CreateRegionFromBmp(Fx(name)));
    ASSERT_NE(nullptr, region.Get()) << name;
    // Row 0 keeps x 1-2 and 4-5, row 1 keeps 0-1, 3-4 and 6.
    const struct {
      int x, y;
      bool in;
    } points[] = {{0, 0, false}, {1, 0, true}, {3, 0, false}, {5, 0, true}, {6, 0, false},
                  {0, 1, true}, {2, 1, false}, {6, 1, true}, {7, 1, false}, {1, 2, false}};
    for (const auto& p : points)
      EXPECT_EQ(p.in, PtInRegion(region.Get(), p.x, p.y) != FALSE) << name << " " << p.x << "," << p.y;
  }
  EXPECT_EQ(nullptr, SkinSource::CreateRegionFromBmp(Fx("bmp/offset_huge.bmp")));
  EXPECT_EQ(nullptr, SkinSource::CreateRegionFromBmp(std::string()));
  CScreenDC screen;
  afx::ScopedGdiObj<HBITMAP> bitmap(SkinSource::CreateBitmapFromBmp(screen, Fx("bmp/rgb24.bmp")));
  EXPECT_NE(nullptr, bitmap.Get());
  EXPECT_EQ(nullptr, SkinSource::CreateBitmapFromBmp(screen, Fx("bmp/short_pixels.bmp")));
}

TEST(SkinSource, CostlySkinsMakeNoRegion) {
  // Unbounded, the checkerboard took minutes and the RLE file a 1 GiB bitmap.
  // A region made shows a point inside and one outside (the key).
  const struct {
    const char* name;
    bool region;
    POINT in, out;
  } cases[] = {
      {"bmp/checker1_2048.bmp", false, {}, {}},
      {"bmp/rle8_16384.bmp", false, {}, {}},
      {"bmp/solid1_bound.bmp", true, {4095, 2047}, {4096, 0}},
      {"bmp/checker1_runs_bound.bmp", true, {1, 1023}, {0, 1023}},
  };
  for (const auto& c : cases) {
    std::string bytes = Fx(c.name);
    ASSERT_FALSE(bytes.empty()) << c.name;
    testsupport::ReportCapture reports;
    DWORD start = GetTickCount();
    afx::ScopedGdiObj<HRGN> region(SkinSource::CreateRegionFromBmp(bytes));
    EXPECT_LT(GetTickCount() - start, 20000u) << c.name;
    ASSERT_EQ(c.region, region.Get() != nullptr) << c.name;
    EXPECT_EQ(c.region ? 0u : 1u, reports.Count()) << c.name;
    if (!c.region) continue;
    EXPECT_TRUE(PtInRegion(region.Get(), c.in.x, c.in.y)) << c.name;
    EXPECT_FALSE(PtInRegion(region.Get(), c.out.x, c.out.y)) << c.name;
  }
}

TEST(SkinSource, EveryLoaderRefusesAPicturePastTheBound) {
  // 16384 x 16384 pixels declared in a kilobyte: decoded, over a gigabyte.
  const std::string huge = Fx("bmp/rle8_16384.bmp");
  CScreenDC screen;
  const struct {
    const char* loader;
    std::function<bool()> load;
  } loaders[] = {
      {"CPicture", [&] { return CPicture().Load(Bytes(huge), static_cast<int>(huge.size())); }},
      {"CDib", [&] { return CDib().Load(Bytes(huge), huge.size()); }},
      {"bitmap", [&] { return afx::ScopedGdiObj<HBITMAP>(SkinSource::CreateBitmapFromBmp(screen, huge)).Get() != nullptr; }},
  };
  for (const auto& l : loaders) {
    testsupport::ReportCapture reports;
    EXPECT_FALSE(l.load()) << l.loader;
    EXPECT_TRUE(reports.Contains("皮肤图片太大")) << l.loader;
  }
  // Within it, a kind beyond BMP still loads through OLE at its own size.
  const std::string png = Fx("main.png");
  CPicture picture;
  ASSERT_TRUE(picture.Load(Bytes(png), static_cast<int>(png.size())));
  EXPECT_EQ(640, picture.Width());
  EXPECT_EQ(400, picture.Height());
}
