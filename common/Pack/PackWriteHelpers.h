// Pieces shared by the pack writers (save, compaction, merges).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FilePackIndexMgr.h"
#include "PackFileIo.h"

namespace FilePack {

// Offsets are u32: nothing may end past 4 GiB - 1. True (and reported as a
// damaged pack) when length bytes placed at base would.
bool EndsPastPackLimit(uint64_t base, uint32_t length);

// The index file bytes of an image, packed in memory ("压缩失败" on failure).
bool CompressIndexImage(const std::string& image, std::string* file);
// Packs the image and writes it as a complete, checked new file.
bool WriteIndexFile(const char* path, const std::string& image);
// Copies a file's stored bytes (as they are) in bounded chunks through the
// caller's scratch buffer, which is reused from file to file.
bool CopyStoredBytes(CFilePackIndexMgr& from, uint32_t offset, uint32_t length, PackOutFile* out,
                     std::vector<uint8_t>* scratch);
// "%s%s" of the pack name and an extension.
inline std::string PackPath(const char* packName, const char* extension) { return std::string(packName) + extension; }

}  // namespace FilePack
