#include "PackKeys.h"

#include <unordered_set>

#include "FilePackIndexMgr.h"

namespace PackClient {

bool ReadPackKeysInOrder(const char* indexPath, std::vector<std::string>* keys) {
  keys->clear();
  std::string file, image;
  if (!FilePack::CFilePackIndexMgr::ReadWholeFile(indexPath, &file, false, 0) ||
      !FilePack::UnpackIndexFileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &image))
    return false;
  std::unordered_set<std::string> seen;
  PackIndexHeader header;
  return FilePack::ParsePackIndexImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &header,
                                       [&](const PackIndexRecord& record) {
                                         if (seen.insert(record.name).second) keys->push_back(record.name);
                                         return true;
                                       });
}

std::vector<std::string> OpenPackKeys(FilePack::CFilePackIndexMgr* manager) {
  return manager == nullptr ? std::vector<std::string>() : manager->Keys();
}

}  // namespace PackClient
