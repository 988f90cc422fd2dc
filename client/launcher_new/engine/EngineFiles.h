// Small file helpers of the engine, with scoped handles.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ScopedHandle.h"

bool FileExists(const std::string& path);
// Clears the attributes first, as every writer of client files does.
void DeleteFileWritable(const std::string& path);
// The whole file when it opens, is at most maxBytes long and reads whole;
// false otherwise (bytes then empty).
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string* bytes);
// The current folder; false when it does not fit the buffer.
bool CurrentFolder(std::string* folder);

// Worker threads that a step starts and waits for.
typedef unsigned(__stdcall* WorkerProc)(void*);
// False (reported) when the thread cannot be started.
bool StartWorker(WorkerProc proc, void* arg, std::vector<ScopedHandle>* threads);
// Until every thread has ended; one wait takes at most 64 handles.
void WaitForWorkers(const std::vector<ScopedHandle>& threads);
