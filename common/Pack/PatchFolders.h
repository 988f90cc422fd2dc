// Folder helpers of patch application.
#pragma once

namespace PackClient {

// Creates every folder of the path (lower-cased) up to its last "/"; the
// last component is a file name and is not created.
void CreateFolders(const char* path);
// Removes everything below the folder, and the folder itself when asked.
// A name that names no folder ("", "/", ".", a drive root) is refused.
void DeleteFolderTree(const char* folder, bool removeSelf);

}  // namespace PackClient
