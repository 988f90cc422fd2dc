// bench_download FOLDER
// FOLDER holds a running nginx (bench/download.server.sh: its port in
// FOLDER/port, the files in FOLDER/www). Fetches www/big.bin (50 MiB) with
// each downloader type, checks the bytes, and prints
//   inet: ours <ms> ms      CINetDownLoad
//   httpget: ours <ms> ms   CHttpGet
//   http: ours <ms> ms      CHttpDownload
//   block_sleep_cap: ours <MiB/s> MiB/s   4 KiB per measured Sleep(1)
// bench/download.ref.sh times curl -o on the same file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchIo.h"
#include "common/HttpDownLoad/IDownLoad.h"

namespace {

using benchio::Now;
using benchio::ReadAll;

// Seconds for one fetch, or -1 when it failed or the bytes differ.
double Fetch(int type, const std::string& url, const std::string& target, const std::string& expected) {
  std::unique_ptr<IDownLoad> d(CreateDownLoad(type));
  if (!d) return -1;
  d->SetRetry(DOWNLOAD_RETRY_LIMITED, 100, 3);  // the first WinINet object starts with none
  DeleteFileA(target.c_str());
  double start = Now();
  int result = d->Download(url.c_str(), target.c_str(), nullptr, 0, 0, 1, 0, 1, 1);
  double seconds = Now() - start;
  bool same = ReadAll(target) == expected;
  DeleteFileA(target.c_str());
  if (result != DOWNLOAD_RESULT_OK || !same) {
    fprintf(stderr, "type %d: result %d, bytes %s\n", type, result, same ? "same" : "differ");
    return -1;
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_download FOLDER\n");
    return 2;
  }
  std::string dir = argv[1];
  int port = atoi(ReadAll(dir + "/port").c_str());
  std::string expected = ReadAll(dir + "/www/big.bin");
  if (port <= 0 || expected.size() != (50u << 20)) {
    fprintf(stderr, "no server in %s\n", dir.c_str());
    return 1;
  }
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.bin";
  const struct {
    const char* key;
    int type;
  } kinds[] = {{"inet", DOWNLOAD_INET}, {"httpget", DOWNLOAD_HTTPGET}, {"http", DOWNLOAD_HTTP}};
  int failed = 0;
  for (const auto& k : kinds) {
    double s = Fetch(k.type, url, dir + "/got_" + k.key + ".bin", expected);
    if (s < 0) {
      ++failed;
      continue;
    }
    printf("%s: ours %.0f ms\n", k.key, s * 1000);
    fflush(stdout);
  }
  // The two block-and-sleep loops cannot beat 4 KiB per Sleep(1).
  const int sleeps = 500;
  double start = Now();
  for (int i = 0; i < sleeps; ++i) Sleep(1);
  double perSleep = (Now() - start) / sleeps;
  printf("block_sleep_cap: ours %.1f MiB/s (Sleep(1) takes %.2f ms)\n", 4096.0 / perSleep / (1 << 20),
         perSleep * 1000);
  return failed ? 1 : 0;
}
