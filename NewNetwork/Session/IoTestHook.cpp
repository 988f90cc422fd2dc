#include "IoTestHook.h"

#include <atomic>

namespace {

std::atomic<IoTestHook> g_hook{nullptr};
std::atomic<void*> g_context{nullptr};

}  // namespace

void SetIoTestHook(IoTestHook hook, void* context) {
  g_hook.store(nullptr);
  g_context.store(context);
  g_hook.store(hook);
}

void IoTestPointReached(IoTestPoint point, Session* session, DWORD type) {
  IoTestHook hook = g_hook.load();
  if (hook != nullptr) hook(g_context.load(), point, session, type);
}
