// Stands in for the launcher that the updater installs and starts: records
// its command line in its working folder, then ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  FILE* record = fopen("launcher_started.txt", "ab");
  if (record == nullptr) return 1;
  fprintf(record, "%s\n", GetCommandLineA());
  return fclose(record) == 0 ? 0 : 1;
}
