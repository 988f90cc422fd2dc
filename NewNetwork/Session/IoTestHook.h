// A test seam of the I/O path: a test may hold a thread at one of these
// points to force an order of events that is otherwise a matter of timing.
// No program installs a hook; a point then costs one atomic load.
#pragma once
#include <winsock2.h>
#include <windows.h>

class Session;

enum IoTestPoint {
  kIoPointCompletionTaken,  // an I/O worker took a completion; no lock held
  kIoPointSendRecordFreed,  // a send completion freed the send record; the I/O lock is held
  kIoPointSendPosted,       // a send was posted
};

// type: the completion type of the operation (Session.h's IoOperation).
typedef void (*IoTestHook)(void* context, IoTestPoint point, Session* session, DWORD type);
// Null removes the hook.
void SetIoTestHook(IoTestHook hook, void* context);
void IoTestPointReached(IoTestPoint point, Session* session, DWORD type);
