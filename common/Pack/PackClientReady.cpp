// Folding loose resource folders back into the data packs before pack work.
#include <windows.h>

#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PackClientState.h"
#include "common/EngineFun/ReportSink.h"

namespace PackClient {

bool EnsurePacksReady(bool microMode, void (*progress)(int merged, int toMerge)) {
  SetClientLocale();
  if (!PackSet().initialised) {
    EngineFunc::ShowMessageBox(nullptr, "未初始化包，请先初始化", nullptr, MB_OK);
    return false;
  }
  if (!HasLooseFilesInPackFolders()) return false;
  CloseAllPacks();
  FilePack::MergeAllDataPacks(microMode, progress);
  OpenAllPacks(PackSet().microMode, true);
  return true;
}

}  // namespace PackClient
