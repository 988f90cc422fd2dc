// Skin images out of the launcher configuration pack (LauncherCfg/010.pkg),
// looked up by lower-cased name, and what the windows make of them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace FilePack {
class CFilePackIndexMgr;
}

namespace SkinSource {

// No skin is larger: an entry's size comes from a pack index that a patch
// may have replaced, and it is allocated for before anything is read.
const uint32_t kMaxSkinBytes = 32u * 1024 * 1024;

extern const char* const kConfigPackIndex;  // "LauncherCfg/010.pkg1"
extern const char* const kConfigPackData;   // "LauncherCfg/010.pkg"

// The process-wide manager of the configuration pack.
FilePack::CFilePackIndexMgr* ConfigPack();
// Opens it when it is not open (both files made writable first); its result.
bool OpenConfigPack();

enum ReadResult { kRead, kPackClosed, kMissing, kFailed };
// The entry's bytes, read and unpacked into a buffer of its size plus one
// zero byte (which *bytes does not count); an entry above kMaxSkinBytes
// fails before anything is allocated.
ReadResult ReadSkin(const char* name, std::string* bytes);

// Whether a skin picture may be decoded: its size read from its headers and
// within SkinImage::FitsSkinBound. A picture that fails is reported and is
// not to be drawn.
bool CheckPictureBound(const uint8_t* bytes, size_t size);

// A region of every pixel of the BMP that is not the colour key (magenta);
// null unless the bytes are a well-formed BMP within the region bounds of
// SkinImage (beyond them the window keeps no region: reported).
HRGN CreateRegionFromBmp(const std::string& bytes);
HRGN CreateSkinRegion(const char* name);
// A device-dependent bitmap for dc from a well-formed BMP within the bound;
// null otherwise.
HBITMAP CreateBitmapFromBmp(HDC dc, const std::string& bytes);

}  // namespace SkinSource
