// The process-wide pool of idle downloaders that the micro-client workers and
// the update engine borrow from. It links without the pack store, so the
// emergency updater can use it too.
#pragma once
#include <cstddef>

class IDownLoad;

// Makes sure the pool exists; cheap after the first call.
void InitDownLoadPool();

// The first idle downloader (first in, first out), or a new one of the HTTP
// line when the pool is empty; null only when one cannot be made. The caller
// owns it until ReleasePooledDownLoad.
IDownLoad* AcquirePooledDownLoad();

// Closes a kept-alive connection, then appends the downloader to the pool.
// Null is ignored.
void ReleasePooledDownLoad(IDownLoad* down);

// Empties the pool list without deleting the downloaders (at exit).
void FreeDownLoadPool();

// Deletes every idle downloader and empties the pool (the micro-client
// manager's teardown).
void DeletePooledDownLoads();

// Idle downloaders in the pool now.
size_t PooledDownLoadCount();
