// Stands in for the programs the launcher starts (the game client, tunedesk,
// the emergency updater) and for the ones it looks for (the plug-in updater,
// a process with the browser plug-in loaded). It appends its command line to
// <its own path>.cmdline and prints it; "--load NAME" loads that library
// first; it stays alive while <its own path>.hold exists, at most a minute.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
  const char* line = GetCommandLineA();
  std::string record = std::string(self) + ".cmdline";
  if (FILE* f = fopen(record.c_str(), "ab")) {
    fprintf(f, "%s\n", line);
    fclose(f);
  }
  printf("%s started with: %s\n", self, line);
  const char* load = strstr(line, "--load ");
  if (load != nullptr) {
    char name[MAX_PATH] = {};
    sscanf(load + 7, "%259s", name);
    if (LoadLibraryA(name) == nullptr) printf("could not load %s\n", name);
  }
  std::string hold = std::string(self) + ".hold";
  for (int i = 0; i < 3000 && GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  fflush(stdout);
  return 0;
}
