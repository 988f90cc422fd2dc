// The version chain and one step of it: aligning the local versions with the
// chain, deciding whether to step or finish, the launcher-version check, the
// patch MD5 check and recording a new version.
#pragma once
#include <string>
#include <vector>

#include "ServerList.h"
#include "UpdateCfgEdit.h"

class UpdateContext;

// Chain navigation, first match wins, texts compared exactly. Null (or ""
// for GetShowVersion) when no step matches.
std::string GetShowVersion(const std::vector<VersionStep>& steps, const std::string& next);
const std::string* GetFirstVersionStepNext(const std::vector<VersionStep>& steps);
const std::string* GetVersionBefore(const std::vector<VersionStep>& steps, const std::string& next);
const std::string* GetVersionAfter(const std::vector<VersionStep>& steps, const std::string& cur);
const VersionStep* FindStepFrom(const std::vector<VersionStep>& steps, const std::string& cur);
// A step that would take the run back to a version it has left (the
// versions its steps started from), or that starts from one: the chain
// goes round and never reaches newest. A step that restarts the launcher
// also looks down the chain after it, as the new launcher knows nothing of
// what this one left.
bool StepComesBack(const std::vector<VersionStep>& steps, const VersionStep& step, const std::string& newest,
                   std::vector<std::string> left);
using LauncherCfg::VersionNewer;

// Where the local Version and ClientVersion stand in the chain; the earlier
// of the two wins. Pure: the caller shows the box and saves.
enum class ReconcileResult { Unchanged, Changed, EmptyChain, NotInChain };
ReconcileResult AlignLocalVersions(const std::vector<VersionStep>& steps, std::string* version,
                                   std::string* clientVersion);

void ReconcileLocalVersions(UpdateContext& run);
void ContinueUpdate(UpdateContext& run);
bool CheckLauncherPatchVer(UpdateContext& run);
bool VerifyFileMD5(const char* path, const char* md5, const char* microClientMd5, bool microClient);
bool FinishVersionStep(UpdateContext& run, const std::string& showVersion, const std::string& version,
                       const std::string& newestVersion, bool restart);
bool SetLocalVersion(UpdateContext& run, const char* version, const char* showVersion);

// The full or the micro-client check, as the client's kind asks.
bool RunClientFileCheck(UpdateContext& run);
// The game client (the file-name part of the layout's program, without
// case) or its library runs.
bool IsGameClientRunning(const std::string& exeName);
