// The names a pack holds, for the walks of patch application.
#pragma once
#include <string>
#include <vector>

namespace FilePack {
class CFilePackIndexMgr;
}

namespace PackClient {

// The keys of an index file in record order (a repeated key keeps its
// first place); false when the index cannot be read.
bool ReadPackKeysInOrder(const char* indexPath, std::vector<std::string>* keys);
// The keys of an open manager's index (lite index in handle mode).
std::vector<std::string> OpenPackKeys(FilePack::CFilePackIndexMgr* manager);

}  // namespace PackClient
