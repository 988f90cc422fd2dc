// The update driver: the update thread, the server-list download, the start
// of each version step and its thread, the patch base address, the game
// start and the hand-over to the emergency updater.
#pragma once
#include <cstdint>
#include <string>

class UpdateContext;

unsigned __stdcall UpdateThread(void* context);
bool DownloadServerList(UpdateContext& run);
// GUI thread (WM_RUN_VERSION_UPDATE): checks, then the step thread.
void StartVersionUpdate(UpdateContext& run, int32_t bigArea);
unsigned __stdcall UpdateCheckThread(void* context);
void RunVersionUpdate(UpdateContext& run);
// The pair downloaded into the patch folder applied to the client (its loose
// files and deletes, then its pack entries); the folder is emptied after.
bool ApplyDownloadedPatch(UpdateContext& run, bool microClient);
// Chosen once per run; a missing address ends the process (text 20), and
// false comes back only where that end is only observed (tests).
bool GetPatchBaseUrl(UpdateContext& run, std::string* url);
bool StartGameClient(UpdateContext& run);
bool StartLauncherSelfUpdate(UpdateContext& run);
