#include "SkinSource.h"

#include <memory>
#include <new>

#include "BmpImage.h"
#include "PictureSize.h"
#include "afx/AfxGdi.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/StrUtil.h"

namespace SkinSource {

const char* const kConfigPackIndex = "LauncherCfg/010.pkg1";
const char* const kConfigPackData = "LauncherCfg/010.pkg";

FilePack::CFilePackIndexMgr* ConfigPack() { return FilePack::ClientPackManager(10); }

bool OpenConfigPack() {
  FilePack::CFilePackIndexMgr* pack = ConfigPack();
  if (pack->IsOpen()) return true;
  ::SetFileAttributesA(kConfigPackData, FILE_ATTRIBUTE_NORMAL);
  ::SetFileAttributesA(kConfigPackIndex, FILE_ATTRIBUTE_NORMAL);
  return pack->OpenPack(kConfigPackIndex, kConfigPackData, false);
}

ReadResult ReadSkin(const char* name, std::string* bytes) {
  bytes->clear();
  FilePack::CFilePackIndexMgr* pack = ConfigPack();
  if (name == nullptr || !pack->IsOpen()) return kPackClosed;
  std::string key = name;
  StrUtil::ToLower(key);
  PackEntry entry;  // a copy: the size checked is the size read
  if (!pack->FindEntry(key.c_str(), &entry)) return kMissing;
  if (entry.size > kMaxSkinBytes) {
    ENGINE_ASSERT(false && "皮肤图片太大");
    return kFailed;
  }
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[entry.size + 1]);
  if (buffer == nullptr) return kFailed;
  buffer[entry.size] = 0;
  if (entry.size > 0 && !pack->ReadEntryData(&entry, buffer.get(), true)) return kFailed;
  try {
    bytes->assign(reinterpret_cast<const char*>(buffer.get()), entry.size);
  } catch (const std::bad_alloc&) {
    return kFailed;
  }
  return kRead;
}

bool CheckPictureBound(const uint8_t* bytes, size_t size) {
  SkinImage::PictureSize s;
  if (!SkinImage::ReadPictureSize(bytes, size, &s)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "皮肤图片的大小读不出，不画");
    return false;
  }
  if (SkinImage::FitsSkinBound(s)) return true;
  EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "皮肤图片太大，不画:%lld x %lld",
                                     static_cast<long long>(s.width), static_cast<long long>(s.height));
  return false;
}

namespace {

// The info header and colour table, as GDI is to read them.
std::string DrawHeader(const std::string& bytes, const SkinImage::BmpLayout& layout) {
  // Copied out: the file puts them at an odd offset.
  std::string info(bytes, 14, layout.bitsOffset - 14);
  SkinImage::CompleteInfoHeader(reinterpret_cast<uint8_t*>(&info[0]), layout);
  return info;
}

// Run-length pixels as GDI decodes them, into a 32-bit top-down image of
// *image; what the stream skips stays black. *plain describes the pixels.
const uint8_t* DecodeRle(const std::string& bytes, const SkinImage::BmpLayout& layout, CBitmap* image,
                         SkinImage::BmpLayout* plain) {
  void* pixels = nullptr;
  if (!image->CreateDIB32(layout.width, layout.height, &pixels)) return nullptr;
  CMemoryDC dc(nullptr);
  afx::ScopedSelect select(dc, *image);
  std::string info = DrawHeader(bytes, layout);
  int lines = ::StretchDIBits(dc, 0, 0, layout.width, layout.height, 0, 0, layout.width, layout.height,
                              bytes.data() + layout.bitsOffset, reinterpret_cast<const BITMAPINFO*>(info.data()),
                              DIB_RGB_COLORS, SRCCOPY);
  ::GdiFlush();
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return nullptr;
  SkinImage::BmpLayout rows;
  rows.width = layout.width;
  rows.height = layout.height;
  rows.topDown = true;
  rows.bitCount = 32;
  rows.bitsOffset = 0;
  rows.stride = static_cast<size_t>(layout.width) * 4;
  rows.bitsSize = rows.stride * layout.height;
  *plain = rows;  // may be layout itself
  return static_cast<const uint8_t*>(pixels);
}

// GDI adds a list to a region one rectangle at a time, each at the cost of
// the region so far; short lists merged in halves keep it near n log n.
HRGN RegionOfRuns(const RECT* runs, size_t count) {
  const size_t kOneList = 256;
  if (count <= kOneList) {
    CRgn region;
    return region.CreateFromRects(runs, count) ? static_cast<HRGN>(region.Detach()) : nullptr;
  }
  const size_t half = count / 2;
  afx::ScopedGdiObj<HRGN> first(RegionOfRuns(runs, half));
  afx::ScopedGdiObj<HRGN> second(RegionOfRuns(runs + half, count - half));
  if (first.Get() == nullptr || second.Get() == nullptr ||
      ::CombineRgn(first.Get(), first.Get(), second.Get(), RGN_OR) == ERROR)
    return nullptr;
  return first.Release();
}

HRGN BuildRegion(const std::string& bytes) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  SkinImage::BmpLayout layout;
  if (!SkinImage::ParseBmp(data, bytes.size(), &layout)) return nullptr;
  if (!SkinImage::FitsSkinBound({layout.width, layout.height})) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "皮肤图片太大，不做窗口区域:%d x %d", layout.width,
                                       layout.height);
    return nullptr;
  }
  // The key is looked for in plain rows: run-length ones are decoded first.
  CBitmap decoded;
  if (!SkinImage::HasPlainRows(layout) && (data = DecodeRle(bytes, layout, &decoded, &layout)) == nullptr)
    return nullptr;
  std::vector<RECT> runs;
  if (!SkinImage::OpaqueRuns(data, layout, SkinImage::kMaxRegionRuns, &runs)) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "皮肤图片的轮廓太碎，不做窗口区域");
    return nullptr;
  }
  return RegionOfRuns(runs.data(), runs.size());
}

}  // namespace

HRGN CreateRegionFromBmp(const std::string& bytes) {
  try {
    return BuildRegion(bytes);
  } catch (const std::bad_alloc&) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "内存不足，不做窗口区域");
    return nullptr;
  }
}

HRGN CreateSkinRegion(const char* name) {
  std::string bytes;
  return ReadSkin(name, &bytes) == kRead ? CreateRegionFromBmp(bytes) : nullptr;
}

HBITMAP CreateBitmapFromBmp(HDC dc, const std::string& bytes) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  SkinImage::BmpLayout layout;
  if (!SkinImage::ParseBmp(data, bytes.size(), &layout) || !CheckPictureBound(data, bytes.size())) return nullptr;
  std::string info = DrawHeader(bytes, layout);
  const BITMAPINFO* header = reinterpret_cast<const BITMAPINFO*>(info.data());
  return ::CreateDIBitmap(dc, &header->bmiHeader, CBM_INIT, data + layout.bitsOffset, header, DIB_RGB_COLORS);
}

}  // namespace SkinSource
