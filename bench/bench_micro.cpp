// bench_micro FOLDER
// FOLDER holds a running nginx serving micro-client resources
// (bench/micro.server.sh: FOLDER/port, FOLDER/micro/001.pkg2 and the
// resources it lists). Fetches all of them through the download manager's
// 16 workers into a micro-mode pack, checks that every one landed and reads
// back, and prints
//   micro: ours <ms> ms                 the list download, pack store included
//   micro_floor: ours <ms> ms           the plain-socket downloader's pause of
//                                       one Sleep(1) per 4 KiB block, per worker
// bench/micro.ref.sh times curl fetching the same files 16 at a time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "BenchIo.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/MicroClient/MicroClientHttpDownLoad.h"

namespace {

using benchio::Now;
using benchio::ReadAll;

const int kWorkers = 16;
const int kBlock = 4096;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_micro FOLDER\n");
    return 2;
  }
  std::string dir = argv[1];
  int port = atoi(ReadAll(dir + "/port").c_str());
  std::vector<std::string> keys;
  std::istringstream rows(ReadAll(dir + "/micro.txt"));
  for (std::string key, path; rows >> key >> path;) keys.push_back(key);
  if (port <= 0 || keys.empty()) {
    fprintf(stderr, "no server in %s\n", dir.c_str());
    return 1;
  }
  CHttpConfig::GetInstance()->SaveHttpID(1);  // the plain-socket downloader
  FilePack::SetMicroClientBaseAddress(("http://127.0.0.1:" + std::to_string(port) + "/").c_str());
  CreateDirectoryA("Data", nullptr);
  FilePack::CFilePackIndexMgr pack;
  pack.SetMicroMode(true);
  pack.SetPackNumber(5);
  if (!pack.OpenPack("Data/001.pkg1", "Data/001.pkg", true) ||
      !pack.OpenMicroIndex((dir + "/micro/001.pkg2").c_str())) {
    fprintf(stderr, "pack does not open\n");
    return 1;
  }
  std::vector<FilePack::MicroDownloadItem> items;
  uint64_t bytes = 0;
  for (const std::string& key : keys) {
    MicroIndexRecord record;
    pack.FindMicroEntry(key.c_str(), &record);
    bytes += record.record.entry.size;
    items.push_back(FilePack::MakeDownloadItem(0, pack.PackNumber(), key.c_str(), 0, &pack));
  }

  double start = Now();
  CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, kWorkers);
  double seconds = Now() - start;

  int landed = 0, read = 0;
  for (const std::string& key : keys) {
    MicroIndexRecord record;
    pack.FindMicroEntry(key.c_str(), &record);
    std::string buffer(record.record.entry.size + 1, '\0');
    landed += pack.HasFile(key.c_str());
    read += FilePack::ReadFileFromGlobalPack(&pack, reinterpret_cast<uint8_t*>(&buffer[0]), &record.record.entry);
  }
  if (landed != static_cast<int>(keys.size()) || read != landed) {
    fprintf(stderr, "%d of %zu landed, %d read back\n", landed, keys.size(), read);
    return 1;
  }
  printf("micro: ours %.1f ms (%zu resources, %.1f MiB)\n", seconds * 1000, keys.size(), bytes / 1048576.0);

  // Each worker sleeps once per block it receives; the busiest worker holds
  // ceil(n / 16) resources.
  const int sleeps = 500;
  double sleepStart = Now();
  for (int i = 0; i < sleeps; ++i) Sleep(1);
  const double perSleep = (Now() - sleepStart) / sleeps;
  const size_t perWorker = (keys.size() + kWorkers - 1) / kWorkers;
  const size_t blocks = (bytes / keys.size() + kBlock - 1) / kBlock;
  printf("micro_floor: ours %.1f ms (%zu resources x %zu blocks per worker, Sleep(1) takes %.2f ms)\n",
         perWorker * blocks * perSleep * 1000, perWorker, blocks, perSleep * 1000);
  return 0;
}
