#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace testsupport {
void InstallHooks();
}

namespace {

// A crash outside a test's checks (in a test body, a helper thread, the
// shutdown) ends the program with the exception's code at once: Wine's
// debugger would show its dialog and wait for a click.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
  char line[96];
  const int n = snprintf(line, sizeof(line), "unhandled exception 0x%08lx at %p\n",
                         static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                         info->ExceptionRecord->ExceptionAddress);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(&EndOnCrash);
  testsupport::InstallHooks();
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // Not ExitProcess: under Wine it tells the server the process has gone
  // before the Unix side has exited, and the server kills a process still
  // there half a second later. The emulated 32-bit programs on a loaded
  // machine can take that long, and a program whose tests passed died by
  // SIGKILL. The runtime's exit work (static destructors, atexit) runs here,
  // so a crash in it still fails the program; TerminateProcess of ourselves
  // ends the Unix side at once.
  _cexit();
  fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
  return result;
}
