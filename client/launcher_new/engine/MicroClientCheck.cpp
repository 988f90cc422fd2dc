#include "MicroClientCheck.h"

#include <string>
#include <vector>

#include "FileDownload.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/PackClient.h"

bool FetchMissingMovedPacks(UpdateContext& run) {
  if (run.quitting) return false;
  std::vector<std::string> missing;
  PackClient::ListMissingMovedPacks(&missing);
  std::vector<DownloadRecord> records;
  for (const std::string& name : missing) records.push_back({run.Tables().microClientVersionUrl + name, name});
  return DownloadFilesParallel(run, &records);
}

bool PrepareMicroClientUpdate(UpdateContext& run) {
  return FetchMissingMovedPacks(run) && PrepareMicroClientResources(run);
}

bool PrepareMicroClientResources(UpdateContext& run) {
  if (PackClient::ConfigFileMap().empty()) return true;
  // Resources of a micro client are fetched by its own check.
  ENGINE_REPORT("false&&\"微端资源检查未实现\"");
  return false;
}

bool MicroClientFileCheck(UpdateContext& run) {
  ENGINE_REPORT("false&&\"微端资源检查未实现\"");
  return false;
}

void SetMergeProgress(int merged, int toMerge) {
  if (UpdateContext* run = UpdateContext::Active()) run->SetMergeProgress(merged, toMerge);
}
