#include "SkinSource.h"

#include <memory>
#include <new>

#include "BmpImage.h"
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
  bytes->assign(reinterpret_cast<const char*>(buffer.get()), entry.size);
  return kRead;
}

HRGN CreateRegionFromBmp(const std::string& bytes) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  SkinImage::BmpLayout layout;
  if (!SkinImage::ParseBmp(data, bytes.size(), &layout)) return nullptr;
  std::vector<RECT> runs = SkinImage::OpaqueRuns(data, layout);
  CRgn region;
  if (!region.CreateFromRects(runs.data(), runs.size())) return nullptr;
  return static_cast<HRGN>(region.Detach());
}

HRGN CreateSkinRegion(const char* name) {
  std::string bytes;
  return ReadSkin(name, &bytes) == kRead ? CreateRegionFromBmp(bytes) : nullptr;
}

HBITMAP CreateBitmapFromBmp(HDC dc, const std::string& bytes) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  SkinImage::BmpLayout layout;
  if (!SkinImage::ParseBmp(data, bytes.size(), &layout)) return nullptr;
  // The headers are copied out: the file puts them at an odd offset.
  std::string info(bytes, 14, layout.bitsOffset - 14);
  const BITMAPINFO* header = reinterpret_cast<const BITMAPINFO*>(info.data());
  return ::CreateDIBitmap(dc, &header->bmiHeader, CBM_INIT, data + layout.bitsOffset, header, DIB_RGB_COLORS);
}

}  // namespace SkinSource
