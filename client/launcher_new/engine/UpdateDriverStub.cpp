// Placeholder entry points until the driver lands.
#include "UpdateContext.h"
#include "UpdateDriver.h"

unsigned __stdcall UpdateThread(void*) { return 0; }
bool DownloadServerList(UpdateContext&) { return false; }
void StartVersionUpdate(UpdateContext&, int32_t) {}
unsigned __stdcall UpdateCheckThread(void*) { return 0; }
void RunVersionUpdate(UpdateContext&) {}
std::string GetPatchBaseUrl(UpdateContext&) { return std::string(); }
bool StartGameClient(UpdateContext&) { return true; }
bool StartLauncherSelfUpdate(UpdateContext&) { return false; }
