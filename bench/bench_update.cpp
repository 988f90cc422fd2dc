// bench_update FOLDER
// FOLDER holds a running nginx serving the tree of bench/update.server.sh
// (bench/update_tree.py): two patch steps of 20 MiB, a client of 1,000
// files of 500 KiB and their checksums. Runs both steps as the engine
// does (download with the global downloader, MD5 check, apply to the client
// packs), then the checksum pass over the client, and prints per phase
//   update_download: ours <ms> ms      update_md5: ours <ms> ms
//   update_apply: ours <ms> ms         update_filecheck: ours <ms> ms
//   update_download_cap: ours <ms> ms  the bytes at 4 KiB per measured Sleep(1)
// bench/update.ref.sh does the same work with curl, md5sum -c and cp (and
// the apply's two synced writes per patch with cp, cat and sync:
// update_apply_durable).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "BenchIo.h"
#include "ClientCheck.h"
#include "EngineFiles.h"
#include "PatchDownload.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "VersionChain.h"
#include "common/Pack/PackClient.h"

namespace {

using benchio::Now;
using benchio::ReadAll;

// The engine without a window: no messages go anywhere.
class NoWindow : public IUpdateWindow {
 public:
  HWND__* MainWindow() override { return nullptr; }
  UpdateSettings Settings() override {
    UpdateSettings s;
    s.microClientOpen = false;
    return s;
  }
  std::string Text(int32_t id) override { return std::to_string(id); }
  void EnableButton(LauncherButton, bool) override {}
  void ShowButton(LauncherButton, bool) override {}
  void RedrawPanel() override {}
  void ShowAreaButton(int32_t, int32_t) override {}
  void SelectArea(int32_t) override {}
  void QuitLauncher(bool) override {}
};

std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(text);
  for (std::string a, b; in >> a >> b;) out.push_back({a, b});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_update FOLDER\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int port = atoi(ReadAll(dir + "/port").c_str());
  const auto steps = Pairs(ReadAll(dir + "/steps.txt"));
  LauncherCfg::ServerListTables tables;
  for (const auto& row : Pairs(ReadAll(dir + "/checksums.txt"))) tables.checksums.push_back({row.second, row.first});
  if (port <= 0 || steps.size() != 2 || tables.checksums.size() != 1000 || !SetCurrentDirectoryA((dir + "/client").c_str())) {
    fprintf(stderr, "no bench tree in %s\n", dir.c_str());
    return 1;
  }
  NoWindow window;
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  context.SetupGlobalDownloader();
  context.SetTables(tables);
  PackClient::OpenAllPacks(false, false);

  const std::string folder = kPatchTemp, data = folder + "/Version.pkg", index = folder + "/Version.pkg1";
  double download = 0, md5 = 0, apply = 0;
  double bytes = 0;
  for (const auto& step : steps) {
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/bench/patch/update/" + step.first + "/" +
                            step.first;
    double t = Now();
    bool ok = DownloadPatchFile(context, url, index, data, false);
    download += Now() - t;
    std::string held;
    ReadWholeFile(data, 1u << 30, &held);
    bytes += static_cast<double>(held.size());
    t = Now();
    ok = ok && VerifyFileMD5(data.c_str(), step.second.c_str(), nullptr, false);
    md5 += Now() - t;
    t = Now();
    ok = ok && ApplyDownloadedPatch(context, false);
    apply += Now() - t;
    if (!ok) {
      fprintf(stderr, "step %s failed at stage %d\n", step.first.c_str(), static_cast<int>(run.Stage()));
      return 1;
    }
  }
  double t = Now();
  bool checked = VerifyClientFiles(context);
  double check = Now() - t;
  PackClient::CloseAllPacks();
  if (!checked) {
    fprintf(stderr, "the file check failed\n");
    return 1;
  }
  printf("update_download: ours %.0f ms\n", download * 1000);
  printf("update_md5: ours %.0f ms\n", md5 * 1000);
  printf("update_apply: ours %.0f ms\n", apply * 1000);
  printf("update_apply_durable: ours %.0f ms\n", apply * 1000);
  printf("update_filecheck: ours %.0f ms\n", check * 1000);
  const int sleeps = 500;
  t = Now();
  for (int i = 0; i < sleeps; ++i) Sleep(1);
  const double perSleep = (Now() - t) / sleeps;
  printf("update_download_cap: ours %.0f ms (%.1f MiB at 4 KiB per Sleep(1) of %.2f ms)\n",
         bytes / 4096 * perSleep * 1000, bytes / (1 << 20), perSleep * 1000);
  return 0;
}
