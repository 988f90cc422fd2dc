// One resource fetched into a temporary file of its own. Links without the
// pack store, like the pool beside it.
#pragma once
#include <cstdint>
#include <string>

class IDownLoad;

// Resources above this size are fetched in several parts.
const int kResourcePartSize = 204800;

// 1 for sizes up to one part (and for 0: unknown), else size / part + 1.
int ResourcePartCount(int size);

// Creates the folder "res" and in it a new, empty file "res\<number>.res"
// that no other caller can be handed (created exclusively). False when no
// name could be had.
bool MakeTempFileName(std::string* path);

// Deletes a temporary file and what a failed download left beside it.
void RemoveTempFile(const std::string& path);

// Downloads address into tempFile with the part count of size; results 0 and
// 1 are success, any other is reported with the address and the result.
bool DownloadToTemp(IDownLoad* down, const char* address, int size, const char* tempFile);
