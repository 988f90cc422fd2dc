// Small file helpers of the engine, with scoped handles.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

struct HandleCloser {
  void operator()(void* h) const;
};
// Owns a kernel handle; null and INVALID_HANDLE_VALUE are both "none".
typedef std::unique_ptr<void, HandleCloser> ScopedHandle;

bool FileExists(const std::string& path);
// Clears the attributes first, as every writer of client files does.
void DeleteFileWritable(const std::string& path);
// The whole file when it opens, is at most maxBytes long and reads whole;
// false otherwise (bytes then empty).
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string* bytes);
// The current folder; false when it does not fit the buffer.
bool CurrentFolder(std::string* folder);
