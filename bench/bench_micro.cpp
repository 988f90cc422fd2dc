// bench_micro FOLDER
// FOLDER holds a running nginx serving micro-client resources
// (bench/micro.server.sh: FOLDER/port, FOLDER/micro/001.pkg2 and the
// resources it lists). Fetches all of them through the download manager's
// 16 workers into a micro-mode pack, checks that every one landed and reads
// back, and prints
//   micro: ours <ms> ms                 the list download, pack store included
//   micro_fetch_only: ours <ms> ms      the same fetches on 16 threads, no pack
//   micro_accept_only: ours <ms> ms     the pack accepting 1,000 fetched files
//   micro_header_block/_bytewise        one bare-socket fetch, header read in
//                                       one block or byte by byte
//   micro_floor: ours <ms> ms           the plain-socket downloader's pause of
//                                       one Sleep(1) per 4 KiB block, per worker
// bench/micro.ref.sh times curl fetching the same files 16 at a time.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchIo.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/HttpDownLoad/IDownLoad.h"
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
    read += FilePack::ReadFileFromGlobalPack(&pack, reinterpret_cast<uint8_t*>(&buffer[0]), &record.record.entry,
                                             key.c_str());
  }
  if (landed != static_cast<int>(keys.size()) || read != landed) {
    fprintf(stderr, "%d of %zu landed, %d read back\n", landed, keys.size(), read);
    return 1;
  }
  printf("micro: ours %.1f ms (%zu resources, %.1f MiB)\n", seconds * 1000, keys.size(), bytes / 1048576.0);

  // Where the time goes: the same fetches on 16 threads without the pack,
  // then the pack accepting 1,000 fetched files on one thread.
  std::vector<std::string> addresses;
  for (const FilePack::MicroDownloadItem& item : items) addresses.push_back(item.address);
  CreateDirectoryA("plain", nullptr);
  start = Now();
  std::vector<std::thread> threads;
  for (int t = 0; t < kWorkers; ++t) {
    threads.emplace_back([&, t]() {
      std::unique_ptr<IDownLoad> down(CreateDownLoad(DOWNLOAD_HTTPGET));
      for (size_t i = t; i < addresses.size(); i += kWorkers)
        down->Download(addresses[i].c_str(), ("plain/" + std::to_string(i)).c_str(), nullptr, 0, 0, 1, 0, 1, 1);
    });
  }
  for (auto& thread : threads) thread.join();
  printf("micro_fetch_only: ours %.1f ms\n", (Now() - start) * 1000);
  // One fetch on a bare socket, the response header read in one block or
  // byte by byte as the plain-socket downloader reads it: each recv under
  // Wine is a round trip through its server.
  for (int byteWise : {0, 1}) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    start = Now();
    for (int i = 0; i < 100; ++i) {
      SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      sockaddr_in a = {};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<u_short>(port));
      a.sin_addr.s_addr = htonl(0x7F000001);
      connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
      std::string req = "GET /data/001/r" + std::to_string(i) + ".res HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
      send(s, req.data(), static_cast<int>(req.size()), 0);
      char buf[65536];
      int n, total = 0;
      if (byteWise) {
        std::string h;
        while (h.size() < 4 || h.compare(h.size() - 4, 4, "\r\n\r\n") != 0) {
          if (recv(s, buf, 1, 0) != 1) break;
          h += buf[0];
        }
      }
      while ((n = recv(s, buf, sizeof(buf), 0)) > 0) total += n;
      closesocket(s);
    }
    printf("%s: ours %.2f ms per fetch (bare socket, 100 fetches)\n",
           byteWise ? "micro_header_bytewise" : "micro_header_block", (Now() - start) * 10);
  }
  FilePack::CFilePackIndexMgr second;
  second.SetMicroMode(true);
  CreateDirectoryA("Data2", nullptr);
  second.OpenPack("Data2/001.pkg1", "Data2/001.pkg", true);
  second.OpenMicroIndex((dir + "/micro/001.pkg2").c_str());
  start = Now();
  int accepted = 0;
  for (size_t i = 0; i < keys.size(); ++i)
    accepted += second.AddDownloadedResource(keys[i].c_str(), ("plain/" + std::to_string(i)).c_str());
  printf("micro_accept_only: ours %.1f ms (%d accepted)\n", (Now() - start) * 1000, accepted);

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
