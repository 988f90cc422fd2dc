// Leaving the launcher for the game client or for the emergency updater.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "EngineFiles.h"
#include "MicroClientCheck.h"
#include "PingRegistration.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/EngineFun/Helper.h"

bool StartGameClient(UpdateContext& run) {
  WriteServerListIni(run);
  const UpdateSettings settings = run.Settings();
  if (settings.exeName.empty()) return true;
  std::string args = settings.webMode ? run.LauncherLoginArgs() : std::string();
  std::vector<char> commandLine(args.begin(), args.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(settings.exeName.c_str(), settings.webMode ? commandLine.data() : nullptr, nullptr, nullptr,
                     FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ScopedHandle thread(process.hThread), owned(process.hProcess);
  } else {
    // The launcher leaves all the same; the report says why no game came up.
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "启动%s失败,错误代码%lu", settings.exeName.c_str(),
                                       GetLastError());
  }
  return true;
}

bool StartLauncherSelfUpdate(UpdateContext& run) {
  run.SetStage(UpdateStage::Merging);
  if (!PrepareMicroClientUpdate(run)) return false;
  std::string base;
  if (!GetPatchBaseUrl(run, &base)) return false;
  char parameters[256];
  // A cut address would hand the updater the wrong package.
  if (EngineFunc::EngineFunc_Sprintf(parameters, sizeof(parameters), "%slauncher/%s", base.c_str(),
                                     run.RequiredLauncherVersion().c_str()) != 1) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "更新程序参数太长:%s", base.c_str());
    // The player sees the hand-over fail, as when its resources cannot be had.
    run.SetStage(UpdateStage::DownloadFailed);
    run.Send(WM_UPDATE_FAILED);
    return false;
  }
  const std::string updater = run.Settings().emergencyExeName;
  if (!updater.empty()) ShellExecuteA(nullptr, "open", updater.c_str(), parameters, nullptr, SW_HIDE);
  return true;
}
