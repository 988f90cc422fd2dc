// launcher_layout_exit PACKBASE [ENTRY]: loads the layout from the pack pair
// PACKBASE.pkg1/.pkg the way the main window does. A broken layout ends the
// process there; boxes are printed instead of shown.
#include <windows.h>

#include <cstdio>

#include "Layout.h"
#include "common/EngineFun/ReportSink.h"
#include "common/Pack/FilePackIndexMgr.h"

namespace {

int PrintBox(HWND__*, const char* text, const char* caption, unsigned) {
  printf("box [%s] %s\n", caption, text);  // left buffered: the end must flush it
  return IDOK;
}

// Must never print: the end skips static destructors.
struct DestructorWitness {
  ~DestructorWitness() {
    printf("static destructor ran\n");
    fflush(stdout);
  }
};

DWORD WINAPI BusyWorker(void*) {
  for (;;) Sleep(10);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: launcher_layout_exit PACKBASE [ENTRY]\n");
    return 2;
  }
  static DestructorWitness witness;
  EngineFunc::SetMessageBoxHook(&PrintBox);
  // A worker still running when the end comes, as the launcher's are.
  CloseHandle(CreateThread(nullptr, 0, &BusyWorker, nullptr, 0, nullptr));

  std::string base = argv[1];
  FilePack::CFilePackIndexMgr pack;
  pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false);
  LauncherCfg::LauncherLayout layout;
  const char* entry = argc > 2 ? argv[2] : "LauncherCfg\\LauncherCfg.xml";
  if (!LauncherCfg::LoadLayoutFromPack(&pack, entry, nullptr, &layout)) return 3;  // the end returned
  printf("layout loaded: %s\n", layout.caption.c_str());
  return 0;
}
