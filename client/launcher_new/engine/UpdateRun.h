// One run of the update engine: from the window's start to the game start or
// the hand-over to the emergency updater. The main window creates it (after
// its settings and layout are loaded), calls the entry points from its
// message handlers, reads the fields below for its 100 ms status line, and
// destroys it; destruction cancels the downloads and waits, pumping
// messages, until every thread of the run has ended.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "UpdateProtocol.h"
#include "UpdateWindow.h"

class UpdateContext;

// The installed versions (LauncherCfg/UpdateCfg.xml) as the run holds them.
struct LocalVersions {
  std::string version;        // the client's Version
  std::string clientVersion;  // its display text
  std::string patchVer;       // the launcher's own version
  bool superVar = false;      // show the optimisation button when complete
  bool superVar1 = false;     // skip the client file check
};

class UpdateRun {
 public:
  explicit UpdateRun(IUpdateWindow* window);
  ~UpdateRun();
  UpdateRun(const UpdateRun&) = delete;
  UpdateRun& operator=(const UpdateRun&) = delete;

  // GUI thread, from the window's handlers.
  bool StartUpdateThread();                  // end of OnInitDialog
  void StartVersionUpdate(int32_t bigArea);  // WM_RUN_VERSION_UPDATE, WM_SELF_UPDATE
  bool StartGameClient();                    // WM_START_GAME (after the patch folder is emptied)
  bool StartLauncherSelfUpdate();            // WM_SELF_UPDATE; true: the window quits
  // The panel's QuitLauncher: sets the quit flag and cancels the download.
  void BeginQuit();
  bool IsQuitting() const;
  // The web page's login hand-off; the game's command line in web mode.
  void SetLauncherLoginArgs(const char* args);

  // Any thread. Stage changes go through SetStage only.
  UpdateStage Stage() const;
  void SetStage(UpdateStage stage);
  int32_t ProgressDone() const;
  int32_t ProgressTotal() const;
  void SetProgress(int32_t done, int32_t total);
  int32_t FilesMerged() const;
  int32_t FilesToMerge() const;
  void SetMergeProgress(int32_t merged, int32_t toMerge);
  int32_t ClientCheckDone() const;
  int32_t ClientCheckTotal() const;
  LocalVersions Local() const;
  std::string NewShowVersion() const;
  // The display version of the step being downloaded (the download line).
  std::string PendingShowVersion() const;
  // "LauncherCfg/PatchTemp", emptied by the WM_START_GAME handler.
  std::string PatchFolder() const;

  // Called on the thread that changed the stage, after the change.
  typedef void (*StageObserver)(void* context, UpdateStage stage);
  void SetStageObserver(StageObserver observer, void* context);

  UpdateContext& Context() { return *m_context; }

 private:
  std::unique_ptr<UpdateContext> m_context;
};
